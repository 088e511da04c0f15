// Declarations shared by the module's export files. The exports are written
// once for both modules: integers that carry a pointer or a length are
// LONG_PTR / ULONG_PTR, 32 bits in QAVREN.SPI and 64 bits in QAVREN.SPH.
#pragma once

#include <windows.h>

#include <cstddef>

#include "plugin/plugin_info.h"

namespace qavren {
// The module instance handle, recorded on process attach.
HINSTANCE ModuleInstance();
}  // namespace qavren

// The host's progress callback: two ints and the host's pointer-sized datum.
typedef int(WINAPI* SUSIE_PROGRESS)(int, int, LONG_PTR);

// The record GetPictureInfo fills, packed to the byte; in the 64-bit module
// two padding bytes put the handle at offset 24.
#pragma pack(push, 1)
struct PictureInfo {
    LONG left;
    LONG top;
    LONG width;
    LONG height;
    WORD x_density;
    WORD y_density;
    SHORT bits_per_pixel;
#ifdef _WIN64
    BYTE padding[2];
#endif
    HLOCAL text_info;
};
#pragma pack(pop)
static_assert(sizeof(PictureInfo) == qavren::kPictureInfoSize);
static_assert(offsetof(PictureInfo, text_info) == qavren::kPictureInfoSize - sizeof(HLOCAL));
