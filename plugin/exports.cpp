// The module's boundary with the host: DllMain and the exports that answer
// questions about the plug-in and about a file. Each adapts the host's ABI
// to the portable core and translates the result once, here. The W exports
// are the same answers for hosts that pass file names as UTF-16.
#include <windows.h>

#include <cstring>

#include "object/lwob.h"
#include "object/object_buffer.h"
#include "platform/fp_guard.h"
#include "plugin/exports.h"
#include "plugin/host_codes.h"
#include "plugin/host_input.h"
#include "plugin/picture.h"
#include "plugin/plugin_info.h"
#include "settings/settings_store.h"

using namespace qavren;

namespace {

HINSTANCE g_instance = nullptr;

// `source` is an open file handle of the host's when all but its low 16
// bits are zero, otherwise the address of the file's first 2,048 bytes. The
// mask is pointer-wide: a 64-bit head buffer may lie at an address whose
// low 32 bits would pass for a handle. Only the Forms value is read from
// the registry; the other settings stay as they are.
int Supported(const void* source) {
    FloatingPointGuard fp;
    const auto value = reinterpret_cast<ULONG_PTR>(source);
    ObjectBuffer buffer;
    const Status loaded = (value & ~ULONG_PTR{0xFFFF}) == 0
                              ? buffer.LoadFromHandle(reinterpret_cast<HANDLE>(value))
                              : buffer.LoadFromMemory(source, 2048);
    return SupportAnswer(loaded, buffer, AcceptedForms(LoadFormsSetting()));
}

// GetPicture's steps up to its header check, with only the header read: the
// settings from the registry, the input's first bytes, the form; then the
// size the next GetPicture will draw. A null record is a memory error, as
// in GetPicture, rather than a write through it.
template <typename Path>
int PictureInfoOf(Path source, LONG_PTR length, UINT flag, PictureInfo* info) {
    RenderSettings settings;
    ObjectBuffer header;
    const Status loaded = LoadRequest(source, length, flag, kFormHeaderSize, &settings, &header);
    uint8_t record[kPictureInfoSize];
    const int32_t code = PictureInfoAnswer(loaded, header, settings, info ? record : nullptr);
    if (code == host::kSuccess) std::memcpy(info, record, sizeof record);
    return code;
}

}  // namespace

HINSTANCE qavren::ModuleInstance() { return g_instance; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

extern "C" int WINAPI GetPluginInfo(int info_number, LPSTR buffer, int buffer_length) {
    return CopyPluginInfo(info_number, buffer, buffer_length);
}

// `buffer_length` counts wide characters.
extern "C" int WINAPI GetPluginInfoW(int info_number, LPWSTR buffer, int buffer_length) {
    return CopyWidePluginInfo(info_number, buffer, buffer_length);
}

extern "C" int WINAPI IsSupported(LPCSTR /*file_name*/, const void* source) { return Supported(source); }

extern "C" int WINAPI IsSupportedW(LPCWSTR /*file_name*/, const void* source) { return Supported(source); }

extern "C" int WINAPI GetPictureInfo(LPCSTR buffer, LONG_PTR length, UINT flag, PictureInfo* info) {
    return PictureInfoOf(buffer, length, flag, info);
}

// The file is opened by its UTF-16 name; a memory image is bytes as above.
extern "C" int WINAPI GetPictureInfoW(LPCWSTR buffer, LONG_PTR length, UINT flag, PictureInfo* info) {
    return PictureInfoOf(buffer, length, flag, info);
}

extern "C" int WINAPI GetPreview(LPCSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, SUSIE_PROGRESS, LONG_PTR) {
    return host::kNotImplemented;
}

extern "C" int WINAPI GetPreviewW(LPCWSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, SUSIE_PROGRESS, LONG_PTR) {
    return host::kNotImplemented;
}
