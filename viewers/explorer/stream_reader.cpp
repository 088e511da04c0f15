// The whole stream into one block, grown as the stream goes on, then handed
// to the ObjectBuffer.
#include "viewers/explorer/stream_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/memory.h"

namespace qavren::explorer {
namespace {

// A growable block of counted local memory, freed on every exit.
class GrowingBlock {
public:
    GrowingBlock() = default;
    GrowingBlock(const GrowingBlock&) = delete;
    GrowingBlock& operator=(const GrowingBlock&) = delete;
    ~GrowingBlock() { platform::Free(data_); }

    bool Reserve(uint32_t capacity) {
        auto* block = static_cast<uint8_t*>(platform::AllocateZeroed(capacity));
        if (!block) return false;
        if (size_) std::memcpy(block, data_, size_);
        platform::Free(data_);
        data_ = block;
        capacity_ = capacity;
        return true;
    }

    uint8_t* data() { return data_; }
    uint32_t size() const { return size_; }
    uint32_t capacity() const { return capacity_; }
    uint32_t room() const { return capacity_ - size_; }
    void Grew(uint32_t n) { size_ += n; }

private:
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};

// Twice the capacity, at least one more piece, at most the limit; computed
// in 64 bits so that nothing wraps.
uint32_t NextCapacity(uint32_t capacity, uint32_t limit) {
    const uint64_t doubled = std::max<uint64_t>(2 * uint64_t{capacity}, uint64_t{capacity} + kFirstPiece);
    return static_cast<uint32_t>(std::min<uint64_t>(doubled, limit));
}

}  // namespace

Status ReadWholeStream(ByteStream& stream, uint64_t size_hint, ObjectBuffer* out, uint32_t limit) {
    if (!out->empty()) return status::kAlreadyFilled;
    if (size_hint != kUnknownSize && size_hint > limit) return status::kNoMemory;
    GrowingBlock block;
    const uint64_t first = size_hint != kUnknownSize ? size_hint : std::min(kFirstPiece, limit);
    if (!block.Reserve(static_cast<uint32_t>(first))) return status::kNoMemory;
    for (;;) {
        if (block.room() == 0) {
            // Full: one byte tells whether the stream ends here, before any
            // bigger block is asked for.
            uint8_t probe = 0;
            uint32_t got = 0;
            if (!stream.Read(&probe, 1, &got) || got > 1) return status::kReadError;
            if (got == 0) break;
            if (block.capacity() == limit) return status::kNoMemory;
            if (!block.Reserve(NextCapacity(block.capacity(), limit))) return status::kNoMemory;
            block.data()[block.size()] = probe;
            block.Grew(1);
            continue;
        }
        const uint32_t want = block.room();
        uint32_t got = 0;
        if (!stream.Read(block.data() + block.size(), want, &got) || got > want) return status::kReadError;
        if (got == 0) break;
        block.Grew(got);
    }
    return out->LoadFromMemory(block.data(), block.size());
}

}  // namespace qavren::explorer
