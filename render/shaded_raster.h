// The rasteriser of the shaded style: corners in fixed point, the fit that
// places them among the picture's samples, and triangles, lines and dots
// drawn with a depth test into one band of a ShadedSamples block. Nothing
// here knows the object, the light or the threads.
#pragma once

#include <cmath>
#include <cstdint>

#include "render/projection.h"
#include "render/shaded_samples.h"

namespace qavren::shaded_detail {

// Divisions by these powers of two are arithmetic shifts, which round
// toward minus infinity (as C++20 defines >> for negative values): floor
// division without a divide. Other divisors go through
// surface_detail::FloorDiv.
constexpr int32_t kSubBits = 4;
constexpr int64_t kOne = int64_t{1} << kSubBits;  // one sample in fixed point
constexpr int64_t kHalf = kOne / 2;               // a sample's centre
static_assert(ShadedSamples::kSide == 2, "a pixel's first sample is its sample number with the low bit cleared");

// 0xRRGGBB.
inline uint32_t Packed(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

// A colour channel rounded to nearest and clamped to 0 .. 255.
inline uint32_t Channel(double v) {
    if (!(v > 0.0)) return 0;  // NaN too
    if (v >= 254.5) return 255;
    return static_cast<uint32_t>(v + 0.5);
}

// Corners lie within a pixel of a picture of at most 2^24 pixels a side:
// their fixed-point coordinates fit 32 bits, their products are taken in 64.
struct Vertex {
    int32_t x, y;  // fixed point, in samples
    float z;
};

// Where the picture's samples lie: the fit's margin, and the picture's
// sample columns and rows.
class Fit {
public:
    Fit(int32_t width, int32_t height, int32_t margin)
        : offset_(margin), columns_(ShadedSamples::kSide * width), rows_(ShadedSamples::kSide * height) {}

    int32_t columns() const { return columns_; }
    int32_t rows() const { return rows_; }

    // The point in samples; false when it lies off the picture by more than
    // a pixel (or is not a number).
    bool InSamples(const ProjectedPoint& p, double* sx, double* sy) const {
        *sx = (double{p.x} + offset_) * ShadedSamples::kSide;
        *sy = (double{p.y} + offset_) * ShadedSamples::kSide;
        const double w = columns_ + ShadedSamples::kSide, h = rows_ + ShadedSamples::kSide;
        return *sx >= -ShadedSamples::kSide && *sx <= w && *sy >= -ShadedSamples::kSide && *sy <= h;
    }

    bool ToVertex(const ProjectedPoint& p, Vertex* v) const {
        double sx, sy;
        if (!InSamples(p, &sx, &sy)) return false;
        *v = {static_cast<int32_t>(std::floor(sx * kOne + 0.5)), static_cast<int32_t>(std::floor(sy * kOne + 0.5)),
              p.z};
        return true;
    }

private:
    double offset_;
    int32_t columns_;
    int32_t rows_;
};

// The samples a triangle may take within columns 0 .. columns - 1 and rows
// top .. bottom - 1: false when none, or when it has no area.
bool TriangleBounds(const Vertex& a, const Vertex& b, const Vertex& c, int32_t columns, int32_t top, int32_t bottom,
                    int64_t* i0, int64_t* i1, int64_t* j0, int64_t* j1);

// The first sample of the pixel that sample i belongs to: floor(i / 2) * 2.
inline int64_t PixelStart64(int64_t i) { return i >> 1 << 1; }
inline int32_t PixelStart(int32_t i) { return static_cast<int32_t>(PixelStart64(i)); }

// Draws into the band a ShadedSamples block holds now: a sample keeps what
// is nearer than what it holds (ties keep the first), NaN depths never.
// What a shape leaves in its samples is its `value` (never zero): a colour
// or a shape's number (ShadedSamples::Sample).
class Rasteriser {
public:
    Rasteriser(ShadedSamples* samples, const Fit& fit)
        : samples_(samples),
          fit_(fit),
          columns_(fit.columns()),
          top_(samples->band_top()),
          bottom_(samples->band_bottom()) {}

    // Depth interpolated across the triangle from its corners.
    void Triangle(const Vertex& a, Vertex b, Vertex c, uint32_t value);

    // A line one pixel wide, from a to b both included: stepped a sample at
    // a time along its longer axis, and across it both samples of the pixel
    // it passes through, so that it shows whole.
    void Line(const ProjectedPoint& a, const ProjectedPoint& b, uint32_t value);

    // A square of two by two whole pixels: the one the point lies in and
    // those to its upper left.
    void Dot(const ProjectedPoint& p, uint32_t value);

private:
    void Put(int32_t i, int32_t j, float depth, uint32_t value) {
        if (i < 0 || i >= columns_ || j < top_ || j >= bottom_) return;
        samples_->Reach(i, i, j, j);
        ShadedSamples::Sample& s = samples_->At(i, j);
        if (s.value ? !(depth < s.depth) : depth != depth) return;
        s.depth = depth;
        s.value = value;
    }

    ShadedSamples* samples_;
    const Fit& fit_;
    int32_t columns_;
    int32_t top_;
    int32_t bottom_;
};

}  // namespace qavren::shaded_detail
