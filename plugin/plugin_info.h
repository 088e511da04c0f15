// What the plug-in tells the host about itself, and the small portable
// answers behind GetPluginInfo, IsSupported and GetPictureInfo.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "settings/render_settings.h"

namespace qavren {

// Copies information string `index` (0..3) into `buffer` the way the host
// interface asks: at most `length` bytes, the rest of them zero-filled; the
// result is the number of characters stored. Out-of-range index or a length
// of 0 or less: 0, and the buffer is untouched.
int32_t CopyPluginInfo(int32_t index, char* buffer, int32_t length);

// 1 when the loaded data is an LWOB object, else 0 (the load's status is
// taken as it is when it failed).
int32_t SupportAnswer(Status load_status, const ObjectBuffer& buffer);

// The host's input kinds, from the low three bits of its flag word.
enum class InputKind { kFile, kMemory, kUnsupported };
constexpr InputKind InputKindOf(uint32_t flag) {
    switch (flag & 7u) {
    case 0: return InputKind::kFile;
    case 1: return InputKind::kMemory;
    default: return InputKind::kUnsupported;
    }
}

// The packed 26-byte picture record the host receives, written byte by byte.
constexpr uint32_t kPictureInfoSize = 26;
void WritePictureInfo(const RenderSettings& settings, uint8_t out[kPictureInfoSize]);

}  // namespace qavren
