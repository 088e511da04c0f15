// The three loaders of ObjectBuffer.
#include "object/object_buffer.h"

#include <algorithm>
#include <cstring>

#include "platform/memory.h"

namespace qavren {

Status ObjectBuffer::LoadFromFile(const char* path, uint32_t offset, uint32_t most) {
    if (!empty()) return status::kAlreadyFilled;
    return LoadFromOpenFile(platform::File::OpenForReading(path), offset, most);
}

#ifdef _WIN32
Status ObjectBuffer::LoadFromFile(const wchar_t* path, uint32_t offset, uint32_t most) {
    if (!empty()) return status::kAlreadyFilled;
    return LoadFromOpenFile(platform::File::OpenForReading(path), offset, most);
}
#endif

// A whole file beyond 32 bits is refused by ReadInto; a part of it is read.
Status ObjectBuffer::LoadFromOpenFile(const platform::File& file, uint32_t offset, uint32_t most) {
    uint64_t size = 0;
    if (!file.IsOpen() || !platform::FileSize(file.handle(), &size)) return status::kReadError;
    if (offset >= size) return status::kReadError;
    if (!platform::SeekFromStart(file.handle(), offset)) return status::kReadError;
    const uint64_t rest = size - offset;
    return ReadInto(file.handle(), most == kWholeFile ? rest : std::min<uint64_t>(rest, most));
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
