// What GetPicture and GetPictureInfo both do first with the host's
// arguments: refresh the settings from the registry and load the input, a
// file (path and start offset) or a memory image, by the flag's input kind.
#pragma once

#include <windows.h>

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "plugin/plugin_info.h"
#include "settings/settings_store.h"

namespace qavren {

// The file offset the loader takes, or false when `length` cannot be one.
// In the 32-bit module every value is one: it is read as unsigned, as it
// always was, so a negative one lies past the end of any file. In the
// 64-bit module a negative offset, or one beyond 32 bits, is refused.
inline bool FileOffset(LONG_PTR length, uint32_t* offset) {
    const auto value = static_cast<ULONG_PTR>(length);
    if constexpr (sizeof value > sizeof *offset) {
        if (value > UINT32_MAX) return false;
    }
    *offset = static_cast<uint32_t>(value);
    return true;
}

// Fills the buffer with the input, or with its first `most` bytes only. A
// negative length of a memory image is no usable data; an image beyond 32
// bits is more than an object may hold.
template <typename Path>
Status LoadInput(ObjectBuffer& buffer, Path source, LONG_PTR length, UINT flag, uint32_t most) {
    switch (InputKindOf(flag)) {
    case InputKind::kFile: {
        uint32_t offset = 0;
        if (!FileOffset(length, &offset)) return status::kReadError;
        return buffer.LoadFromFile(source, offset, most);
    }
    case InputKind::kMemory:
        if (length < 0) return status::kNoData;
        if constexpr (sizeof length > sizeof(uint32_t)) {
            if (static_cast<ULONG_PTR>(length) > UINT32_MAX) return status::kNoMemory;
        }
        return buffer.LoadFromMemory(source, static_cast<uint32_t>(length) < most ? static_cast<uint32_t>(length) : most);
    default: return status::kUnsupportedInput;
    }
}

// The settings first, then the input: the order of the requests' steps.
template <typename Path>
Status LoadRequest(Path source, LONG_PTR length, UINT flag, uint32_t most, RenderSettings* settings,
                   ObjectBuffer* object) {
    *settings = LoadSettings();
    return LoadInput(*object, source, length, flag, most);
}

}  // namespace qavren
