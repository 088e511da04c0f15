// Growing the gathered bytes by doubling, within the 32-bit object limit.
#include "viewers/object_bytes.h"

#include <algorithm>
#include <cstring>

namespace qavren::viewers {

Status ObjectBytes::Reserve(uint64_t capacity) {
    if (capacity > most_) return status::kNoMemory;
    return capacity > block_.size() ? block_.Resize(capacity) : status::kOk;
}

Status ObjectBytes::Append(const void* piece, size_t length) {
    if (length == 0) return status::kOk;
    if (!piece) return status::kNoData;
    if (length > most_ - size_) return status::kNoMemory;
    const uint64_t needed = size_ + length;
    if (needed > block_.size()) {
        // Doubling keeps the copies linear in the object's size; the bound
        // (checked above) caps the block at what an ObjectBuffer can take.
        const uint64_t grown = std::min<uint64_t>(most_, std::max<uint64_t>({needed, block_.size() * 2, 4096}));
        if (const Status s = block_.Resize(grown); Failed(s)) return s;
    }
    std::memcpy(block_.data() + size_, piece, length);
    size_ = needed;
    return status::kOk;
}

Status ObjectBytes::MoveInto(ObjectBuffer* buffer) {
    const Status loaded = buffer->LoadFromMemory(block_.data(), static_cast<uint32_t>(size_));
    if (Failed(loaded)) return loaded;
    block_.Reset();
    size_ = 0;
    return status::kOk;
}

}  // namespace qavren::viewers
