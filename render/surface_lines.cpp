// Surface's lines: exactly clipped to the canvas (or to a range of its
// rows) in closed form, then walked by pointer, or pixel by pixel into the
// coverage when drawing nearest first.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

#include "render/coverage.h"
#include "render/surface.h"
#include "render/surface_internal.h"

namespace qavren {
namespace {

using surface_detail::CeilDiv;
using surface_detail::Clamped;
using surface_detail::FloorDiv;

// An inclusive range of line steps; empty when first > last.
struct Steps {
    int64_t first;
    int64_t last;
    void Intersect(Steps o) {
        first = std::max(first, o.first);
        last = std::min(last, o.last);
    }
};

// Steps k whose major coordinate u0 + s*k lies in [0, size), s = ±1.
Steps MajorSteps(int64_t u0, int64_t s, int64_t size) {
    return s > 0 ? Steps{-u0, size - 1 - u0} : Steps{u0 - (size - 1), u0};
}

// Steps k whose minor coordinate v0 + ceil((2k*dv - n) / 2n) lies in
// [0, size). Solving the two ceiling inequalities for k gives
// 2k*dv > n*(2*(0 - v0) - 1) and 2k*dv <= n*(2*(size - 1 - v0) + 1);
// both bounds stay below 2^62 for clamped coordinates and int32 sizes.
Steps MinorSteps(int64_t v0, int64_t dv, int64_t n, int64_t size) {
    if (dv == 0) return (v0 >= 0 && v0 < size) ? Steps{0, n - 1} : Steps{1, 0};
    const int64_t above = n * (-2 * v0 - 1);
    const int64_t upTo = n * (2 * (size - 1 - v0) + 1);
    if (dv > 0) return {FloorDiv(above, 2 * dv) + 1, FloorDiv(upTo, 2 * dv)};
    return {CeilDiv(-upTo, -2 * dv), CeilDiv(-above, -2 * dv) - 1};
}

// Between two canvas points: nothing to clip, all of it in 32 bits.
LineWalk WholeLine(Point from, Point to) {
    const int32_t dx = to.x - from.x, dy = to.y - from.y;
    const bool x_major = std::abs(dx) >= std::abs(dy);
    const int32_t du = x_major ? dx : dy, dv = x_major ? dy : dx, n = std::abs(du);
    return {x_major, du > 0 ? 1 : -1, x_major ? from.x : from.y, x_major ? from.y : from.x, n, n, 2 * n, 2 * dv};
}

// Any other line: its steps cut to columns 0 .. width - 1 and rows top ..
// bottom in closed form; count 0 when none is left. Shifted by -top, the
// coordinates stay within ±2^29 and the bounds of MinorSteps below 2^61.
LineWalk ClippedLine(Point from, Point to, int32_t width, int32_t top, int32_t bottom) {
    from.y -= top;
    to.y -= top;
    const int64_t dx = int64_t{to.x} - from.x, dy = int64_t{to.y} - from.y;
    const bool x_major = std::max(dx, -dx) >= std::max(dy, -dy);
    const int64_t u0 = x_major ? from.x : from.y, v0 = x_major ? from.y : from.x;
    const int64_t du = x_major ? dx : dy, dv = x_major ? dy : dx;
    const int64_t n = std::max(du, -du), s = du > 0 ? 1 : -1, two_n = 2 * n;
    const int64_t rows = int64_t{bottom} - top + 1;
    Steps steps{0, n - 1};
    steps.Intersect(MajorSteps(u0, s, x_major ? width : rows));
    steps.Intersect(MinorSteps(v0, dv, n, x_major ? rows : width));
    if (steps.first > steps.last) return {};
    const int64_t t = 2 * steps.first * dv - n, q = CeilDiv(t, two_n);
    const int64_t u = u0 + s * steps.first, v = v0 + q;
    return {x_major,
            static_cast<int32_t>(s),
            static_cast<int32_t>(x_major ? u : u + top),
            static_cast<int32_t>(x_major ? v + top : v),
            static_cast<int32_t>(steps.last - steps.first + 1),
            static_cast<int32_t>(q * two_n - t),
            static_cast<int32_t>(two_n),
            static_cast<int32_t>(2 * dv)};
}

}  // namespace

void Surface::MoveTo(int32_t x, int32_t y) { position_ = Clamped({x, y}); }

void Surface::LineTo(int32_t x, int32_t y) {
    const Point to = Clamped({x, y});
    Line(position_, to, pen_.colour, top_, bottom_);
    position_ = to;
}

// Steps k = 0 .. n-1 along the major axis (the longer one; x on a tie of
// |dx| = |dy|) from `from`; the minor coordinate at step k is the exact one
// rounded to the nearest integer, a half rounding toward the smaller
// coordinate: v0 + ceil(k*dv/n - 1/2). The rounding depends only on where
// the true line lies, so a line and its reverse share every pixel but their
// first. Clipping picks the steps on rows top .. bottom in closed form, so
// the loop runs at most max(width, height) times however far off the end
// points lie.
void Surface::Line(Point from, Point to, Colour c, int32_t top, int32_t bottom) {
    if (from.x == to.x && from.y == to.y) return;
    const auto inside = [&](Point p) { return p.x >= 0 && p.y >= top && p.x < width_ && p.y <= bottom; };
    // A line between points inside stays inside, and its numbers fit 32 bits.
    const LineWalk w = inside(from) && inside(to) ? WholeLine(from, to) : ClippedLine(from, to, width_, top, bottom);
    if (w.count == 0) return;
    if (w.two_dv == 0 && w.x_major) {  // a row: one run of pixels
        FillSpan(w.v, w.s > 0 ? w.u : w.u - w.count + 1, w.s > 0 ? w.u + w.count - 1 : w.u, c);
        return;
    }
    if (coverage_) {
        CoveredLine(w, c);
        return;
    }
    // The steps walked by pointer: one pixel along the major axis each, and
    // one along the minor axis whenever the error term leaves [0, 2n).
    // Rows lie bottom-up in memory, so going down the canvas goes back.
    const ptrdiff_t row = static_cast<ptrdiff_t>(stride_);
    const ptrdiff_t major = w.x_major ? 3 * w.s : -row * w.s, minor = w.x_major ? -row : 3;
    uint8_t* p = w.x_major ? Row(w.v) + 3 * w.u : Row(w.u) + 3 * w.v;
    const auto blue = static_cast<uint8_t>(c >> 16), green = static_cast<uint8_t>(c >> 8),
               red = static_cast<uint8_t>(c);
    int32_t error = w.error;
    for (int32_t k = w.count;;) {
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        if (--k == 0) break;
        p += major;
        error -= w.two_dv;
        if (error < 0) {
            p += minor;
            error += w.two_n;
        } else if (error >= w.two_n) {
            p -= minor;
            error -= w.two_n;
        }
    }
}

// The same steps in canvas coordinates, each pixel written only when the
// coverage did not hold it yet.
void Surface::CoveredLine(const LineWalk& w, Colour c) {
    const Coverage::Masks masks = coverage_->masks();
    const auto walk = [&, s = w.s, two_n = w.two_n, two_dv = w.two_dv](auto x_major) {
        int32_t u = w.u, v = w.v, error = w.error;
        for (int32_t k = w.count;;) {
            const int32_t x = x_major ? u : v, y = x_major ? v : u;
            if (!masks.Written(x, y) && coverage_->ClaimPixel(x, y)) Plot(x, y, c);
            if (--k == 0) break;
            u += s;
            error -= two_dv;
            if (error < 0) {
                ++v;
                error += two_n;
            } else if (error >= two_n) {
                --v;
                error -= two_n;
            }
        }
    };
    if (w.x_major) {
        walk(std::true_type{});
    } else {
        walk(std::false_type{});
    }
}

}  // namespace qavren
