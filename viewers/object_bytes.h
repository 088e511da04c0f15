// ObjectBytes: an object's bytes gathered in pieces, as image frameworks
// hand them over (a loader fed by the application, a device or a stream read
// in blocks), bounded as the command bounds a file: at most what an
// ObjectBuffer holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/object_buffer.h"
#include "platform/owned_array.h"
#include "platform/status.h"

namespace qavren::viewers {

class ObjectBytes {
public:
    // The most an ObjectBuffer holds: its size is 32 bits.
    static constexpr uint64_t kMostBytes = UINT32_MAX;

    // `most` lowers the bound (for tests); it never raises it.
    explicit ObjectBytes(uint64_t most = kMostBytes) : most_(most < kMostBytes ? most : kMostBytes) {}

    // Room for `capacity` bytes in all, before they come (a size the source
    // reports): 0, or status::kNoMemory above the bound or when the block
    // cannot be had, with the bytes gathered so far kept.
    Status Reserve(uint64_t capacity);

    // Appends `length` bytes: 0, status::kNoData for no piece, or
    // status::kNoMemory when the total would pass the bound or the block
    // cannot be had, with the bytes gathered so far kept.
    Status Append(const void* piece, size_t length);

    uint64_t size() const { return size_; }
    const uint8_t* data() const { return block_.data(); }

    // Copies the bytes into an empty buffer (LoadFromMemory's results) and
    // lets them go.
    Status MoveInto(ObjectBuffer* buffer);

private:
    OwnedArray<uint8_t> block_;  // its size is the capacity
    uint64_t size_ = 0;
    uint64_t most_;
};

}  // namespace qavren::viewers
