// ObjectBytes: an object's bytes gathered in pieces, as image frameworks
// hand them over (a loader fed by the application, a device read in blocks),
// bounded as the command bounds a file: at most what an ObjectBuffer holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"

namespace qavren::viewers {

class ObjectBytes {
public:
    // The most an ObjectBuffer holds: its size is 32 bits.
    static constexpr uint64_t kMostBytes = UINT32_MAX;

    // `most` lowers the bound (for tests); it never raises it.
    explicit ObjectBytes(uint64_t most = kMostBytes) : most_(most < kMostBytes ? most : kMostBytes) {}
    ObjectBytes(const ObjectBytes&) = delete;
    ObjectBytes& operator=(const ObjectBytes&) = delete;
    ~ObjectBytes();

    // Appends `length` bytes: 0, or -4 when the total would pass the bound
    // or the block cannot be had, with the bytes gathered so far kept.
    Status Append(const void* piece, size_t length);

    uint64_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

    // Copies the bytes into an empty buffer (LoadFromMemory's results).
    Status MoveInto(ObjectBuffer* buffer);

private:
    uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    uint64_t capacity_ = 0;
    uint64_t most_;
};

// The object's form read from its first 12 bytes alone: true when they name
// one of the four forms, so that a size can be answered before the rest has
// come (or without reading it).
bool HeaderNamesObject(const uint8_t* head, size_t length);

}  // namespace qavren::viewers
