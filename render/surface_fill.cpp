// Surface's triangle fill: the top-left rule evaluated exactly in integers,
// the edges stepped from row to row, tiny triangles tested pixel by pixel,
// and the spans written in runs, straight or into the coverage.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

#include "render/coverage.h"
#include "render/surface.h"
#include "render/surface_internal.h"

namespace qavren {
namespace {

using surface_detail::FloorDiv;
using surface_detail::PixelPattern;

// floor(n / d) for d > 0 in either width (built-in division truncates).
template <typename Int>
Int FloorDivide(Int n, Int d) {
    if constexpr (sizeof(Int) == sizeof(int64_t)) {
        return FloorDiv(n, d);
    } else {
        return n / d - (n % d < 0 ? 1 : 0);
    }
}

// floor((n0 + k*step) / d) for k = 0, 1, 2, ... and d > 0, carried from one
// k to the next by additions: quotient and remainder, as long division would.
template <typename Int>
class FloorStepper {
public:
    FloorStepper() = default;
    FloorStepper(Int n0, Int step, Int d)
        : q_(FloorDivide(n0, d)), r_(n0 - q_ * d), dq_(FloorDivide(step, d)), dr_(step - dq_ * d), d_(d) {}
    Int value() const { return q_; }
    void Next() {
        q_ += dq_;
        r_ += dr_;
        if (r_ >= d_) {
            r_ -= d_;
            ++q_;
        }
    }

private:
    Int q_ = 0, r_ = 0, dq_ = 0, dr_ = 0, d_ = 1;
};

// One edge a -> b of a triangle oriented so that its inside is where
// E = (2x+1 - 2ax)*dy - (2y+1 - 2ay)*dx is positive: twice the edge function
// at the pixel centre, so it is an exact integer. Centres lie on
// half-integers and vertices on integers, so only a sloped edge can pass
// through a centre: the top-left tie-break reduces to counting centres on
// left edges, which in this winding are the ones running down the screen.
//
// On row y the pixels with E >= least are those with
// (2x+1 - 2ax)*dy >= r, r = least + (2(y - ay) + 1)*dx. With n = dy - r
// that is x >= ax - floor(n / 2dy) on a rising edge (dy > 0),
// x <= ax + floor(n / -2dy) on a falling one, and n >= 0 (the whole row or
// none of it) on a horizontal one. n falls by 2dx a row, so each bound is
// stepped from row to row without a division. In 64 bits n stays below
// 2^61 for clamped coordinates and canvas heights below 2^29; in 32 bits,
// for coordinates within ±kNarrow, below 2^30.
template <typename Int>
struct Edge {
    Int ax;
    Int dy;
    FloorStepper<Int> bound;  // floor(n / 2|dy|), or n itself on a horizontal edge

    Edge(Point a, Point b, int32_t first_row) : ax(a.x), dy(Int{b.y} - a.y) {
        const Int dx = Int{b.x} - a.x, least = dy > 0 ? 0 : 1;
        const Int n0 = dy - least - (2 * (Int{first_row} - a.y) + 1) * dx;
        bound = FloorStepper<Int>(n0, -2 * dx, dy == 0 ? 1 : 2 * std::max<Int>(dy, -dy));
    }

    // Narrows [lo, hi] on the current row, then moves to the next row.
    void ClipAndStep(Int& lo, Int& hi) {
        const Int v = bound.value();
        if (dy > 0) {
            lo = std::max(lo, ax - v);
        } else if (dy < 0) {
            hi = std::min(hi, ax + v);
        } else if (v < 0) {
            hi = lo - 1;
        }
        bound.Next();
    }
};

// Triangles with every corner within ±kNarrow (any canvas up to 8192
// pixels a side holds them) are filled in 32-bit arithmetic, which the DLL
// does much faster than 64-bit.
constexpr int32_t kNarrow = 1 << 13;

// A triangle whose corners lie at most this many columns and rows apart is
// filled by testing the edge functions at every pixel of its box: for the
// few pixels of such a triangle that costs less than the divisions above.
constexpr int32_t kTinyBox = 8;

struct Box {
    int32_t x_lo, x_hi, y_lo, y_hi;
};

// Where a fill's pixels go: straight into the rows, or, with a coverage,
// only into those not written before. row(y) is the address of canvas row y.
template <typename RowAddress>
struct PlainTarget {
    static constexpr bool kPlain = true;
    RowAddress row;
    void Span(int32_t y, int32_t lo, int32_t hi, const PixelPattern& pattern) const {
        pattern.Write(row(y) + 3 * lo, hi - lo + 1);
    }
};

template <typename RowAddress>
struct CoveredTarget {
    static constexpr bool kPlain = false;
    RowAddress row;
    Coverage& coverage;
    void Span(int32_t y, int32_t lo, int32_t hi, const PixelPattern& pattern) const {
        uint8_t* const p = row(y);
        coverage.ClaimSpan(y, lo, hi, [&](int32_t x, int32_t count) { pattern.Write(p + 3 * x, count); });
    }
    uint32_t Claim(int32_t y, int32_t x, uint32_t bits) const { return coverage.ClaimBits(y, x, bits); }
};

// Fills the pixels of `box` with E >= least on all three edges (wound as
// for Edge). Each edge carries E - least, so that a pixel is inside when no
// edge's value is negative: when the sign bit of their OR is clear. Within
// a tiny triangle's box |E| <= 272, so 32 bits hold it; E grows by 2dy a
// column and falls by 2dx a row. With a coverage, a row's inside pixels (at
// most 8) are gathered as bits, claimed, then written.
template <typename Target>
void FillTiny(const Point (&corner)[3], const Box& box, Colour colour, const Target& target) {
    int32_t row_e[3], step_x[3], step_y[3];
    const int32_t x0 = box.x_lo, y0 = box.y_lo, columns = box.x_hi - box.x_lo + 1;
    for (int k = 0; k < 3; ++k) {
        const Point a = corner[k], b = corner[(k + 1) % 3];
        const int32_t dx = b.x - a.x, dy = b.y - a.y;
        row_e[k] = (2 * (x0 - a.x) + 1) * dy - (2 * (y0 - a.y) + 1) * dx - (dy > 0 ? 0 : 1);
        step_x[k] = 2 * dy;
        step_y[k] = -2 * dx;
    }
    const auto blue = static_cast<uint8_t>(colour >> 16), green = static_cast<uint8_t>(colour >> 8),
               red = static_cast<uint8_t>(colour);
    for (int32_t y = box.y_lo; y <= box.y_hi; ++y) {
        int32_t e0 = row_e[0], e1 = row_e[1], e2 = row_e[2];
        if constexpr (Target::kPlain) {  // written as found: cheaper than gathering bits
            uint8_t* p = target.row(y) + 3 * x0;
            for (uint8_t* const end = p + 3 * columns; p < end; p += 3) {
                if ((e0 | e1 | e2) >= 0) {
                    p[0] = blue;
                    p[1] = green;
                    p[2] = red;
                }
                e0 += step_x[0];
                e1 += step_x[1];
                e2 += step_x[2];
            }
        } else {
            uint32_t inside = 0;
            for (int32_t i = 0; i < columns; ++i) {
                inside |= static_cast<uint32_t>((e0 | e1 | e2) >= 0) << i;
                e0 += step_x[0];
                e1 += step_x[1];
                e2 += step_x[2];
            }
            uint8_t* const p = target.row(y) + 3 * x0;
            for (uint32_t bits = inside ? target.Claim(y, x0, inside) : 0; bits != 0; bits &= bits - 1) {
                uint8_t* const q = p + 3 * std::countr_zero(bits);
                q[0] = blue;
                q[1] = green;
                q[2] = red;
            }
        }
        for (int k = 0; k < 3; ++k) row_e[k] += step_y[k];
    }
}

// Fills the triangle's pixels row by row within `box`, in Int arithmetic.
template <typename Int, typename Target>
void FillRows(const Point (&corner)[3], const Box& box, Colour colour, const Target& target) {
    Edge<Int> edges[3] = {Edge<Int>(corner[0], corner[1], box.y_lo), Edge<Int>(corner[1], corner[2], box.y_lo),
                          Edge<Int>(corner[2], corner[0], box.y_lo)};
    const PixelPattern pattern(colour);
    for (int32_t y = box.y_lo; y <= box.y_hi; ++y) {
        Int lo = box.x_lo, hi = box.x_hi;
        for (Edge<Int>& edge : edges) edge.ClipAndStep(lo, hi);
        if (lo <= hi) target.Span(y, static_cast<int32_t>(lo), static_cast<int32_t>(hi), pattern);
    }
}

template <typename Target>
void FillBox(const Point (&corners)[3], const Box& box, Colour colour, bool tiny, bool narrow, const Target& target) {
    if (tiny) {
        FillTiny(corners, box, colour, target);
    } else if (narrow) {
        FillRows<int32_t>(corners, box, colour, target);
    } else {
        FillRows<int64_t>(corners, box, colour, target);
    }
}

}  // namespace

// Fill rule: pixel (x, y) is filled when its centre (x+0.5, y+0.5) lies
// strictly inside the triangle, or exactly on a left edge or a horizontal top
// edge (the top-left rule), so triangles that share an edge fill each pixel
// along it exactly once; a triangle of zero area fills nothing. Only rows
// top .. bottom are filled.
void Surface::FillTriangle(Point a, Point b, Point c, Colour colour, int32_t top, int32_t bottom) {
    // Only rows and columns whose centres fall within the bounding box can
    // be filled; cutting that box to the canvas leaves no off-canvas work.
    const int32_t min_x = std::min({a.x, b.x, c.x}), max_x = std::max({a.x, b.x, c.x});
    const int32_t min_y = std::min({a.y, b.y, c.y}), max_y = std::max({a.y, b.y, c.y});
    const Box box{std::max(0, min_x), std::min(width_ - 1, max_x - 1), std::max({0, top, min_y}),
                  std::min({height_ - 1, bottom, max_y - 1})};
    if (box.x_lo > box.x_hi || box.y_lo > box.y_hi) return;

    const bool tiny = max_x - min_x <= kTinyBox && max_y - min_y <= kTinyBox;
    const bool narrow = std::max({-min_x, max_x, -min_y, max_y}) <= kNarrow;
    const int64_t cross = tiny || narrow ? (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)
                                         : (int64_t{b.x} - a.x) * (int64_t{c.y} - a.y) - (int64_t{b.y} - a.y) * (int64_t{c.x} - a.x);
    if (cross == 0) return;
    if (cross > 0) std::swap(b, c);  // the edge functions below want this winding
    const Point corners[3] = {a, b, c};
    const auto row = [this](int32_t y) { return Row(y); };
    if (coverage_) {
        FillBox(corners, box, colour, tiny, narrow, CoveredTarget<decltype(row)>{row, *coverage_});
    } else {
        FillBox(corners, box, colour, tiny, narrow, PlainTarget<decltype(row)>{row});
    }
}

}  // namespace qavren
