// GetPicture and GetPictureW: the exports that load the object, draw it and
// hand the host a 24-bit bitmap in two fixed local-memory blocks.
#include <cstdint>

#include "image/texture_search.h"
#include "image/texture_source.h"
#include "object/object_buffer.h"
#include "platform/fp_guard.h"
#include "platform/owned_array.h"
#include "plugin/exports.h"
#include "plugin/host_codes.h"
#include "plugin/host_input.h"
#include "plugin/picture.h"

using namespace qavren;

namespace {

// The texture search takes paths in the ANSI code page, as GetPicture's host
// passes them and as FindFirstFileA lists folders.
const char* TexturePath(const char* path, char* /*narrow*/, int /*size*/) { return path; }

bool ToAnsi(const wchar_t* path, char* out, int size) {
    const bool utf8 = GetACP() == CP_UTF8;  // takes neither best-fit flag nor default character
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, path, -1, out,
                                      size, nullptr, utf8 ? nullptr : &lossy);
    return n > 0 && !lossy;
}

// A UTF-16 name in the ANSI code page, into `narrow`; a name the code page
// cannot carry by its short (8.3) form, which it can where the volume keeps
// short names; else null, and the object is drawn untextured.
const char* TexturePath(const wchar_t* path, char* narrow, int size) {
    if (ToAnsi(path, narrow, size)) return narrow;
    const DWORD length = GetShortPathNameW(path, nullptr, 0);
    OwnedArray<wchar_t> short_path;
    if (length == 0 || Failed(short_path.Allocate(length))) return nullptr;
    const DWORD written = GetShortPathNameW(path, short_path.data(), length);
    return written > 0 && written < length && ToAnsi(short_path.data(), narrow, size) ? narrow : nullptr;
}

template <typename Path>
int Picture(Path buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits) {
    FloatingPointGuard fp;
    RenderSettings settings;
    ObjectBuffer object;
    const Status loaded = LoadRequest(buffer, length, flag, ObjectBuffer::kWholeFile, &settings, &object);
    // The shaded style's images are looked for around the object's file
    // (Textures 0 turns them off); an object in memory has no place.
    char narrow[texture_search::kMaxPath];
    const bool textured = InputKindOf(flag) == InputKind::kFile && StyleOf(settings) == DrawStyle::kShaded &&
                          settings.textures != 0;
    const char* path = textured ? TexturePath(buffer, narrow, static_cast<int>(sizeof narrow)) : nullptr;
    const DiskTextures disk(path, nullptr, 0);
    return AssemblePicture(loaded, object, settings, reinterpret_cast<void**>(info), reinterpret_cast<void**>(bits),
                           DrawingOptions{}, path ? &disk : nullptr);
}

}  // namespace

// The blocks are LMEM_FIXED: the handle is the pointer, which every host
// can use, whether it locks the handle first or not.
extern "C" int WINAPI GetPicture(LPCSTR buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits,
                                 SUSIE_PROGRESS /*progress*/, LONG_PTR /*user_data*/) {
    return Picture(buffer, length, flag, info, bits);
}

// The file is opened by its UTF-16 name; a memory image is bytes as above.
extern "C" int WINAPI GetPictureW(LPCWSTR buffer, LONG_PTR length, UINT flag, HLOCAL* info, HLOCAL* bits,
                                  SUSIE_PROGRESS /*progress*/, LONG_PTR /*user_data*/) {
    return Picture(buffer, length, flag, info, bits);
}
