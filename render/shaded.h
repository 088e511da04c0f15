// The shaded style: the model lit in its surfaces' colours, faces smooth
// where their surface asks for it, the nearest surface at each sample kept
// by a depth buffer, four samples a pixel averaged into smooth edges.
//
// The fit is the described one (ProjectPoints: the same bounds, scale and
// depth factor), so the three styles of one object line up. Nearer means a
// smaller turned z. Faces are lit from whichever side faces the viewer.
//
// Every step is integer arithmetic or double arithmetic in a fixed order
// (no library functions but sqrt, which is exact), so the samples are the
// same bytes on every build and platform.
#pragma once

#include <cstdint>

#include "object/model.h"
#include "platform/status.h"
#include "render/view.h"

namespace qavren {

// The light, in the turned model's axes (x right, y up, z away from the
// viewer): one directional light from the upper left and in front, and an
// ambient share so that no lit surface is black. A lit colour is
//   surface colour × (ambient + light × diffuse × cos + luminosity),
// clamped to 255, where cos is the cosine between the normal (turned to face
// the viewer) and the direction towards the light, or 0 when negative.
struct ShadedLight {
    static constexpr double kToLight[3] = {-1.0, 1.0, -1.5};  // normalised when used
    static constexpr double kAmbient = 0.3;
    static constexpr double kLight = 0.8;
};

// The depth and colour of the samples of one band of a picture's rows, two
// by two samples a pixel. A sample holds a colour 0x01RRGGBB and its depth
// once drawn, and zero bytes before (so a fresh zeroed block needs no
// clearing pass). The block is made for a band of at most `rows` pixel rows
// and reused band after band: Start clears what the last band drew. Sample
// and pixel coordinates are the picture's; the rasteriser writes only inside
// the band. The pixels that hold any drawn sample lie within drawn_box().
class ShadedSamples {
public:
    static constexpr int32_t kSide = 2;  // samples a pixel along x and along y (Pixel reads 2 × 2)
    static constexpr uint32_t kBytesPerPixel = 4 * 8;  // depth and colour for each of 4 samples

    struct Sample {
        float depth;
        uint32_t colour;
    };
    static constexpr uint32_t kDrawn = 0x01000000;

    ShadedSamples() = default;
    ShadedSamples(const ShadedSamples&) = delete;
    ShadedSamples& operator=(const ShadedSamples&) = delete;
    ~ShadedSamples();

    // A block for bands of up to `rows` rows of `width` pixels, nothing
    // drawn, its band the first `rows` rows. -4 when a side is not positive
    // or above kMaxSide, or the block cannot be had. The edge functions of
    // the rasteriser are exact 64-bit products of fixed-point sample
    // coordinates (32 a pixel): sides up to 2^24 keep them below 2^62.
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

    // Sample (sx, sy) of the picture; sy within the band.
    Sample& At(int32_t sx, int32_t sy) {
        return samples_[static_cast<uint64_t>(static_cast<uint32_t>(sy - band_top_)) *
                            static_cast<uint32_t>(kSide * width_) +
                        static_cast<uint32_t>(sx)];
    }
    const Sample& At(int32_t sx, int32_t sy) const { return const_cast<ShadedSamples*>(this)->At(sx, sy); }

    // Pixel (x, y) of the band: how many of its samples are drawn (0 to 4)
    // and the sums of their red, green and blue.
    struct PixelSum {
        uint32_t drawn;
        uint32_t red, green, blue;
    };
    PixelSum Pixel(int32_t x, int32_t y) const {
        const Sample* top = &At(kSide * x, kSide * y);
        const Sample* bottom = top + static_cast<uint32_t>(kSide * width_);
        const uint32_t c[4] = {top[0].colour, top[1].colour, bottom[0].colour, bottom[1].colour};
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
    Sample* samples_ = nullptr;
    int32_t width_ = 0;
    int32_t rows_ = 0;  // the most pixel rows a band has
    int32_t band_top_ = 0;
    int32_t band_bottom_ = 0;
    Box drawn_ = {INT32_MAX, -1, INT32_MAX, -1};  // in samples
};

// Called with each band once it is drawn, to take its pixels into the
// picture: from any drawing thread, never for the same rows twice, so a
// resolver writes only the band's rows.
using ResolveBand = void (*)(void* context, const ShadedSamples& band);

// Draws `model` (any of the four forms, read with ModelParts::kWithSurfaces)
// into a width × height picture, band of rows by band of rows on
// DrawingThreads() threads, each band handed to `resolve` as soon as it is
// drawn: fitted into the picture less `margin` pixels on every side, turned
// by `turn`. The bands are the same bytes for any thread count.
// status::kOk; status::kNoMemory when a side is not positive or above
// ShadedSamples::kMaxSide, or memory cannot be had; the model's
// polygon_status (status::kCorrupt) for a bad record. Every failure is found
// before any band is resolved.
Status DrawShaded(const ObjectModel& model, int32_t width, int32_t height, int32_t margin, const ModelTurn& turn,
                  ResolveBand resolve, void* context);

// The pixel rows of a band, process-wide: from 1 up, or 0 (the default) for
// a band block of a few hundred kilobytes. The pictures are the same for
// any; tests draw with other rows than the default to show it.
void SetShadedBandRows(int32_t rows);

// The same for any callable resolve(band).
template <typename Resolve>
Status DrawShaded(const ObjectModel& model, int32_t width, int32_t height, int32_t margin, const ModelTurn& turn,
                  Resolve& resolve) {
    return DrawShaded(
        model, width, height, margin, turn,
        [](void* context, const ShadedSamples& band) { (*static_cast<Resolve*>(context))(band); }, &resolve);
}

// The cosine of an angle in radians, from its series (the same on every
// build): 1 at 0, -1 from pi up, NaN for NaN.
double SeriesCosine(double radians);

}  // namespace qavren
