// The three loaders of ObjectBuffer.
#include "object/object_buffer.h"

#include <cstring>

#include "platform/memory.h"

namespace qavren {

Status ObjectBuffer::LoadFromFile(const char* path, uint32_t offset) {
    if (!empty()) return status::kAlreadyFilled;
    return LoadFromOpenFile(platform::File::OpenForReading(path), offset);
}

#ifdef _WIN32
Status ObjectBuffer::LoadFromFile(const wchar_t* path, uint32_t offset) {
    if (!empty()) return status::kAlreadyFilled;
    return LoadFromOpenFile(platform::File::OpenForReading(path), offset);
}
#endif

Status ObjectBuffer::LoadFromOpenFile(const platform::File& file, uint32_t offset) {
    uint64_t size = 0;
    if (!file.IsOpen() || !platform::FileSize(file.handle(), &size)) return status::kReadError;
    if (offset >= size) return status::kReadError;
    if (!platform::SeekFromStart(file.handle(), offset)) return status::kReadError;
    return ReadInto(file.handle(), size - offset);
}

Status ObjectBuffer::LoadFromHandle(platform::NativeFile file) {
    if (!empty()) return status::kAlreadyFilled;
    uint64_t size = 0;
    // A handle whose size cannot be taken is unreadable, not a 4 GiB request.
    if (!platform::FileSize(file, &size)) return status::kReadError;
    return ReadInto(file, size);
}

// Reads `length` bytes into a new block. An object must fit a 32-bit size.
Status ObjectBuffer::ReadInto(platform::NativeFile file, uint64_t length) {
    if (length > UINT32_MAX) return status::kNoMemory;
    auto* block = static_cast<uint8_t*>(platform::AllocateZeroed(static_cast<size_t>(length)));
    if (!block) return status::kNoMemory;
    if (!platform::ReadExact(file, block, static_cast<uint32_t>(length))) {
        platform::Free(block);
        return status::kReadError;
    }
    data_ = block;
    size_ = static_cast<uint32_t>(length);
    return status::kOk;
}

Status ObjectBuffer::LoadFromMemory(const void* source, uint32_t length) {
    if (!empty()) return status::kAlreadyFilled;
    if (!source && length) return status::kNoData;
    auto* block = static_cast<uint8_t*>(platform::AllocateZeroed(length));
    if (!block) return status::kNoMemory;
    if (length) std::memcpy(block, source, length);
    data_ = block;
    size_ = length;
    return status::kOk;
}

void ObjectBuffer::Release() {
    platform::Free(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace qavren
