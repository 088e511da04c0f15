// Software rasteriser behind Surface: fills, exactly clipped lines and
// triangle spans, written straight into a bottom-up 24-bit pixel block.
// Integer arithmetic only, so every platform produces the same bytes. This
// file holds the whole-canvas fill, single pixels, spans and the triangle's
// order of fill and outline; the lines, the triangle fill and the
// nearest-first triangle each have a file of their own.
#include "render/surface.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "render/coverage.h"
#include "render/surface_internal.h"

namespace qavren {

using surface_detail::Clamped;
using surface_detail::PixelPattern;

Surface::Surface(uint8_t* bits, int32_t width, int32_t height, uint32_t stride)
    : bits_(bits), width_(width), height_(height), stride_(stride), top_(0), bottom_(height - 1) {}

void Surface::Fill(Colour colour) {
    if (coverage_) {  // the pixels nothing has written, and every row's padding
        const PixelPattern pattern(colour);
        for (int32_t y = top_; y <= bottom_; ++y) {
            uint8_t* const row = Row(y);
            std::memset(row + 3 * static_cast<uint64_t>(width_), 0, stride_ - 3 * static_cast<uint64_t>(width_));
            coverage_->ClaimSpan(y, 0, width_ - 1, [&](int32_t x, int32_t count) { pattern.Write(row + 3 * x, count); });
        }
        return;
    }
    // Paint one row, padding zeroed, then copy it: hosts compare whole blocks.
    uint8_t* const first = Row(bottom_);
    std::memset(first, 0, stride_);
    FillSpan(bottom_, 0, width_ - 1, colour);
    for (int32_t y = top_; y < bottom_; ++y) std::memcpy(Row(y), first, stride_);
}

// Like a polygon, the triangle neither uses nor moves the current position.
// Neither its fill nor its outline leaves the rows between its corners, so
// one wholly above or below this surface's rows draws nothing.
void Surface::Triangle(Point a, Point b, Point c) {
    const Point corner[3] = {Clamped(a), Clamped(b), Clamped(c)};
    if (std::max({corner[0].y, corner[1].y, corner[2].y}) < top_ ||
        std::min({corner[0].y, corner[1].y, corner[2].y}) > bottom_) {
        return;
    }
    if (coverage_) {
        CoveredTriangle(corner);
        return;
    }
    FillTriangle(corner[0], corner[1], corner[2], brush_.colour, top_, bottom_);
    OutlineTriangle(corner, top_, bottom_);
}

void Surface::OutlineTriangle(const Point (&corner)[3], int32_t top, int32_t bottom) {
    Line(corner[0], corner[1], pen_.colour, top, bottom);
    Line(corner[1], corner[2], pen_.colour, top, bottom);
    Line(corner[2], corner[0], pen_.colour, top, bottom);
}

Colour Surface::PixelAt(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;  // off the canvas
    const uint8_t* p = Row(y) + 3 * x;
    return Rgb(p[2], p[1], p[0]);
}

void Surface::Plot(int32_t x, int32_t y, Colour c) {
    uint8_t* p = Row(y) + 3 * x;
    p[0] = static_cast<uint8_t>(c >> 16);
    p[1] = static_cast<uint8_t>(c >> 8);
    p[2] = static_cast<uint8_t>(c);
}

void Surface::FillSpan(int32_t y, int32_t x0, int32_t x1, Colour c) {
    uint8_t* const row = Row(y);
    const auto write = [&](int32_t x, int32_t count) {
        uint8_t* p = row + 3 * x;
        if (count >= 4) {
            PixelPattern(c).Write(p, count);
            return;
        }
        for (int32_t k = 0; k < count; ++k, p += 3) {  // too short to pay for the pattern
            p[0] = static_cast<uint8_t>(c >> 16);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c);
        }
    };
    if (coverage_) {
        coverage_->ClaimSpan(y, x0, x1, write);
    } else {
        write(x0, x1 - x0 + 1);
    }
}

}  // namespace qavren
