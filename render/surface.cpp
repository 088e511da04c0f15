// Software rasteriser behind Surface: fills, exactly clipped lines and
// triangle spans, written straight into a bottom-up 24-bit pixel block.
// Integer arithmetic only, so every platform produces the same bytes.
#include "render/surface.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace qavren {
namespace {

// Floor and ceiling of n / d for d > 0 (built-in division truncates).
int64_t FloorDiv(int64_t n, int64_t d) {
    const int64_t q = n / d;
    return (n % d < 0) ? q - 1 : q;
}
int64_t CeilDiv(int64_t n, int64_t d) {
    const int64_t q = n / d;
    return (n % d > 0) ? q + 1 : q;
}

// Callers promise coordinates within ±kCoordinateLimit; pulling stray ones
// onto the limit keeps every product below well inside int64.
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

// One edge a -> b of a triangle oriented so that its inside is where
// E = (2x+1 - 2ax)*dy - (2y+1 - 2ay)*dx is positive: twice the edge function
// at the pixel centre, so it is an exact integer. Centres lie on
// half-integers and vertices on integers, so only a sloped edge can pass
// through a centre: the top-left tie-break reduces to counting centres on
// left edges, which in this winding are the ones running down the screen.
struct Edge {
    int64_t ax, ay, dx, dy;
    int64_t least;  // smallest E counted inside: 0 on a left edge, else 1

    Edge(Point a, Point b)
        : ax(a.x), ay(a.y), dx(int64_t{b.x} - a.x), dy(int64_t{b.y} - a.y), least(dy > 0 ? 0 : 1) {}

    // Narrows [lo, hi] to the x of row y with E >= least. A rising or falling
    // edge bounds one side; a horizontal one keeps or empties the whole row.
    void Clip(int64_t y, int64_t& lo, int64_t& hi) const {
        const int64_t r = least + (2 * (y - ay) + 1) * dx;  // need (2x+1-2ax)*dy >= r
        if (dy > 0) {
            lo = std::max(lo, ax + CeilDiv(r - dy, 2 * dy));
        } else if (dy < 0) {
            hi = std::min(hi, ax + FloorDiv(dy - r, -2 * dy));
        } else if (r > 0) {
            hi = lo - 1;
        }
    }
};

}  // namespace

int32_t ToCoordinate(double v) {
    if (v != v) return -kCoordinateLimit;  // NaN
    if (v >= kCoordinateLimit) return kCoordinateLimit;
    if (v <= -kCoordinateLimit) return -kCoordinateLimit;
    return static_cast<int32_t>(v);  // in range now, so truncation is defined
}

Surface::Surface(uint8_t* bits, int32_t width, int32_t height, uint32_t stride)
    : bits_(bits), width_(width), height_(height), stride_(stride) {}

void Surface::Fill(Colour colour) {
    // Paint one row, padding zeroed, then copy it: hosts compare whole blocks.
    uint8_t* first = bits_;
    std::memset(first, 0, stride_);
    FillSpan(height_ - 1, 0, width_ - 1, colour);
    for (int32_t i = 1; i < height_; ++i) std::memcpy(first + static_cast<uint64_t>(i) * stride_, first, stride_);
}

Pen Surface::SelectPen(Pen pen) { return std::exchange(pen_, pen); }
Brush Surface::SelectBrush(Brush brush) { return std::exchange(brush_, brush); }

void Surface::MoveTo(int32_t x, int32_t y) { position_ = Clamped({x, y}); }

void Surface::LineTo(int32_t x, int32_t y) {
    const Point to = Clamped({x, y});
    Line(position_, to, pen_.colour);
    position_ = to;
}

// Like a polygon, the triangle neither uses nor moves the current position.
void Surface::Triangle(Point a, Point b, Point c) {
    a = Clamped(a);
    b = Clamped(b);
    c = Clamped(c);
    FillTriangle(a, b, c, brush_.colour);
    Line(a, b, pen_.colour);
    Line(b, c, pen_.colour);
    Line(c, a, pen_.colour);
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
    const uint8_t blue = static_cast<uint8_t>(c >> 16), green = static_cast<uint8_t>(c >> 8),
                  red = static_cast<uint8_t>(c);
    uint8_t* p = Row(y) + 3 * x0;
    for (int32_t x = x0; x <= x1; ++x, p += 3) {
        p[0] = blue;
        p[1] = green;
        p[2] = red;
    }
}

// Steps k = 0 .. n-1 along the major axis (the longer one; x on a tie of
// |dx| = |dy|) from `from`; the minor coordinate at step k is the exact one
// rounded to the nearest integer, a half rounding toward the smaller
// coordinate: v0 + ceil(k*dv/n - 1/2). The rounding depends only on where
// the true line lies, so a line and its reverse share every pixel but their
// first. Clipping picks the on-canvas steps in closed form, so the loop runs
// at most max(width, height) times however far off the end points lie.
void Surface::Line(Point from, Point to, Colour c) {
    const int64_t dx = int64_t{to.x} - from.x, dy = int64_t{to.y} - from.y;
    if (dx == 0 && dy == 0) return;
    const bool xMajor = std::max(dx, -dx) >= std::max(dy, -dy);
    const int64_t u0 = xMajor ? from.x : from.y, v0 = xMajor ? from.y : from.x;
    const int64_t du = xMajor ? dx : dy, dv = xMajor ? dy : dx;
    const int64_t uSize = xMajor ? width_ : height_, vSize = xMajor ? height_ : width_;
    const int64_t n = std::max(du, -du), s = du > 0 ? 1 : -1, twoN = 2 * n;

    Steps steps{0, n - 1};
    const auto onCanvas = [&](Point p) { return p.x >= 0 && p.y >= 0 && p.x < width_ && p.y < height_; };
    if (!onCanvas(from) || !onCanvas(to)) {  // a line between canvas points stays on it
        steps.Intersect(MajorSteps(u0, s, uSize));
        steps.Intersect(MinorSteps(v0, dv, n, vSize));
        if (steps.first > steps.last) return;
    }

    // Minor offset q = ceil(t / 2n) for t = 2k*dv - n, carried with the error
    // term e = q*2n - t, kept in [0, 2n) as t grows by 2dv per step.
    int64_t q = 0, e = n;
    if (steps.first > 0) {
        const int64_t t = 2 * steps.first * dv - n;
        q = CeilDiv(t, twoN);
        e = q * twoN - t;
    }
    for (int64_t k = steps.first;; ++k) {
        const int32_t u = static_cast<int32_t>(u0 + s * k), v = static_cast<int32_t>(v0 + q);
        xMajor ? Plot(u, v, c) : Plot(v, u, c);
        if (k == steps.last) break;
        e -= 2 * dv;
        if (e < 0) {
            ++q;
            e += twoN;
        } else if (e >= twoN) {
            --q;
            e -= twoN;
        }
    }
}

// Fill rule: pixel (x, y) is filled when its centre (x+0.5, y+0.5) lies
// strictly inside the triangle, or exactly on a left edge or a horizontal top
// edge (the top-left rule), so triangles that share an edge fill each pixel
// along it exactly once; a triangle of zero area fills nothing.
void Surface::FillTriangle(Point a, Point b, Point c, Colour colour) {
    const int64_t cross = (int64_t{b.x} - a.x) * (int64_t{c.y} - a.y) - (int64_t{b.y} - a.y) * (int64_t{c.x} - a.x);
    if (cross == 0) return;
    if (cross > 0) std::swap(b, c);  // the edge functions below want this winding

    // Only rows and columns whose centres fall within the bounding box can
    // be filled; cutting that box to the canvas leaves no off-canvas work.
    const int64_t xLo = std::max<int64_t>(0, std::min({a.x, b.x, c.x}));
    const int64_t xHi = std::min<int64_t>(width_ - 1, int64_t{std::max({a.x, b.x, c.x})} - 1);
    const int64_t yLo = std::max<int64_t>(0, std::min({a.y, b.y, c.y}));
    const int64_t yHi = std::min<int64_t>(height_ - 1, int64_t{std::max({a.y, b.y, c.y})} - 1);
    if (xLo > xHi) return;

    const Edge edges[3] = {Edge(a, b), Edge(b, c), Edge(c, a)};
    for (int64_t y = yLo; y <= yHi; ++y) {
        int64_t lo = xLo, hi = xHi;
        for (const Edge& edge : edges) edge.Clip(y, lo, hi);
        if (lo <= hi) FillSpan(static_cast<int32_t>(y), static_cast<int32_t>(lo), static_cast<int32_t>(hi), colour);
    }
}

}  // namespace qavren
