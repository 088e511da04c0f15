// ObjectBuffer: a private, complete copy of an object file's bytes, filled
// once by one of three loaders and released before the entry point returns.
#pragma once

#include <cstdint>

#include "platform/file.h"
#include "platform/status.h"

namespace qavren {

class ObjectBuffer {
public:
    ObjectBuffer() = default;
    ObjectBuffer(const ObjectBuffer&) = delete;
    ObjectBuffer& operator=(const ObjectBuffer&) = delete;
    ~ObjectBuffer() { Release(); }

    // Each loader returns 0, or a negative Status leaving the buffer as it was.
    // The file's bytes from `offset` to its end, or only the first `most` of
    // them (a header is all some answers need).
    static constexpr uint32_t kWholeFile = UINT32_MAX;
    Status LoadFromFile(const char* path, uint32_t offset, uint32_t most = kWholeFile);
#ifdef _WIN32
    Status LoadFromFile(const wchar_t* path, uint32_t offset, uint32_t most = kWholeFile);
#endif
    // The whole file, read from the handle's current position; the handle
    // is neither moved back nor closed.
    Status LoadFromHandle(platform::NativeFile file);
    // `length` bytes copied from `source`.
    Status LoadFromMemory(const void* source, uint32_t length);

    void Release();

    const uint8_t* data() const { return data_; }
    uint32_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }

private:
    Status LoadFromOpenFile(const platform::File& file, uint32_t offset, uint32_t most);
    Status ReadInto(platform::NativeFile file, uint64_t length);

    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
};

}  // namespace qavren
