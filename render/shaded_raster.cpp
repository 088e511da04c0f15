// The shaded style's rasteriser. What it uses, and why each step is exact:
//
// Corners are fixed point, kOne = 16 units a sample, and sample centres lie
// at kHalf; the picture's sides (at most 2^24 pixels) keep every coordinate
// within 32 bits and every product below within 64.
//
// Edge functions. E(from, to; p) = (to.x - from.x)(p.y - from.y)
// - (to.y - from.y)(p.x - from.x) is twice the signed area of the triangle
// from, to, p, an exact integer. The corners are ordered so that
// A = E(a, b; c) > 0, and edge k is the one opposite corner k (b -> c,
// c -> a, a -> b). E_k is affine in p, zero along its edge and A at corner
// k, so E_k(p) / A is corner k's barycentric weight: the three sum to 1,
// and a value v given at the corners is, at p,
//   v(p) = v_a + (E_1(p) (v_b - v_a) + E_2(p) (v_c - v_a)) / A,
// which is how depth is interpolated (and, in render/sample_shading.cpp,
// what a visible sample is shaded with).
//
// Inside and the top-left rule. A sample is inside when every E_k is at
// least bias_k: 0 on a top-left edge (one running down the canvas, dy > 0,
// or exactly left along it, dy = 0 and dx < 0), 1 on the others. Two
// triangles that share an edge walk it in opposite directions, so exactly
// one of them takes a sample lying on it: none is drawn twice or missed.
//
// The span solve. One sample to the right adds step_k = -dy_k kOne to E_k.
// With w_k the value at the row's first candidate i0, sample i is inside
// edge k when w_k + (i - i0) step_k >= bias_k, that is
// (i - i0) step_k >= need_k = bias_k - w_k:
//   step_k > 0:  i >= i0 + ceil(need_k / step_k)   (a bound once need_k > 0)
//   step_k < 0:  i <= i0 + floor(-need_k / -step_k)
//   step_k = 0:  every i when need_k <= 0, none otherwise,
// the floors taken exactly in integers. The row's span is the samples of
// [i0, i1] that meet all three.
//
// Along the span. Depth is evaluated at the span's first sample lo from its
// exact weights, and at lo + t as z(lo) + t dz, where dz is the same formula
// with step_1 and step_2 for E_1 and E_2: a sample's depth depends on its
// row and column alone, not on where a band starts. Depths are rounded to
// float.
//
// Corners must lie within one pixel of the picture, which the fit
// guarantees for finite coordinates; a triangle with a corner elsewhere (a
// NaN point) is left out before it reaches here.
#include "render/shaded_raster.h"

#include <algorithm>
#include <utility>

#include "render/surface_internal.h"

namespace qavren::shaded_detail {
namespace {

using surface_detail::FloorDiv;

// Positive when p lies to the inside of from -> to for a triangle whose
// corners give a positive area.
int64_t Edge(const Vertex& from, const Vertex& to, int64_t px, int64_t py) {
    return (int64_t{to.x} - from.x) * (py - from.y) - (int64_t{to.y} - from.y) * (px - from.x);
}

}  // namespace

bool TriangleBounds(const Vertex& a, const Vertex& b, const Vertex& c, int32_t columns, int32_t top, int32_t bottom,
                    int64_t* i0, int64_t* i1, int64_t* j0, int64_t* j1) {
    const int64_t min_x = std::min(a.x, std::min(b.x, c.x)), max_x = std::max(a.x, std::max(b.x, c.x));
    const int64_t min_y = std::min(a.y, std::min(b.y, c.y)), max_y = std::max(a.y, std::max(b.y, c.y));
    // The first and last sample centres i kOne + kHalf within the extent.
    *i0 = std::max<int64_t>(0, (min_x - kHalf + kOne - 1) >> kSubBits);
    *i1 = std::min<int64_t>(columns - 1, (max_x - kHalf) >> kSubBits);
    *j0 = std::max<int64_t>(top, (min_y - kHalf + kOne - 1) >> kSubBits);
    *j1 = std::min<int64_t>(bottom - 1, (max_y - kHalf) >> kSubBits);
    if (*i0 > *i1 || *j0 > *j1) return false;
    return (int64_t{b.x} - a.x) * (int64_t{c.y} - a.y) - (int64_t{b.y} - a.y) * (int64_t{c.x} - a.x) != 0;
}

void Rasteriser::Triangle(const Vertex& a, Vertex b, Vertex c, uint32_t value) {
    int64_t area = Edge(a, b, c.x, c.y);
    if (area == 0) return;
    if (area < 0) {
        std::swap(b, c);
        area = -area;
    }
    int64_t i0, i1, j0, j1;
    if (!TriangleBounds(a, b, c, columns_, top_, bottom_, &i0, &i1, &j0, &j1)) return;
    samples_->Reach(static_cast<int32_t>(i0), static_cast<int32_t>(i1), static_cast<int32_t>(j0),
                    static_cast<int32_t>(j1));

    // Edge k is opposite corner k; its function weighs that corner.
    const Vertex* from[3] = {&b, &c, &a};
    const Vertex* to[3] = {&c, &a, &b};
    int64_t step[3], bias[3];
    for (int k = 0; k < 3; ++k) {
        const int64_t dx = int64_t{to[k]->x} - from[k]->x, dy = int64_t{to[k]->y} - from[k]->y;
        step[k] = -dy * kOne;
        bias[k] = dy > 0 || (dy == 0 && dx < 0) ? 0 : 1;  // ties count on top-left edges only
    }
    const double inverse = 1.0 / static_cast<double>(area);
    const double dz1 = double{b.z} - a.z, dz2 = double{c.z} - a.z;

    for (int64_t j = j0; j <= j1; ++j) {
        const int64_t py = j * kOne + kHalf, px = i0 * kOne + kHalf;
        // The row's span: the samples where every edge function, stepping
        // by step[k] a sample from its value at i0, reaches its bias.
        int64_t w[3], lo = i0, hi = i1;
        for (int k = 0; k < 3; ++k) {
            w[k] = Edge(*from[k], *to[k], px, py);
            const int64_t need = bias[k] - w[k];  // (i - i0) * step[k] >= need
            if (step[k] == 0) {
                if (need > 0) hi = lo - 1;
            } else if (step[k] > 0) {
                if (need > 0) lo = std::max(lo, i0 + FloorDiv(need + step[k] - 1, step[k]));
            } else {
                hi = std::min(hi, i0 + FloorDiv(-need, -step[k]));
            }
        }
        if (lo > hi) continue;
        // Depth is linear along the row: taken exactly at the span's first
        // sample, then stepped, so a row's depths depend on the row alone.
        const double b1 = static_cast<double>(w[1] + (lo - i0) * step[1]);
        const double b2 = static_cast<double>(w[2] + (lo - i0) * step[2]);
        const double depth0 = a.z + (b1 * dz1 + b2 * dz2) * inverse;
        const double depth_step = (static_cast<double>(step[1]) * dz1 + static_cast<double>(step[2]) * dz2) * inverse;
        ShadedSamples::Sample* row = &samples_->At(static_cast<int32_t>(lo), static_cast<int32_t>(j));
        for (int64_t i = lo; i <= hi; ++i, ++row) {
            const auto depth = static_cast<float>(depth0 + static_cast<double>(i - lo) * depth_step);
            if (row->value ? !(depth < row->depth) : depth != depth) continue;  // nearer wins; NaN never
            row->depth = depth;
            row->value = value;
        }
    }
}

void Rasteriser::Line(const ProjectedPoint& a, const ProjectedPoint& b, uint32_t value) {
    double ax, ay, bx, by;
    if (!fit_.InSamples(a, &ax, &ay) || !fit_.InSamples(b, &bx, &by)) return;
    const double dx = bx - ax, dy = by - ay, dz = double{b.z} - a.z;
    const bool x_major = std::fabs(dx) >= std::fabs(dy);
    const auto steps = static_cast<int64_t>(std::ceil(x_major ? std::fabs(dx) : std::fabs(dy)));
    // Only the steps whose rows can fall in the band (y moves steadily
    // with t), with three samples and a step to spare for rounding.
    int64_t first = 0, last = steps;
    if (dy != 0.0 && steps > 0) {
        const double f0 = (top_ - 3 - ay) / dy, f1 = (bottom_ + 3 - ay) / dy;
        const double low = std::floor(std::min(f0, f1) * static_cast<double>(steps)) - 1.0;
        const double high = std::ceil(std::max(f0, f1) * static_cast<double>(steps)) + 1.0;
        if (low > static_cast<double>(first)) first = low < static_cast<double>(steps) ? static_cast<int64_t>(low) : steps + 1;
        if (high < static_cast<double>(last)) last = high > 0.0 ? static_cast<int64_t>(high) : -1;
    }
    for (int64_t t = first; t <= last; ++t) {
        const double f = steps ? static_cast<double>(t) / static_cast<double>(steps) : 0.0;
        const auto depth = static_cast<float>(a.z + dz * f);
        const auto ix = static_cast<int32_t>(std::floor(ax + dx * f));
        const auto iy = static_cast<int32_t>(std::floor(ay + dy * f));
        if (x_major) {
            const int32_t row = PixelStart(iy);
            Put(ix, row, depth, value);
            Put(ix, row + 1, depth, value);
        } else {
            const int32_t column = PixelStart(ix);
            Put(column, iy, depth, value);
            Put(column + 1, iy, depth, value);
        }
    }
}

void Rasteriser::Dot(const ProjectedPoint& p, uint32_t value) {
    double sx, sy;
    if (!fit_.InSamples(p, &sx, &sy)) return;
    const int32_t x0 = PixelStart(static_cast<int32_t>(std::floor(sx))) - ShadedSamples::kSide;
    const int32_t y0 = PixelStart(static_cast<int32_t>(std::floor(sy))) - ShadedSamples::kSide;
    for (int32_t j = y0; j < y0 + 2 * ShadedSamples::kSide; ++j) {
        for (int32_t i = x0; i < x0 + 2 * ShadedSamples::kSide; ++i) Put(i, j, p.z, value);
    }
}

}  // namespace qavren::shaded_detail
