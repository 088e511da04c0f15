// The samples of the shaded style: the block a band of rows is drawn into,
// and what the resolvers read back from it, a pixel at a time.
#pragma once

#include <cstdint>

#include "platform/owned_array.h"
#include "platform/status.h"

namespace qavren {

// The samples of one band of a picture's rows, two by two samples a pixel.
// A sample holds its depth and a value: zero before anything is drawn
// there (so a fresh zeroed block needs no clearing pass); once drawn, the
// colour 0x01RRGGBB of a shape whose colour is the same everywhere, or
// kShape plus the number of a shape to be shaded where it stays visible;
// after the band is shaded, every drawn sample holds its colour. The block
// is made for a band of at most `rows` pixel rows and reused band after
// band: Start clears what the last band drew. Sample and pixel coordinates
// are the picture's; the rasteriser writes only inside the band. The pixels
// that hold any drawn sample lie within drawn_box().
class ShadedSamples {
public:
    static constexpr int32_t kSide = 2;  // samples a pixel along x and along y (Pixel reads 2 × 2)
    static constexpr uint32_t kBytesPerPixel = 4 * 8;  // depth and colour for each of 4 samples

    struct Sample {
        float depth;
        uint32_t value;
    };
    static constexpr uint32_t kDrawn = 0x01000000;
    static constexpr uint32_t kShape = 0x80000000;  // shapes are numbered below it

    ShadedSamples() = default;
    ShadedSamples(const ShadedSamples&) = delete;
    ShadedSamples& operator=(const ShadedSamples&) = delete;

    // A block for bands of up to `rows` rows of `width` pixels, nothing
    // drawn, its band the first `rows` rows. kNoMemory when a side is not
    // positive or above kMaxSide, or the block cannot be had. The edge
    // functions of the rasteriser are exact 64-bit products of fixed-point
    // sample coordinates (32 a pixel): sides up to 2^24 keep them below 2^62.
    Status Allocate(int32_t width, int32_t rows);
    static constexpr int32_t kMaxSide = 1 << 24;

    // Makes the block the band of pixel rows top .. top + rows - 1 (rows at
    // most the allocated ones), with nothing drawn.
    void Start(int32_t top, int32_t rows);

    int32_t width() const { return width_; }
    // Sample rows of the band: top (inclusive) to bottom (exclusive).
    int32_t band_top() const { return band_top_; }
    int32_t band_bottom() const { return band_bottom_; }

    // Pixels x0..x1, y0..y1 (inclusive) hold every drawn sample; empty
    // (x0 > x1) while nothing is drawn.
    struct Box {
        int32_t x0, x1, y0, y1;
    };
    Box drawn_box() const {
        return {drawn_.x0 / kSide, drawn_.x1 < 0 ? -1 : drawn_.x1 / kSide, drawn_.y0 / kSide,
                drawn_.y1 < 0 ? -1 : drawn_.y1 / kSide};
    }
    // Samples i0..i1 of rows j0..j1 are about to be drawn on.
    void Reach(int32_t i0, int32_t i1, int32_t j0, int32_t j1) {
        if (i0 < drawn_.x0) drawn_.x0 = i0;
        if (i1 > drawn_.x1) drawn_.x1 = i1;
        if (j0 < drawn_.y0) drawn_.y0 = j0;
        if (j1 > drawn_.y1) drawn_.y1 = j1;
    }

    // Sample (sx, sy) of the picture; sy within the band. The 2 × 2 samples
    // of a pixel are At(2x, 2y), the next one, and the same two a sample
    // row (kSide × width samples) further.
    Sample& At(int32_t sx, int32_t sy) {
        return samples_[static_cast<uint64_t>(static_cast<uint32_t>(sy - band_top_)) *
                            static_cast<uint32_t>(kSide * width_) +
                        static_cast<uint32_t>(sx)];
    }
    const Sample& At(int32_t sx, int32_t sy) const { return const_cast<ShadedSamples*>(this)->At(sx, sy); }

    // Pixel (x, y) of the shaded band: how many of its samples are drawn (0 to 4)
    // and the sums of their red, green and blue.
    struct PixelSum {
        uint32_t drawn;
        uint32_t red, green, blue;
    };
    PixelSum Pixel(int32_t x, int32_t y) const {
        const Sample* top = &At(kSide * x, kSide * y);
        const Sample* bottom = top + static_cast<uint32_t>(kSide * width_);
        const uint32_t c[4] = {top[0].value, top[1].value, bottom[0].value, bottom[1].value};
        if (c[0] == c[1] && c[0] == c[2] && c[0] == c[3]) {  // inside a face, or wholly empty
            if (!c[0]) return {0, 0, 0, 0};
            return {4, 4 * (c[0] >> 16 & 0xFF), 4 * (c[0] >> 8 & 0xFF), 4 * (c[0] & 0xFF)};
        }
        PixelSum p{0, 0, 0, 0};
        for (const uint32_t colour : c) {
            if (!(colour & kDrawn)) continue;
            ++p.drawn;
            p.red += colour >> 16 & 0xFF;
            p.green += colour >> 8 & 0xFF;
            p.blue += colour & 0xFF;
        }
        return p;
    }

private:
    OwnedArray<Sample> samples_;
    int32_t width_ = 0;
    int32_t rows_ = 0;  // the most pixel rows a band has
    int32_t band_top_ = 0;
    int32_t band_bottom_ = 0;
    Box drawn_ = {INT32_MAX, -1, INT32_MAX, -1};  // in samples
};

}  // namespace qavren
