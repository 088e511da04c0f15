// Coverage: which pixels of a canvas have been written, so that a picture
// can be drawn nearest first and every pixel written once. Each row has a bit
// mask (bit x % 64 of word x / 64 set once pixel x is written), and each
// band of eight rows one more: the AND of its rows' masks, bit x set once
// pixel x is written on every row of the band, so that whether a stretch of
// eight rows is all written is a look at one or two words.
#pragma once

#include <bit>
#include <cstdint>

#include "platform/status.h"

namespace qavren {

class Coverage {
public:
    static constexpr int32_t kBandShift = 3;  // bands of 8 rows

    Coverage() = default;
    Coverage(const Coverage&) = delete;
    Coverage& operator=(const Coverage&) = delete;
    ~Coverage();

    // Bytes the block for a width x height canvas takes (both positive):
    // a bit a pixel, padded to 64 bits a row, and an eighth more for bands.
    static uint64_t BlockSize(int32_t width, int32_t height);

    // Nothing written yet. -4 when the block cannot be had.
    Status Allocate(int32_t width, int32_t height);

    // Makes this coverage a view of rows top .. bottom of `whole` (top a
    // multiple of the band height, bottom the last row of a band or of the
    // canvas): it reads and writes those rows' masks in place, keeps its own
    // count of their unwritten pixels, and owns no memory. Views of
    // disjoint rows touch disjoint words, so they can be drawn into at once
    // from separate threads. `whole` must outlive the view and, while views
    // are in use, not be written through itself.
    void ViewRows(const Coverage& whole, int32_t top, int32_t bottom);

    bool Full() const { return unwritten_ == 0; }

    // Whether every pixel of columns x0..x1 on rows y0..y1 (on the canvas,
    // x0 <= x1, y0 <= y1) has been written.
    bool Written(int32_t x0, int32_t x1, int32_t y0, int32_t y1) const;

    // Claims pixels x0..x1 of row y and calls write(x, count) for each run of
    // them that was not written before, left to right. Only the row's words
    // up to x1's are read: the next word may be another band's, drawn into
    // by another thread.
    template <typename Write>
    void ClaimSpan(int32_t y, int32_t x0, int32_t x1, Write&& write) {
        const uint64_t* mask = Row(y);
        for (int32_t x = x0; x <= x1 && (x = NextUnwritten(mask, x, x1)) <= x1;) {
            const int32_t end = NextWritten(mask, x, x1);
            write(x, end - x);
            Mark(y, x, end - 1);
            x = end;
        }
    }

    // The row masks alone, to test pixels with in a loop that also writes
    // pixel bytes (which could be any object's, so the coverage's own
    // fields would be read again after every write).
    struct Masks {
        const uint64_t* words;
        int32_t row_words;
        int32_t first_row;
        bool Written(int32_t x, int32_t y) const {
            return words[static_cast<uint64_t>(y - first_row) * row_words + (x >> 6)] >> (x & 63) & 1;
        }
    };
    Masks masks() const { return {masks_, words_, first_row_}; }

    // Claims pixel (x, y); true when it was not written before.
    bool ClaimPixel(int32_t x, int32_t y) {
        uint64_t& word = Row(y)[x >> 6];
        const uint64_t bit = uint64_t{1} << (x & 63);
        if (word & bit) return false;
        word |= bit;
        --unwritten_;
        WordChanged(y, x >> 6);
        return true;
    }

    // Claims pixels x + i of row y for the set bits i of `bits` (all on the
    // canvas); returns the bits of those not written before.
    uint32_t ClaimBits(int32_t y, int32_t x, uint32_t bits);

private:
    uint64_t* Row(int32_t y) const { return masks_ + static_cast<uint64_t>(y - first_row_) * words_; }
    uint64_t* Band(int32_t y) const {
        return bands_ + static_cast<uint64_t>((y - first_row_) >> kBandShift) * words_;
    }
    // The first pixel of x..x1 not yet written / written, or x1 + 1.
    static int32_t NextUnwritten(const uint64_t* mask, int32_t x, int32_t x1);
    static int32_t NextWritten(const uint64_t* mask, int32_t x, int32_t x1);
    // Sets x0..x1 of row y, none of them written before.
    void Mark(int32_t y, int32_t x0, int32_t x1);
    // Mask word w of row y has gained bits: its band's word again.
    void WordChanged(int32_t y, int32_t w) {
        const int32_t first = y & ~((1 << kBandShift) - 1);
        const int32_t last = first + (1 << kBandShift) - 1 < end_row_ ? first + (1 << kBandShift) - 1 : end_row_ - 1;
        uint64_t all = Row(first)[w];
        for (int32_t r = first + 1; r <= last; ++r) all &= Row(r)[w];
        Band(y)[w] = all;
    }

    void* block_ = nullptr;
    uint64_t* masks_ = nullptr;
    uint64_t* bands_ = nullptr;
    int32_t first_row_ = 0;  // the rows held: first_row_ .. end_row_ - 1
    int32_t end_row_ = 0;
    int32_t words_ = 0;  // mask words a row, and a band
    uint64_t unwritten_ = 0;
};

}  // namespace qavren
