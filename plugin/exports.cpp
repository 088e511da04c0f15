// The module's boundary with the host: DllMain and the exports that answer
// questions about the plug-in and about a file. Each adapts the host's ABI
// to the portable core and translates the result once, here. The W exports
// are the same answers for hosts that pass file names as UTF-16.
#include <windows.h>

#include <cstring>

#include "object/object_buffer.h"
#include "plugin/exports.h"
#include "plugin/fp_guard.h"
#include "plugin/host_codes.h"
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

// The file name and length are never looked at: the answer is the size the
// settings hold now. A null record is a memory error, as in GetPicture,
// rather than a write through it.
int PictureInfoAnswer(UINT flag, PictureInfo* info) {
    if (InputKindOf(flag) == InputKind::kUnsupported) return host::kNotImplemented;
    if (!info) return host::kMemoryError;
    uint8_t record[kPictureInfoSize];
    WritePictureInfo(CurrentSettings(), record);
    std::memcpy(info, record, sizeof record);
    return host::kSuccess;
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

extern "C" int WINAPI GetPictureInfo(LPCSTR /*buffer*/, LONG_PTR /*length*/, UINT flag, PictureInfo* info) {
    return PictureInfoAnswer(flag, info);
}

extern "C" int WINAPI GetPictureInfoW(LPCWSTR /*buffer*/, LONG_PTR /*length*/, UINT flag, PictureInfo* info) {
    return PictureInfoAnswer(flag, info);
}

extern "C" int WINAPI GetPreview(LPCSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, SUSIE_PROGRESS, LONG_PTR) {
    return host::kNotImplemented;
}

extern "C" int WINAPI GetPreviewW(LPCWSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, SUSIE_PROGRESS, LONG_PTR) {
    return host::kNotImplemented;
}
