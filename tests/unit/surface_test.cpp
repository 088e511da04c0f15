// Tests for Surface: the pixel block layout, lines and their exact clipping,
// the triangle fill rule, and ToCoordinate.
#include "render/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace qavren {

struct SurfaceTestAccess {
    static void Fill(Surface& s, Point a, Point b, Point c, Colour colour) { s.FillTriangle(a, b, c, colour); }
};

namespace {

constexpr int32_t kFar = kCoordinateLimit;
constexpr Colour kRed = Rgb(255, 0, 0), kGreen = Rgb(0, 255, 0);

// A surface with a pixel block of its own, cleared to black.
struct Canvas {
    std::vector<uint8_t> bits;
    Surface surface;
    Canvas(int32_t w, int32_t h) : bits(RowStride(w) * h, 0xAB), surface(bits.data(), w, h, RowStride(w)) {
        surface.Fill(0);
    }
    Canvas(const Canvas&) = delete;

    // Colours of the w x h window at (x0, y0), row by row.
    std::vector<Colour> Window(int x0, int y0, int w, int h) const {
        std::vector<Colour> out;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) out.push_back(surface.PixelAt(x, y));
        return out;
    }
    // True while no drawing has strayed into the row padding.
    bool PaddingClear() const {
        const int w = surface.width();
        for (size_t i = 0; i < bits.size(); ++i)
            if (i % RowStride(w) >= 3u * w && bits[i] != 0) return false;
        return true;
    }
    // One text line per row: '.' for black, '#' for anything else.
    std::string Picture() const {
        std::string out;
        for (int y = 0; y < surface.height(); ++y, out += '\n')
            for (int x = 0; x < surface.width(); ++x) out += surface.PixelAt(x, y) ? '#' : '.';
        return out;
    }
};

int Random(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

void DrawLine(Surface& s, Point from, Point to) {
    s.MoveTo(from.x, from.y);
    s.LineTo(to.x, to.y);
}

std::string LinePicture(int w, int h, Point from, Point to) {
    Canvas c(w, h);
    c.surface.SelectPen(kWhitePen);
    DrawLine(c.surface, from, to);
    return c.Picture();
}

TEST(SurfaceLayout, FillPaintsPixelsAndZeroesPaddingOnOddWidths) {
    EXPECT_EQ(RowStride(10), 32u);
    EXPECT_EQ(RowStride(801), 2404u);
    EXPECT_EQ(RowStride(0x55555556u), 0x100000004u);  // no wrap past 2^32
    for (int32_t w : {10, 801}) {
        Canvas c(w, 3);
        c.surface.Fill(Rgb(1, 2, 3));
        for (size_t i = 0; i < c.bits.size(); ++i) {
            const size_t column = i % RowStride(w);
            const uint8_t expected = column >= 3u * w ? 0 : static_cast<uint8_t>(3 - column % 3);
            ASSERT_EQ(c.bits[i], expected) << "width " << w << " byte " << i;
        }
    }
}

TEST(SurfaceLayout, CanvasRowZeroIsTheLastRowInMemory) {
    Canvas c(5, 3);
    c.surface.SelectPen(Pen{Rgb(0x11, 0x22, 0x33)});
    DrawLine(c.surface, {1, 0}, {2, 0});
    const std::vector<uint8_t> pixel(c.bits.begin() + 2 * RowStride(5) + 3, c.bits.begin() + 2 * RowStride(5) + 6);
    EXPECT_EQ(pixel, (std::vector<uint8_t>{0x33, 0x22, 0x11}));
    EXPECT_EQ(c.surface.PixelAt(1, 0), Rgb(0x11, 0x22, 0x33));
}

TEST(SurfaceLayout, NewSurfaceHasBlackPenWhiteBrushAndSelectReturnsPrevious) {
    Canvas c(6, 6);
    c.surface.Fill(Rgb(9, 9, 9));
    c.surface.Triangle({0, 0}, {6, 0}, {0, 6});
    EXPECT_EQ(c.surface.PixelAt(0, 0), 0u);                 // outline: black pen
    EXPECT_EQ(c.surface.PixelAt(1, 1), Rgb(255, 255, 255));  // inside: white brush
    EXPECT_EQ(c.surface.SelectPen(kWhitePen).colour, kBlackPen.colour);
    EXPECT_EQ(c.surface.SelectPen(kBlackPen).colour, kWhitePen.colour);
    EXPECT_EQ(c.surface.SelectBrush(Brush{kRed}).colour, kWhiteBrush.colour);
    EXPECT_EQ(c.surface.SelectBrush(kWhiteBrush).colour, kRed);
}

TEST(SurfaceLine, StraightAndDiagonalLinesLeaveOutTheEndPoint) {
    EXPECT_EQ(LinePicture(4, 2, {0, 1}, {4, 1}), "....\n####\n");
    EXPECT_EQ(LinePicture(4, 2, {3, 1}, {1, 1}), "....\n..##\n");
    EXPECT_EQ(LinePicture(2, 3, {1, 0}, {1, 3}), ".#\n.#\n.#\n");
    EXPECT_EQ(LinePicture(3, 3, {0, 0}, {3, 3}), "#..\n.#.\n..#\n");
    EXPECT_EQ(LinePicture(3, 3, {2, 0}, {0, 2}), "..#\n.#.\n...\n");
}

TEST(SurfaceLine, HalfwayMinorCoordinateRoundsTowardTheSmallerOne) {
    EXPECT_EQ(LinePicture(5, 2, {0, 0}, {4, 1}), "###..\n...#.\n");
    EXPECT_EQ(LinePicture(5, 2, {4, 1}, {0, 0}), ".##..\n...##\n");
    EXPECT_EQ(LinePicture(5, 2, {0, 1}, {4, 0}), "..##.\n##...\n");
    EXPECT_EQ(LinePicture(2, 4, {0, 0}, {1, 4}), "#.\n#.\n#.\n.#\n");
}

TEST(SurfaceLine, SamePointDrawsNothingAndLineToMovesThePosition) {
    Canvas c(6, 6);
    c.surface.SelectPen(kWhitePen);
    c.surface.MoveTo(2, 2);
    c.surface.LineTo(2, 2);
    EXPECT_EQ(c.Picture(), "......\n......\n......\n......\n......\n......\n");
    c.surface.LineTo(5, 2);  // from (2,2)
    c.surface.LineTo(5, 5);  // from (5,2), so the corner is drawn
    c.surface.LineTo(2, 2);  // closes the outline at (2,2)
    EXPECT_EQ(c.Picture(), "......\n......\n..####\n...#.#\n....##\n.....#\n");
}

// Every pixel of a line but its first is also on the reversed line, because
// the rounding depends only on where the true line runs.
TEST(SurfaceLine, ReversedLineDiffersOnlyInItsEndPoints) {
    std::mt19937 rng(7);
    for (int i = 0; i < 500; ++i) {
        const Point a{Random(rng, 0, 15), Random(rng, 0, 15)}, b{Random(rng, 0, 15), Random(rng, 0, 15)};
        Canvas forward(16, 16), backward(16, 16);
        forward.surface.SelectPen(kWhitePen);
        backward.surface.SelectPen(kWhitePen);
        DrawLine(forward.surface, a, b);
        DrawLine(backward.surface, b, a);
        if (a.x != b.x || a.y != b.y) {
            DrawLine(forward.surface, b, {b.x + 1, b.y});  // adds b alone
            DrawLine(backward.surface, a, {a.x + 1, a.y});
        }
        ASSERT_EQ(forward.Picture(), backward.Picture()) << a.x << "," << a.y << " " << b.x << "," << b.y;
    }
}

// Clipping is exact: a small canvas shows what a big one shows of the same
// line drawn without clipping.
TEST(SurfaceLine, ClippedLineMatchesTheUnclippedOne) {
    constexpr int W = 23, H = 17, M = 3 * W;
    std::mt19937 rng(11);
    for (int i = 0; i < 3000; ++i) {
        const Point a{Random(rng, -M, W + M - 1), Random(rng, -M, H + M - 1)};
        const Point b{Random(rng, -M, W + M - 1), Random(rng, -M, H + M - 1)};
        Canvas small(W, H), big(W + 2 * M, H + 2 * M);
        small.surface.SelectPen(kWhitePen);
        big.surface.SelectPen(kWhitePen);
        DrawLine(small.surface, a, b);
        DrawLine(big.surface, {a.x + M, a.y + M}, {b.x + M, b.y + M});
        ASSERT_EQ(small.Window(0, 0, W, H), big.Window(M, M, W, H)) << i;
        ASSERT_TRUE(small.PaddingClear()) << i;
    }
}

// A line through C with direction d and far ends shows on the canvas what a
// short piece of it, C + j*d for small j, shows drawn unclipped.
TEST(SurfaceLine, FarEndedLineMatchesAShortPieceOfIt) {
    constexpr int W = 21, H = 15, M = 60, D = 50;
    std::mt19937 rng(13);
    for (int i = 0; i < 2000; ++i) {
        const Point d{Random(rng, -D, D), Random(rng, -D, D)};
        if (d.x == 0 && d.y == 0) continue;
        const Point c{Random(rng, -M, W + M - 1), Random(rng, -M, H + M - 1)};
        const auto at = [&](int64_t j) { return Point{int32_t(c.x + j * d.x), int32_t(c.y + j * d.y)}; };
        const auto inBig = [&](Point p) { return p.x >= -M && p.y >= -M && p.x < W + M && p.y < H + M; };
        int jLo = 0, jHi = 0;
        while (inBig(at(jLo - 1))) --jLo;
        while (inBig(at(jHi + 1))) ++jHi;
        const int jFar = (kFar - 200) / std::max(std::abs(d.x), std::abs(d.y));
        int ja = Random(rng, 0, 3) ? -Random(rng, jFar / 2, jFar) : Random(rng, jLo, jHi);
        int jb = Random(rng, 0, 3) ? Random(rng, jFar / 2, jFar) : Random(rng, jLo, jHi);
        if (ja > jb) std::swap(ja, jb);
        Canvas small(W, H), big(W + 2 * M, H + 2 * M);
        small.surface.SelectPen(kWhitePen);
        big.surface.SelectPen(kWhitePen);
        DrawLine(small.surface, at(ja), at(jb));
        const Point from = at(std::max(ja, jLo)), to = at(std::min(jb, jHi));
        if (ja < jb) DrawLine(big.surface, {from.x + M, from.y + M}, {to.x + M, to.y + M});
        ASSERT_EQ(small.Window(0, 0, W, H), big.Window(M, M, W, H)) << i;
        ASSERT_TRUE(small.PaddingClear()) << i;
    }
}

TEST(SurfaceLine, EndsAtTheCoordinateLimitKeepTheTieRule) {
    // y = 5 + (x + 2^28) / 2^29 is 5.5 at x = 0 (rounds to 5) and above it after.
    EXPECT_EQ(LinePicture(4, 8, {-kFar, 5}, {kFar, 6}), "....\n....\n....\n....\n....\n#...\n.###\n....\n");
    EXPECT_EQ(LinePicture(4, 8, {kFar, 6}, {-kFar, 5}), "....\n....\n....\n....\n....\n#...\n.###\n....\n");
    EXPECT_EQ(LinePicture(6, 3, {3, -kFar}, {4, kFar}), "...#..\n....#.\n....#.\n");
    EXPECT_EQ(LinePicture(3, 3, {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}), "#..\n.#.\n..#\n");
    EXPECT_EQ(LinePicture(3, 3, {-kFar, -kFar}, {kFar, -1}), "...\n...\n...\n");
}

// Fills each triangle on a blank canvas and counts, per pixel, how many did.
std::vector<int> Coverage(int w, int h, const std::vector<std::vector<Point>>& triangles) {
    std::vector<int> count(w * h, 0);
    Canvas c(w, h);
    for (const auto& t : triangles) {
        c.surface.Fill(0);
        SurfaceTestAccess::Fill(c.surface, t[0], t[1], t[2], kGreen);
        for (int i = 0; i < w * h; ++i) count[i] += c.surface.PixelAt(i % w, i / w) != 0;
    }
    return count;
}

TEST(SurfaceTriangle, SquareSplitOnItsDiagonalFillsEachPixelOnce) {
    Canvas c(4, 4);
    SurfaceTestAccess::Fill(c.surface, {0, 0}, {4, 0}, {0, 4}, kGreen);
    EXPECT_EQ(c.Picture(), "###.\n##..\n#...\n....\n");
    const std::vector<int> count = Coverage(4, 4, {{{0, 0}, {4, 0}, {0, 4}}, {{4, 0}, {4, 4}, {0, 4}}});
    EXPECT_EQ(count, std::vector<int>(16, 1));
}

// A rectangle around the canvas cut into a fan of triangles from an inner
// point: every canvas pixel must be filled exactly once, whatever the slopes,
// windings and distances (corners out to the coordinate limit).
TEST(SurfaceTriangle, FanOfTrianglesTilesTheCanvasExactly) {
    constexpr int W = 19, H = 13;
    std::mt19937 rng(17);
    for (int i = 0; i < 300; ++i) {
        const auto edge = [&](int lo, int hi) { return Random(rng, 0, 2) ? Random(rng, lo, hi) : (hi > 0 ? kFar : -kFar); };
        const int left = edge(-8, 0), top = edge(-8, 0), right = edge(W, W + 8), bottom = edge(H, H + 8);
        std::vector<Point> ring;
        const auto side = [&](Point from, Point to) {  // `from` and two points on the way to `to`
            ring.push_back(from);
            std::set<int64_t> ts{Random(rng, 1, 999), Random(rng, 1, 999)};
            for (int64_t t : ts)
                ring.push_back({int32_t(from.x + (to.x - int64_t{from.x}) * t / 1000), int32_t(from.y + (to.y - int64_t{from.y}) * t / 1000)});
        };
        side({left, top}, {right, top});
        side({right, top}, {right, bottom});
        side({right, bottom}, {left, bottom});
        side({left, bottom}, {left, top});
        const Point p{Random(rng, std::max(left + 1, -2 * W), std::min(right - 1, 3 * W)),
                      Random(rng, std::max(top + 1, -2 * H), std::min(bottom - 1, 3 * H))};
        std::vector<std::vector<Point>> fan;
        for (size_t k = 0; k < ring.size(); ++k) {
            fan.push_back({p, ring[k], ring[(k + 1) % ring.size()]});
            if (Random(rng, 0, 1)) std::swap(fan.back()[1], fan.back()[2]);
        }
        ASSERT_EQ(Coverage(W, H, fan), std::vector<int>(W * H, 1)) << i;
    }
}

TEST(SurfaceTriangle, VertexOrderDoesNotChangeThePicture) {
    std::mt19937 rng(19);
    for (int i = 0; i < 300; ++i) {
        std::vector<Point> v;
        for (int k = 0; k < 3; ++k) v.push_back({Random(rng, -4, 20), Random(rng, -4, 20)});
        Canvas first(16, 16);
        first.surface.SelectBrush(Brush{kGreen});
        first.surface.SelectPen(Pen{kRed});
        first.surface.Triangle(v[0], v[1], v[2]);
        for (int order : {1, 2, 3, 4, 5}) {
            const int a = order / 2, b = (a + 1 + order % 2) % 3, c = 3 - a - b;
            Canvas other(16, 16);
            other.surface.SelectBrush(Brush{kGreen});
            other.surface.SelectPen(Pen{kRed});
            other.surface.Triangle(v[a], v[b], v[c]);
            ASSERT_EQ(first.Window(0, 0, 16, 16), other.Window(0, 0, 16, 16)) << i << " order " << order;
        }
    }
}

TEST(SurfaceTriangle, ZeroAreaTriangleShowsOnlyItsOutline) {
    Canvas c(10, 6);
    c.surface.SelectBrush(Brush{kGreen});
    c.surface.SelectPen(Pen{kRed});
    c.surface.Triangle({1, 1}, {9, 5}, {5, 3});
    EXPECT_EQ(c.Picture(), "..........\n.##.......\n...##.....\n.....##...\n.......##.\n.........#\n");
    for (Colour colour : c.Window(0, 0, 10, 6)) EXPECT_NE(colour, kGreen);
}

TEST(SurfaceTriangle, ClippedTriangleMatchesTheUnclippedOne) {
    constexpr int W = 23, H = 17, M = 2 * W;
    std::mt19937 rng(23);
    for (int i = 0; i < 2000; ++i) {
        Point v[3];
        for (Point& p : v) p = {Random(rng, -M, W + M), Random(rng, -M, H + M)};
        Canvas small(W, H), big(W + 2 * M + 1, H + 2 * M + 1);
        for (Surface* s : {&small.surface, &big.surface}) {
            s->SelectBrush(Brush{kGreen});
            s->SelectPen(Pen{kRed});
        }
        small.surface.Triangle(v[0], v[1], v[2]);
        big.surface.Triangle({v[0].x + M, v[0].y + M}, {v[1].x + M, v[1].y + M}, {v[2].x + M, v[2].y + M});
        ASSERT_EQ(small.Window(0, 0, W, H), big.Window(M, M, W, H)) << i;
        ASSERT_TRUE(small.PaddingClear()) << i;
    }
}

// Drawn thousands of times: any work over the off-canvas area would stall.
TEST(SurfaceTriangle, HugeTrianglesFillTheCanvasAndSparePadding) {
    Canvas c(10, 7);
    c.surface.SelectBrush(Brush{kGreen});
    for (int i = 0; i < 5000; ++i) {
        c.surface.Triangle({-kFar, -kFar}, {kFar, -kFar}, {0, kFar});
        c.surface.Triangle({INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MAX}, {0, INT32_MIN});
        c.surface.Triangle({-kFar, -kFar}, {kFar, -kFar}, {kFar, -1});  // just above the canvas
    }
    EXPECT_EQ(c.Window(0, 0, 10, 7), std::vector<Colour>(70, kGreen));
    EXPECT_TRUE(c.PaddingClear());
}

TEST(SurfaceCoordinate, TruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(ToCoordinate(12.9), 12);
    EXPECT_EQ(ToCoordinate(-0.5), 0);
    EXPECT_EQ(ToCoordinate(-12.9), -12);
    EXPECT_EQ(ToCoordinate(kFar - 0.5), kFar - 1);
    EXPECT_EQ(ToCoordinate(kFar + 0.5), kFar);
    EXPECT_EQ(ToCoordinate(-kFar - 0.5), -kFar);
    EXPECT_EQ(ToCoordinate(1e300), kFar);
    EXPECT_EQ(ToCoordinate(-std::numeric_limits<double>::infinity()), -kFar);
    EXPECT_EQ(ToCoordinate(std::numeric_limits<double>::infinity()), kFar);
    EXPECT_EQ(ToCoordinate(std::nan("")), -kFar);
}

}  // namespace
}  // namespace qavren
