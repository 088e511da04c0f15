// The fast paths against plain versions written straight from their
// definitions: the chunk scan against a byte-by-byte search, the rasteriser
// against per-pixel edge functions and per-step lines, the projection
// against the formulas evaluated one point at a time. Any speed-up that
// moves a single byte fails here, on both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "object/lwob.h"
#include "render/projection.h"
#include "render/surface.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {

struct SurfaceTestAccess {
    static void Fill(Surface& s, Point a, Point b, Point c, Colour colour) { s.FillTriangle(a, b, c, colour); }
};

namespace {

using Bytes = std::vector<uint8_t>;

int Random(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// ---- Chunk search --------------------------------------------------------

uint32_t PlainFindChunk(const Bytes& data, const char tag[4]) {
    for (size_t k = 0; k + 4 <= data.size(); ++k) {
        if (std::memcmp(&data[k], tag, 4) == 0) return static_cast<uint32_t>(k);
    }
    return kChunkNotFound;
}

// An LWOB header and bytes drawn mostly from the tags' own letters, so that
// partial matches, overlapping ones and matches across any block boundary
// turn up everywhere.
Bytes TagSoup(std::mt19937& rng, size_t size) {
    static const char kLetters[] = "PNTSOLURFABQ\0";
    Bytes d(std::max<size_t>(size, 12));
    for (uint8_t& b : d) b = static_cast<uint8_t>(kLetters[Random(rng, 0, sizeof kLetters - 1)]);
    std::memcpy(d.data(), "FORM", 4);
    std::memcpy(d.data() + 8, "LWOB", 4);
    return d;
}

TEST(FastChunkSearch, FindsWhatAByteByByteSearchFinds) {
    std::mt19937 rng(11);
    const char* tags[] = {"PNTS", "POLS", "SURF", "PPPP", "PPPQ", "ABAB", "S\0\0P"};
    for (int round = 0; round < 4000; ++round) {
        const size_t size = round < 3000 ? static_cast<size_t>(Random(rng, 12, 200)) : static_cast<size_t>(Random(rng, 200, 9000));
        Bytes d = TagSoup(rng, size);
        const char* tag = tags[Random(rng, 0, 6)];
        if (round % 3 == 0 && size >= 16) {  // plant the tag once more, often at the very end
            const size_t at = round % 2 ? size - 4 : static_cast<size_t>(Random(rng, 12, static_cast<int>(size) - 4));
            std::memcpy(&d[at], tag, 4);
        }
        ObjectBuffer buffer;
        ASSERT_EQ(buffer.LoadFromMemory(d.data(), static_cast<uint32_t>(d.size())), 0);
        ASSERT_EQ(FindChunk(buffer, tag), PlainFindChunk(d, tag)) << "size " << size << " tag " << tag;
    }
}

TEST(FastChunkSearch, ThreeLettersBeforeTheEndAreNoMatch) {
    for (size_t size = 15; size < 80; ++size) {
        Bytes d(size, 'P');
        std::memcpy(d.data(), "FORM\0\0\0\0LWOB", 12);
        std::memcpy(&d[size - 3], "POL", 3);
        ObjectBuffer buffer;
        buffer.LoadFromMemory(d.data(), static_cast<uint32_t>(size));
        EXPECT_EQ(FindChunk(buffer, "POLS"), kChunkNotFound) << size;
        d.push_back('S');
        ObjectBuffer longer;
        longer.LoadFromMemory(d.data(), static_cast<uint32_t>(d.size()));
        EXPECT_EQ(FindChunk(longer, "POLS"), size - 3) << size;
    }
}

// ---- Rasteriser ----------------------------------------------------------

// A canvas with the plain drawing operations beside it.
struct Plain {
    int32_t w, h;
    uint32_t stride;
    Bytes bits;

    Plain(int32_t width, int32_t height)
        : w(width), h(height), stride(RowStride(width)), bits(static_cast<size_t>(stride) * height, 0) {}

    void Plot(int64_t x, int64_t y, Colour c) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        uint8_t* p = &bits[static_cast<size_t>(h - 1 - y) * stride + 3 * static_cast<size_t>(x)];
        p[0] = static_cast<uint8_t>(c >> 16);
        p[1] = static_cast<uint8_t>(c >> 8);
        p[2] = static_cast<uint8_t>(c);
    }

    // Twice the edge function a -> b at the centre of pixel (x, y).
    static int64_t Edge(Point a, Point b, int64_t x, int64_t y) {
        return (2 * x + 1 - 2 * int64_t{a.x}) * (int64_t{b.y} - a.y) - (2 * y + 1 - 2 * int64_t{a.y}) * (int64_t{b.x} - a.x);
    }
    // Inside: on the positive side of every edge, or on a left edge (dy > 0).
    static bool Covers(Point a, Point b, int64_t x, int64_t y) {
        const int64_t e = Edge(a, b, x, y);
        return e > 0 || (e == 0 && b.y > a.y);
    }
    void FillTriangle(Point a, Point b, Point c, Colour colour) {
        const int64_t cross = (int64_t{b.x} - a.x) * (int64_t{c.y} - a.y) - (int64_t{b.y} - a.y) * (int64_t{c.x} - a.x);
        if (cross == 0) return;
        if (cross > 0) std::swap(b, c);
        for (int64_t y = 0; y < h; ++y)
            for (int64_t x = 0; x < w; ++x)
                if (Covers(a, b, x, y) && Covers(b, c, x, y) && Covers(c, a, x, y)) Plot(x, y, colour);
    }

    // Step k of n along the major axis; the minor coordinate is
    // v0 + ceil((2k dv - n) / 2n). Only steps whose major coordinate lies
    // on the canvas are visited, so far-off end points cost nothing.
    void Line(Point from, Point to, Colour c) {
        const int64_t dx = int64_t{to.x} - from.x, dy = int64_t{to.y} - from.y;
        if (dx == 0 && dy == 0) return;
        const bool x_major = std::llabs(dx) >= std::llabs(dy);
        const int64_t u0 = x_major ? from.x : from.y, v0 = x_major ? from.y : from.x;
        const int64_t du = x_major ? dx : dy, dv = x_major ? dy : dx, n = std::llabs(du);
        for (int64_t u = 0; u < (x_major ? w : h); ++u) {
            const int64_t k = du > 0 ? u - u0 : u0 - u;
            if (k < 0 || k >= n) continue;
            const int64_t t = 2 * k * dv - n, q = t / (2 * n) + (t % (2 * n) > 0 ? 1 : 0);
            x_major ? Plot(u, v0 + q, c) : Plot(v0 + q, u, c);
        }
    }

    void Fill(Colour c) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) Plot(x, y, c);
    }
};

Colour RandomColour(std::mt19937& rng) { return Rgb(Random(rng, 0, 255), Random(rng, 0, 255), Random(rng, 0, 255)); }

// Mostly near the canvas; now and then far beyond it on one side, some
// thousands of pixels off (around the bound of 32-bit filling, 8192), or
// tens of thousands (2^13 to 2^16, where 32-bit products would overflow).
Point RandomPoint(std::mt19937& rng, int32_t w, int32_t h) {
    const int far = Random(rng, 0, 19);
    if (far == 0) return {Random(rng, -kCoordinateLimit, kCoordinateLimit), Random(rng, -40, h + 40)};
    if (far == 1) return {Random(rng, -40, w + 40), Random(rng, -3000000, 3000000)};
    if (far == 2) return {Random(rng, -8300, 8300), Random(rng, -8300, 8300)};
    if (far == 3) return {Random(rng, -70000, 70000), Random(rng, -70000, 70000)};
    return {Random(rng, -w / 2, w + w / 2), Random(rng, -h / 2, h + h / 2)};
}

TEST(FastRasteriser, TrianglesMatchPerPixelEdgeFunctions) {
    std::mt19937 rng(3);
    const Point sizes[] = {{1, 1}, {2, 3}, {7, 5}, {16, 9}, {67, 31}, {151, 40}};
    for (const Point size : sizes) {
        Bytes bits(static_cast<size_t>(RowStride(size.x)) * size.y);
        Surface surface(bits.data(), size.x, size.y, RowStride(size.x));
        Plain plain(size.x, size.y);
        surface.Fill(0);
        for (int round = 0; round < 700; ++round) {
            const Point a = RandomPoint(rng, size.x, size.y), b = RandomPoint(rng, size.x, size.y),
                        c = round % 5 ? RandomPoint(rng, size.x, size.y) : a;
            const Colour colour = RandomColour(rng);
            SurfaceTestAccess::Fill(surface, a, b, c, colour);
            plain.FillTriangle(a, b, c, colour);
            ASSERT_EQ(bits, plain.bits) << size.x << "x" << size.y << " round " << round;
        }
    }
}

TEST(FastRasteriser, OutlinedTrianglesAndLinesMatchPerStepLines) {
    std::mt19937 rng(4);
    const Point sizes[] = {{1, 1}, {5, 8}, {33, 17}, {150, 61}};
    for (const Point size : sizes) {
        Bytes bits(static_cast<size_t>(RowStride(size.x)) * size.y);
        Surface surface(bits.data(), size.x, size.y, RowStride(size.x));
        Plain plain(size.x, size.y);
        surface.Fill(0);
        for (int round = 0; round < 700; ++round) {
            const Point a = RandomPoint(rng, size.x, size.y), b = RandomPoint(rng, size.x, size.y),
                        c = RandomPoint(rng, size.x, size.y);
            const Pen pen{RandomColour(rng)};
            const Brush brush{RandomColour(rng)};
            surface.SelectPen(pen);
            surface.SelectBrush(brush);
            surface.Triangle(a, b, c);
            plain.FillTriangle(a, b, c, brush.colour);
            plain.Line(a, b, pen.colour);
            plain.Line(b, c, pen.colour);
            plain.Line(c, a, pen.colour);
            surface.MoveTo(b.x, b.y);
            surface.LineTo(c.x, a.y);
            plain.Line(b, {c.x, a.y}, pen.colour);
            ASSERT_EQ(bits, plain.bits) << size.x << "x" << size.y << " round " << round;
        }
    }
}

TEST(FastRasteriser, FillPaintsEveryWidthAndZeroesThePadding) {
    std::mt19937 rng(5);
    for (int32_t w = 1; w <= 70; ++w) {
        const Colour colour = RandomColour(rng);
        Bytes bits(static_cast<size_t>(RowStride(w)) * 3, 0xEE);
        Surface(bits.data(), w, 3, RowStride(w)).Fill(colour);
        Plain plain(w, 3);
        plain.Fill(colour);
        ASSERT_EQ(bits, plain.bits) << w;
    }
}

// ---- Projection ----------------------------------------------------------

// The mapping evaluated point by point from its definition: bounds from
// ±10000 with strict comparisons; xr, cx, cy, sx and the outputs in float;
// yr, sy and every product in double.
std::vector<ProjectedPoint> PlainProjection(const std::vector<ProjectedPoint>& model, int32_t w, int32_t h) {
    float min_x = 10000.0f, max_x = -10000.0f, min_y = 10000.0f, max_y = -10000.0f;
    for (const ProjectedPoint& p : model) {
        if (p.x > max_x) max_x = p.x;
        if (p.x < min_x) min_x = p.x;
        if (p.y > max_y) max_y = p.y;
        if (p.y < min_y) min_y = p.y;
    }
    float xr = static_cast<float>(double{max_x} - min_x);
    if (xr == 0.0f) xr = 0.000001f;
    double yr = double{max_y} - min_y;
    if (yr == 0.0) yr = double{0.000001f};
    const float cx = static_cast<float>((double{max_x} + min_x) * 0.5);
    const float cy = static_cast<float>((double{max_y} + min_y) * 0.5);
    const float sx = static_cast<float>(static_cast<double>(w) / xr);
    const double sy = static_cast<double>(h) / yr;
    const float scale_x = sx > sy ? static_cast<float>(sy) : sx;
    const double scale_y = sx > sy ? sy : double{sx};
    std::vector<ProjectedPoint> out;
    for (const ProjectedPoint& p : model) {
        double d = (double{xr} - double{p.z} * 0.5) / xr;
        d = d < 0.000001 ? 0.000001 : (d > 1.0 ? 1.0 : d);
        const double x = (w / 2) + d * ((double{p.x} - cx) * scale_x);
        const double y = (h / 2) - d * (scale_y * (double{p.y} - cy));
        out.push_back({static_cast<float>(x), static_cast<float>(y), p.z});
    }
    return out;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b); }

float RandomCoordinate(std::mt19937& rng, int kind) {
    switch (kind) {
    case 0: return static_cast<float>(Random(rng, -5000, 5000)) / 7.0f;
    case 1: return static_cast<float>(Random(rng, -3, 3));  // ties with the bounds
    case 2: return std::ldexp(static_cast<float>(Random(rng, -1000, 1000)), Random(rng, -30, 20));
    default: {
        const float specials[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(), -0.0f, 20000.0f, -1e30f};
        return specials[Random(rng, 0, 5)];
    }
    }
}

TEST(FastProjection, MatchesTheFormulasBitForBit) {
    std::mt19937 rng(6);
    const Point canvases[] = {{800, 600}, {801, 601}, {4000, 3000}, {1, 1}, {37, 1000}};
    for (int round = 0; round < 300; ++round) {
        const int kind = round < 200 ? round % 3 : Random(rng, 0, 3);
        const int count = Random(rng, 0, round < 250 ? 40 : 3000);
        std::vector<ProjectedPoint> model;
        tools::LwoWriter w;
        for (int k = 0; k < count; ++k) {
            const int this_kind = Random(rng, 0, 30) == 0 ? 3 : kind;
            const ProjectedPoint p{RandomCoordinate(rng, this_kind), RandomCoordinate(rng, this_kind),
                                   RandomCoordinate(rng, this_kind)};
            model.push_back(p);
            w.AddPoint(p.x, p.y, p.z);
        }
        const Bytes object = w.Build();
        ObjectBuffer buffer;
        buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size()));
        const Point canvas = canvases[round % 5];
        ObjectModel read;
        ProjectedPoints points;
        ASSERT_EQ(ReadModelPoints(buffer, &read), 0);
        ASSERT_EQ(ProjectPoints(read, canvas.x, canvas.y, ModelTurn(), &points), 0);
        const std::vector<ProjectedPoint> expected = PlainProjection(model, canvas.x, canvas.y);
        ASSERT_EQ(points.count(), expected.size());
        for (uint32_t k = 0; k < points.count(); ++k) {
            ASSERT_TRUE(SameBits(points[k].x, expected[k].x) && SameBits(points[k].y, expected[k].y) &&
                        SameBits(points[k].z, expected[k].z))
                << "round " << round << " point " << k;
        }
    }
}

}  // namespace
}  // namespace qavren
