// Coverage: the written-pixel masks and their band summary.
#include "render/coverage.h"

#include <algorithm>

#include "platform/memory.h"

namespace qavren {
namespace {

constexpr uint64_t kAll = ~uint64_t{0};

// Whether bits lo..hi (inclusive) of the bit string `words` are all set.
inline bool AllSet(const uint64_t* words, int32_t lo, int32_t hi) {
    const int32_t last = hi >> 6;
    if (lo >> 6 == last) return (~words[last] & (kAll << (lo & 63)) & (kAll >> (63 - (hi & 63)))) == 0;
    uint64_t need = kAll << (lo & 63);
    for (int32_t w = lo >> 6; w < last; ++w, need = kAll) {
        if (~words[w] & need) return false;
    }
    need &= kAll >> (63 - (hi & 63));
    return (~words[last] & need) == 0;
}

// Set bits, without a library call on processors compiled for without a
// population-count instruction.
uint64_t Count(uint64_t v) {
    v -= (v >> 1) & 0x5555555555555555u;
    v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return (v * 0x0101010101010101u) >> 56;
}

}  // namespace

Coverage::~Coverage() { platform::Free(block_); }

uint64_t Coverage::BlockSize(int32_t width, int32_t height) {
    const uint64_t words = (static_cast<uint64_t>(width) + 63) / 64;
    const uint64_t bands = (static_cast<uint64_t>(height) + 7) >> kBandShift;
    return 8 * words * (static_cast<uint64_t>(height) + bands);
}

Status Coverage::Allocate(int32_t width, int32_t height) {
    const uint64_t size = BlockSize(width, height);  // below 2^60 for int32 sides
    if (size > UINT32_MAX) return status::kNoMemory;  // as for the triangles: the same limit on both builds
    block_ = platform::AllocateZeroed(static_cast<size_t>(size));
    if (!block_) return status::kNoMemory;
    words_ = static_cast<int32_t>((static_cast<uint64_t>(width) + 63) / 64);
    first_row_ = 0;
    end_row_ = height;
    masks_ = static_cast<uint64_t*>(block_);
    bands_ = masks_ + static_cast<uint64_t>(words_) * static_cast<uint64_t>(height);
    // The bits past the last pixel count as written, so that a row's last
    // word fills like any other.
    if (width % 64 != 0) {
        for (int32_t y = 0; y < height; ++y) Row(y)[words_ - 1] = kAll << (width % 64);
        for (int32_t y = 0; y < height; y += 1 << kBandShift) Band(y)[words_ - 1] = kAll << (width % 64);
    }
    unwritten_ = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return status::kOk;
}

void Coverage::ViewRows(const Coverage& whole, int32_t top, int32_t bottom) {
    words_ = whole.words_;
    first_row_ = top;
    end_row_ = bottom + 1;
    masks_ = whole.Row(top);
    bands_ = whole.Band(top);
    // The bits past a row's last pixel are set, so every clear bit is an
    // unwritten pixel.
    unwritten_ = 0;
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t w = 0; w < words_; ++w) unwritten_ += 64 - Count(Row(y)[w]);
    }
}

bool Coverage::Written(int32_t x0, int32_t x1, int32_t y0, int32_t y1) const {
    for (int32_t y = y0; y <= y1;) {
        const int32_t first = y & ~((1 << kBandShift) - 1);
        const int32_t last = std::min(end_row_ - 1, first + (1 << kBandShift) - 1), end = std::min(y1, last);
        // The band's word answers for all its rows; rows are looked at only
        // where it says no and the band is not all within y0 .. y1.
        if (!AllSet(Band(y), x0, x1)) {
            if (y == first && end == last) return false;
            for (int32_t r = y; r <= end; ++r) {
                if (!AllSet(Row(r), x0, x1)) return false;
            }
        }
        y = end + 1;
    }
    return true;
}

uint32_t Coverage::ClaimBits(int32_t y, int32_t x, uint32_t bits) {
    uint64_t* mask = Row(y);
    const int32_t w = x >> 6, shift = x & 63;
    const uint64_t low = (uint64_t{bits} << shift) & ~mask[w];
    // Bits that run into the next word; that word exists, as they are on the canvas.
    const uint64_t spill = shift > 32 ? uint64_t{bits} >> (64 - shift) : 0;
    const uint64_t high = spill ? spill & ~mask[w + 1] : 0;
    if (low) {
        mask[w] |= low;
        WordChanged(y, w);
    }
    if (high) {
        mask[w + 1] |= high;
        WordChanged(y, w + 1);
    }
    unwritten_ -= Count(low) + Count(high);
    return static_cast<uint32_t>(low >> shift) | (high ? static_cast<uint32_t>(high << (64 - shift)) : 0u);
}

int32_t Coverage::NextUnwritten(const uint64_t* mask, int32_t x, int32_t x1) {
    int32_t w = x >> 6;
    uint64_t open = ~mask[w] & (kAll << (x & 63));
    while (open == 0) {
        if (++w > x1 >> 6) return x1 + 1;
        open = ~mask[w];
    }
    return std::min(x1 + 1, (w << 6) + std::countr_zero(open));
}

int32_t Coverage::NextWritten(const uint64_t* mask, int32_t x, int32_t x1) {
    int32_t w = x >> 6;
    uint64_t set = mask[w] & (kAll << (x & 63));
    while (set == 0) {
        if (++w > x1 >> 6) return x1 + 1;
        set = mask[w];
    }
    return std::min(x1 + 1, (w << 6) + std::countr_zero(set));
}

void Coverage::Mark(int32_t y, int32_t x0, int32_t x1) {
    uint64_t* mask = Row(y);
    const int32_t w0 = x0 >> 6, w1 = x1 >> 6;
    for (int32_t w = w0; w <= w1; ++w) {
        uint64_t bits = kAll;
        if (w == w0) bits &= kAll << (x0 & 63);
        if (w == w1) bits &= kAll >> (63 - (x1 & 63));
        mask[w] |= bits;
        WordChanged(y, w);
    }
    unwritten_ -= static_cast<uint64_t>(x1 - x0 + 1);
}

}  // namespace qavren
