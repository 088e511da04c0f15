// Coverage: the written-pixel masks and their band summary.
#include "render/coverage.h"

#include <algorithm>

#include "platform/memory.h"

namespace qavren {
namespace {

constexpr uint64_t kAll = ~uint64_t{0};

// Whether bits lo..hi (inclusive) of the bit string `words` are all set.
bool AllSet(const uint64_t* words, int32_t lo, int32_t hi) {
    const int32_t last = hi >> 6;
    uint64_t need = kAll << (lo & 63);
    for (int32_t w = lo >> 6; w < last; ++w, need = kAll) {
        if (~words[w] & need) return false;
    }
    need &= kAll >> (63 - (hi & 63));
    return (~words[last] & need) == 0;
}

}  // namespace

Coverage::~Coverage() { platform::Free(block_); }

uint64_t Coverage::BlockSize(int32_t width, int32_t height) {
    const uint64_t words = (static_cast<uint64_t>(width) + 63) / 64;
    const uint64_t bands = (static_cast<uint64_t>(height) + 7) >> kBandShift;
    return 8 * (words * static_cast<uint64_t>(height) + (words + 63) / 64 * bands);
}

Status Coverage::Allocate(int32_t width, int32_t height) {
    const uint64_t size = BlockSize(width, height);  // below 2^60 for int32 sides
    if (size > UINT32_MAX) return status::kNoMemory;  // as for the triangles: the same limit on both builds
    block_ = platform::AllocateZeroed(static_cast<size_t>(size));
    if (!block_) return status::kNoMemory;
    words_ = static_cast<int32_t>((static_cast<uint64_t>(width) + 63) / 64);
    band_words_ = (words_ + 63) / 64;
    height_ = height;
    masks_ = static_cast<uint64_t*>(block_);
    bands_ = masks_ + static_cast<uint64_t>(words_) * static_cast<uint64_t>(height);
    // The bits past the last pixel count as written, so that a row's last
    // word fills like any other.
    if (width % 64 != 0) {
        for (int32_t y = 0; y < height; ++y) Row(y)[words_ - 1] = kAll << (width % 64);
    }
    unwritten_ = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return status::kOk;
}

bool Coverage::Written(int32_t x0, int32_t x1, int32_t y0, int32_t y1) const {
    for (int32_t band = y0 >> kBandShift; band <= y1 >> kBandShift; ++band) {
        if (AllSet(bands_ + static_cast<uint64_t>(band) * band_words_, x0 >> 6, x1 >> 6)) continue;
        const int32_t last = std::min(y1, ((band + 1) << kBandShift) - 1);
        for (int32_t y = std::max(y0, band << kBandShift); y <= last; ++y) {
            if (!AllSet(Row(y), x0, x1)) return false;
        }
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
    if (low && (mask[w] |= low) == kAll) WordFilled(y, w);
    if (high && (mask[w + 1] |= high) == kAll) WordFilled(y, w + 1);
    unwritten_ -= static_cast<uint64_t>(std::popcount(low) + std::popcount(high));
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
        if ((mask[w] |= bits) == kAll) WordFilled(y, w);
    }
    unwritten_ -= static_cast<uint64_t>(x1 - x0 + 1);
}

void Coverage::WordFilled(int32_t y, int32_t w) {
    const int32_t first = y & ~((1 << kBandShift) - 1), last = std::min(height_ - 1, first + (1 << kBandShift) - 1);
    for (int32_t r = first; r <= last; ++r) {
        if (Row(r)[w] != kAll) return;
    }
    Band(y)[w >> 6] |= uint64_t{1} << (w & 63);
}

}  // namespace qavren
