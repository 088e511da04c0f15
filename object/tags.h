// The object format's two smallest words, read one way everywhere: a chunk's
// four-byte tag, and an S0 name (bytes up to a NUL, padded to an even length).
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/byte_reader.h"

namespace qavren {

// Whether the four bytes at `bytes` spell `tag` (four characters).
inline bool IsTag(const void* bytes, const char* tag) { return std::memcmp(bytes, tag, 4) == 0; }

// An S0 name: *name and *length the bytes before its NUL, and the data moved
// past the NUL and the pad byte that makes the length even, if present.
// False when the data holds no NUL; the name is then the rest of the data.
inline bool ReadName(ByteReader* data, const uint8_t** name, uint32_t* length) {
    const uint8_t* start = data->position();
    const uint32_t left = data->remaining();
    const auto* nul = left ? static_cast<const uint8_t*>(std::memchr(start, 0, left)) : nullptr;
    *name = start;
    *length = nul ? static_cast<uint32_t>(nul - start) : left;
    if (!nul) return false;
    data->Skip(*length + 1);
    if ((*length + 1) % 2 && data->remaining() > 0) data->Skip(1);
    return true;
}

}  // namespace qavren
