// The module's boundary with the host: DllMain and the exports that answer
// questions about the plug-in and about a file. Each adapts the host's ABI
// to the portable core and translates the result once, here.
#include <windows.h>

#include <cstring>

#include "object/object_buffer.h"
#include "plugin/exports.h"
#include "plugin/fp_guard.h"
#include "plugin/host_codes.h"
#include "plugin/plugin_info.h"

using namespace qavren;

namespace {
HINSTANCE g_instance = nullptr;
}  // namespace

HINSTANCE qavren::ModuleInstance() { return g_instance; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

extern "C" int WINAPI GetPluginInfo(int info_number, LPSTR buffer, int buffer_length) {
    return CopyPluginInfo(info_number, buffer, buffer_length);
}

// `source` is an open file handle of the host's when its upper 16 bits are
// zero, otherwise the address of the file's first 2,048 bytes.
extern "C" int WINAPI IsSupported(LPCSTR /*file_name*/, DWORD_PTR source) {
    FloatingPointGuard fp;
    ObjectBuffer buffer;
    const Status loaded = (source & ~DWORD_PTR{0xFFFF}) == 0
                              ? buffer.LoadFromHandle(reinterpret_cast<HANDLE>(source))
                              : buffer.LoadFromMemory(reinterpret_cast<const void*>(source), 2048);
    return SupportAnswer(loaded, buffer);
}

extern "C" int WINAPI GetPictureInfo(LPCSTR /*buffer*/, LONG /*length*/, UINT flag, void* info) {
    if (InputKindOf(flag) == InputKind::kUnsupported) return host::kNotImplemented;
    uint8_t record[kPictureInfoSize];
    WritePictureInfo(CurrentSettings(), record);
    std::memcpy(info, record, sizeof record);
    return host::kSuccess;
}

extern "C" int WINAPI GetPreview(LPCSTR, LONG, UINT, HLOCAL*, HLOCAL*, SusieProgress, LONG) {
    return host::kNotImplemented;
}
