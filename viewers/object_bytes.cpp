// Growing the gathered bytes by doubling, within the 32-bit object limit.
#include "viewers/object_bytes.h"

#include <algorithm>
#include <cstring>

#include "object/forms.h"
#include "platform/memory.h"

namespace qavren::viewers {

ObjectBytes::~ObjectBytes() { platform::Free(data_); }

Status ObjectBytes::Append(const void* piece, size_t length) {
    if (length == 0) return status::kOk;
    if (!piece) return status::kNoData;
    if (length > most_ - size_) return status::kNoMemory;
    const uint64_t needed = size_ + length;
    if (needed > capacity_) {
        // Doubling keeps the copies linear in the object's size; the cap
        // keeps the block within what an ObjectBuffer can take.
        const uint64_t grown = std::min<uint64_t>(most_, std::max<uint64_t>({needed, capacity_ * 2, 4096}));
        if (grown < needed) return status::kNoMemory;  // never written past the block
        auto* block = static_cast<uint8_t*>(platform::AllocateZeroed(static_cast<size_t>(grown)));
        if (!block) return status::kNoMemory;
        if (size_) std::memcpy(block, data_, static_cast<size_t>(size_));
        platform::Free(data_);
        data_ = block;
        capacity_ = grown;
    }
    std::memcpy(data_ + size_, piece, length);
    size_ = needed;
    return status::kOk;
}

Status ObjectBytes::MoveInto(ObjectBuffer* buffer) {
    const Status loaded = buffer->LoadFromMemory(data_, static_cast<uint32_t>(size_));
    if (Failed(loaded)) return loaded;
    platform::Free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    return status::kOk;
}

bool HeaderNamesObject(const uint8_t* head, size_t length) {
    ObjectBuffer header;
    if (length < 12 || Failed(header.LoadFromMemory(head, 12))) return false;
    ObjectForm form;
    return IdentifyForm(header, &form);
}

}  // namespace qavren::viewers
