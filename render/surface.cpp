// Software rasteriser behind Surface: fills, exactly clipped lines and
// triangle spans, written straight into a bottom-up 24-bit pixel block.
// Integer arithmetic only, so every platform produces the same bytes.
#include "render/surface.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

#include "render/coverage.h"

namespace qavren {

// The on-canvas pixels of a line as Surface::Line walks them: the first one
// (major coordinate u, minor v), how many, and the error term e = q*2n - t
// of the minor offset q = ceil(t / 2n), t = 2k*dv - n, kept in [0, 2n) as t
// grows by 2dv a step. With |dv| <= n <= 2^29, e - 2dv and e + 2n stay
// within 32 bits.
struct LineWalk {
    bool x_major;
    int32_t s;  // +1 or -1 along the major axis
    int32_t u, v;
    int32_t count;
    int32_t error, two_n, two_dv;
};

namespace {

// Floor and ceiling of n / d for d > 0 (built-in division truncates).
// Operands that fit 32 bits, as on-canvas ones do, are divided as such:
// the same quotient, without the DLL's slow 64-bit division routine.
int64_t FloorDiv(int64_t n, int64_t d) {
    if (n == static_cast<int32_t>(n) && d == static_cast<int32_t>(d)) {
        const auto n32 = static_cast<int32_t>(n), d32 = static_cast<int32_t>(d);
        return n32 / d32 - (n32 % d32 < 0 ? 1 : 0);
    }
    const int64_t q = n / d;
    return (n % d < 0) ? q - 1 : q;
}
int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }

// Callers promise coordinates within ±kCoordinateLimit; pulling stray ones
// onto the limit keeps every product below well inside int64.
static_assert(kCoordinateLimit <= (1 << 28), "the bounds below assume coordinates within ±2^28");
Point Clamped(Point p) {
    return {std::clamp(p.x, -kCoordinateLimit, kCoordinateLimit),
            std::clamp(p.y, -kCoordinateLimit, kCoordinateLimit)};
}

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

// Sixteen pixels of one colour, blue, green, red: runs of pixels are written
// 48 bytes at a time, which compilers turn into three 16-byte stores, and
// the rest of a run by one more such write that ends where the run ends.
// It overlaps the last one, but with the same bytes: 48 is a whole number
// of pixels, so both writes put each colour byte at its own place.
struct PixelPattern {
    uint8_t bytes[48];
    explicit PixelPattern(Colour c) {
        for (int k = 0; k < 48; k += 3) {
            bytes[k] = static_cast<uint8_t>(c >> 16);
            bytes[k + 1] = static_cast<uint8_t>(c >> 8);
            bytes[k + 2] = static_cast<uint8_t>(c);
        }
    }
    // `count` pixels from `p` on; shorter runs go four pixels at a time.
    void Write(uint8_t* p, int64_t count) const {
        if (count < 4) {
            for (int64_t k = 0; k < 3 * count; ++k) p[k] = bytes[k];
        } else if (count < 16) {
            WriteBy<12>(p, p + 3 * count);
        } else {
            WriteBy<48>(p, p + 3 * count);
        }
    }

private:
    template <int kBytes>
    void WriteBy(uint8_t* p, uint8_t* end) const {
        for (; p < end - kBytes; p += kBytes) std::memcpy(p, bytes, kBytes);
        std::memcpy(end - kBytes, bytes, kBytes);
    }
};

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

// The columns in which a triangle, filled or outlined, may have pixels on
// rows top .. bottom: its extent between the lines y = top - 1 and
// y = bottom + 1, widened by a pixel each way. A filled pixel's centre lies
// in the triangle within half a pixel of its row, and a line's pixel within
// half a pixel of the edge it rounds, so the margins hold both; in double
// the crossings are off by far less than the pixel of slack.
class Strip {
public:
    explicit Strip(const Point (&corner)[3]) {
        for (int k = 0; k < 3; ++k) {
            Point a = corner[k], b = corner[(k + 1) % 3];
            if (a.y > b.y) std::swap(a, b);
            const double ax = a.x, bx = b.x;
            edge_[k] = {a.y, b.y, ax, a.y == b.y ? bx : ax, a.y == b.y ? 0.0 : (bx - ax) / (static_cast<double>(b.y) - a.y)};
        }
    }
    // Empty (lo > hi) when the triangle has no pixel there. Each edge adds
    // its ends within the strip: its corners, or where it crosses the strip.
    // Truncation is within a pixel of the floor or ceiling, hence the two.
    void Columns(int32_t top, int32_t bottom, int32_t* lo, int32_t* hi) const {
        double least = kCoordinateLimit + 4.0, most = -kCoordinateLimit - 4.0;
        for (const EdgeSpan& e : edge_) {
            const int32_t from = std::max(top - 1, e.y0), to = std::min(bottom + 1, e.y1);
            if (from > to) continue;
            const double x_from = e.x0 + (from - e.y0) * e.slope;
            const double x_to = e.y0 == e.y1 ? e.x_level : e.x0 + (to - e.y0) * e.slope;
            least = std::min(least, std::min(x_from, x_to));
            most = std::max(most, std::max(x_from, x_to));
        }
        *lo = static_cast<int32_t>(least) - 2;
        *hi = static_cast<int32_t>(most) + 2;
    }

    // The same for edge k alone, whose line's pixels lie within half a
    // pixel of it; and the rows first .. last of top .. bottom it can reach.
    void EdgeColumns(int k, int32_t top, int32_t bottom, int32_t* lo, int32_t* hi, int32_t* first, int32_t* last) const {
        const EdgeSpan& e = edge_[k];
        *first = std::max(top, e.y0);
        *last = std::min(bottom, e.y1);
        const int32_t from = std::max(top - 1, e.y0), to = std::min(bottom + 1, e.y1);
        if (*first > *last) return;  // then from > to too, and the edge is not there
        const double x_from = e.x0 + (from - e.y0) * e.slope;
        const double x_to = e.y0 == e.y1 ? e.x_level : e.x0 + (to - e.y0) * e.slope;
        *lo = static_cast<int32_t>(std::min(x_from, x_to)) - 2;
        *hi = static_cast<int32_t>(std::max(x_from, x_to)) + 2;
    }

private:
    struct EdgeSpan {
        int32_t y0, y1;  // y0 <= y1
        double x0;       // at y0
        double x_level;  // the other end of a level edge
        double slope;    // dx / dy, 0 when level
    };
    EdgeSpan edge_[3];
};

}  // namespace

Surface::Surface(uint8_t* bits, int32_t width, int32_t height, uint32_t stride)
    : bits_(bits), width_(width), height_(height), stride_(stride) {}

void Surface::Fill(Colour colour) {
    if (coverage_) {  // the pixels nothing has written, and every row's padding
        const PixelPattern pattern(colour);
        for (int32_t y = 0; y < height_; ++y) {
            uint8_t* const row = Row(y);
            std::memset(row + 3 * static_cast<uint64_t>(width_), 0, stride_ - 3 * static_cast<uint64_t>(width_));
            coverage_->ClaimSpan(y, 0, width_ - 1, [&](int32_t x, int32_t count) { pattern.Write(row + 3 * x, count); });
        }
        return;
    }
    // Paint one row, padding zeroed, then copy it: hosts compare whole blocks.
    uint8_t* first = bits_;
    std::memset(first, 0, stride_);
    FillSpan(height_ - 1, 0, width_ - 1, colour);
    for (int32_t i = 1; i < height_; ++i) std::memcpy(first + static_cast<uint64_t>(i) * stride_, first, stride_);
}

void Surface::MoveTo(int32_t x, int32_t y) { position_ = Clamped({x, y}); }

void Surface::LineTo(int32_t x, int32_t y) {
    const Point to = Clamped({x, y});
    Line(position_, to, pen_.colour, 0, height_ - 1);
    position_ = to;
}

// Like a polygon, the triangle neither uses nor moves the current position.
void Surface::Triangle(Point a, Point b, Point c) {
    const Point corner[3] = {Clamped(a), Clamped(b), Clamped(c)};
    if (coverage_) {
        CoveredTriangle(corner);
        return;
    }
    FillTriangle(corner[0], corner[1], corner[2], brush_.colour, 0, height_ - 1);
    OutlineTriangle(corner, 0, height_ - 1);
}

void Surface::OutlineTriangle(const Point (&corner)[3], int32_t top, int32_t bottom) {
    Line(corner[0], corner[1], pen_.colour, top, bottom);
    Line(corner[1], corner[2], pen_.colour, top, bottom);
    Line(corner[2], corner[0], pen_.colour, top, bottom);
}

// Nearest first, the outline claims its pixels before the fill: drawn last
// in the painter's order, it is what shows where the two meet. Rows go in
// bands of the coverage's height; bands where everything the triangle could
// touch is written are passed over, and the runs of the others drawn, each
// with its lines cut to its rows.
void Surface::CoveredTriangle(const Point (&corner)[3]) {
    const int32_t min_x = std::min({corner[0].x, corner[1].x, corner[2].x});
    const int32_t max_x = std::max({corner[0].x, corner[1].x, corner[2].x});
    const int32_t min_y = std::min({corner[0].y, corner[1].y, corner[2].y});
    const int32_t max_y = std::max({corner[0].y, corner[1].y, corner[2].y});
    const int32_t x0 = std::max(0, min_x), x1 = std::min(width_ - 1, max_x);
    const int32_t y0 = std::max(0, min_y), y1 = std::min(height_ - 1, max_y);
    if (x0 > x1 || y0 > y1 || coverage_->Written(x0, x1, y0, y1)) return;
    const Strip strip(corner);
    const auto draw = [&](int32_t top, int32_t bottom) {
        // A line whose pixels on these rows are all written is passed over;
        // lines within the triangle's own rows need no cutting.
        const bool whole = top == y0 && bottom == y1;
        for (int k = 0; k < 3; ++k) {
            int32_t lo, hi, first, last;
            strip.EdgeColumns(k, top, bottom, &lo, &hi, &first, &last);
            if (first > last) continue;
            lo = std::max(lo, x0);
            hi = std::min(hi, x1);
            if (lo > hi || coverage_->Written(lo, hi, first, last)) continue;
            Line(corner[k], corner[(k + 1) % 3], pen_.colour, whole ? 0 : top, whole ? height_ - 1 : bottom);
        }
        FillTriangle(corner[0], corner[1], corner[2], brush_.colour, top, bottom);
    };
    constexpr int32_t kBand = 1 << Coverage::kBandShift;
    if (y1 - y0 < 2 * kBand) {
        draw(y0, y1);
        return;
    }
    int32_t run = -1;  // first row of the bands being gathered
    for (int32_t top = y0; top <= y1;) {
        const int32_t bottom = std::min(y1, top | (kBand - 1));
        int32_t lo, hi;
        strip.Columns(top, bottom, &lo, &hi);
        lo = std::max(lo, x0);
        hi = std::min(hi, x1);
        const bool open = lo <= hi && !coverage_->Written(lo, hi, top, bottom);
        if (open && run < 0) run = top;
        if (!open && run >= 0) {
            draw(run, top - 1);
            run = -1;
        }
        top = bottom + 1;
    }
    if (run >= 0) draw(run, y1);
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
