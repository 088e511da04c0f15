// The shaded style: lit colours against the light's formula in every form,
// the depth buffer on faces that cut through each other, smooth against
// flat shading, points and lines, the thumbnail's defaults, and every
// allocation of a shaded picture failed in turn; pictures drawn in bands of
// any height on any number of threads against the one-band picture.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"
#include "render/parallel.h"
#include "render/shaded.h"
#include "render/shading.h"
#include "render/thumbnail.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::SurfaceRecipe;

// Points and polygons, written in any of the four forms with one surface
// per polygon.
struct Shape {
    std::vector<std::array<float, 3>> points;
    std::vector<std::vector<uint32_t>> polygons;
    std::vector<int> surface_of;  // index into the looks; empty: all on the first

    Bytes Build(const char* form, const std::vector<SurfaceRecipe>& looks) const {
        const int count = static_cast<int>(polygons.size());
        if (std::string(form) == "LWOB") {
            tools::LwoWriter w;
            for (const auto& p : points) w.AddPoint(p[0], p[1], p[2]);
            for (const SurfaceRecipe& s : looks) w.AddSurface(s);
            for (int k = 0; k < count; ++k) {
                w.AddPolygon(std::vector<uint16_t>(polygons[k].begin(), polygons[k].end()),
                             static_cast<int16_t>(1 + (surface_of.empty() ? 0 : surface_of[k])));
            }
            return w.Build();
        }
        tools::LayeredWriter w(form);
        w.AddLayer(0, 0, "shape");
        for (const auto& p : points) w.AddPoint(p[0], p[1], p[2]);
        for (const SurfaceRecipe& s : looks) w.AddSurface(s);
        for (int k = 0; k < count; ++k) {
            w.UseSurface(surface_of.empty() ? 0 : surface_of[k]);
            w.AddPolygon(polygons[k]);
        }
        return w.Build();
    }
};

// The points and polygons a shape generator wrote.
Shape ShapeOf(const tools::LwoWriter& writer) {
    auto u16 = [](const uint8_t* p) { return static_cast<uint32_t>(p[0] << 8 | p[1]); };
    Shape shape;
    const Bytes& pnts = writer.points();
    for (size_t at = 0; at + 12 <= pnts.size(); at += 12) {
        std::array<float, 3> p;
        for (int k = 0; k < 3; ++k) {
            const uint32_t bits = u16(&pnts[at + 4 * k]) << 16 | u16(&pnts[at + 4 * k + 2]);
            std::memcpy(&p[k], &bits, 4);
        }
        shape.points.push_back(p);
    }
    const Bytes& records = writer.polygon_records();
    for (size_t at = 0; at < records.size();) {
        const uint32_t n = u16(&records[at]);
        std::vector<uint32_t> polygon;
        for (uint32_t k = 0; k < n; ++k) polygon.push_back(u16(&records[at + 2 + 2 * k]));
        shape.polygons.push_back(polygon);
        at += 2 * n + 4;
    }
    return shape;
}

// Named by its colour, so that two looks of one object have two names.
SurfaceRecipe Look(uint8_t r, uint8_t g, uint8_t b, float diffuse = 1.0f, float luminosity = 0.0f) {
    SurfaceRecipe s;
    s.name = "Look " + std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b);
    s.red = r, s.green = g, s.blue = b;
    s.diffuse = diffuse;
    s.luminosity = luminosity;
    return s;
}

// The shaded model alone (no background, no margin) in RGBA rows.
struct Shaded {
    Shaded(const Bytes& object, int32_t w, int32_t h, const int32_t (&angles)[3] = {0, 0, 0},
           const DrawingOptions& drawing = {})
        : width(w) {
        ObjectBuffer buffer;
        EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), status::kOk);
        ThumbnailOptions options;
        options.angle_x = angles[0];
        options.angle_y = angles[1];
        options.angle_z = angles[2];
        options.margin = false;
        options.drawing = drawing;
        status = DrawThumbnail(buffer, w, h, options, &picture);
    }
    const uint8_t* At(int32_t x, int32_t y) const { return picture.pixels() + 4 * (int64_t{width} * y + x); }
    uint32_t Colour(int32_t x, int32_t y) const { return Rgb(At(x, y)[0], At(x, y)[1], At(x, y)[2]); }
    uint8_t Alpha(int32_t x, int32_t y) const { return At(x, y)[3]; }
    int32_t width;
    RgbaPicture picture;
    Status status;
};

// The formula the style promises, from the light's own constants: a unit
// normal n facing the viewer, L the unit direction towards the light.
uint32_t Expected(const SurfaceRecipe& s, const double (&n)[3], double stored_diffuse, double stored_luminosity) {
    const double* l = ShadedLight::kToLight;
    const double length = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    const double cosine = std::max(0.0, (n[0] * l[0] + n[1] * l[1] + n[2] * l[2]) / length);
    const double k = ShadedLight::kAmbient + ShadedLight::kLight * stored_diffuse * cosine + stored_luminosity;
    auto channel = [&](uint8_t c) { return static_cast<uint32_t>(std::min(255.0, std::floor(c * k + 0.5))); };
    return Rgb(channel(s.red), channel(s.green), channel(s.blue));
}

struct LitCase {
    const char* name;
    const char* form;
    SurfaceRecipe look;
    float tilt;  // the quad lies in z = tilt * x
    bool reversed;  // its corners listed the other way round
};

class LitFace : public ::testing::TestWithParam<LitCase> {};

// The centre pixel of one quad against the formula. LWOB keeps shares in
// 1/256 steps (DIFF and LUMI words); the newer forms keep floats.
TEST_P(LitFace, CentreColourFollowsTheFormula) {
    const LitCase& c = GetParam();
    const float t = c.tilt;
    Shape quad{{{-1, -1, -t}, {1, -1, t}, {1, 1, t}, {-1, 1, -t}}, {{0, 1, 2, 3}}, {}};
    if (c.reversed) quad.polygons[0] = {3, 2, 1, 0};
    const Shaded picture(quad.Build(c.form, {c.look}), 200, 150);
    ASSERT_EQ(picture.status, status::kOk);
    // z = t x: the normal facing the viewer (towards -z) is (t, 0, -1).
    const double length = std::sqrt(double{t} * t + 1);
    const double n[3] = {t / length, 0.0, -1.0 / length};
    const bool words = std::string(c.form) == "LWOB" || std::string(c.form) == "LWLO";
    auto stored = [&](float share) { return words ? std::floor(share * 256.0 + 0.5) / 256.0 : double{share}; };
    EXPECT_EQ(picture.Colour(100, 75), Expected(c.look, n, stored(c.look.diffuse), stored(c.look.luminosity)));
    EXPECT_EQ(picture.Alpha(100, 75), 255);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, LitFace,
    ::testing::Values(LitCase{"LwobFacing", "LWOB", Look(200, 100, 50), 0.0f, false},
                      LitCase{"LwobReversedIsLitAlike", "LWOB", Look(200, 100, 50), 0.0f, true},
                      LitCase{"LwobTurnedFromTheLight", "LWOB", Look(255, 255, 255), 2.0f, false},
                      LitCase{"LwobTurnedToTheLight", "LWOB", Look(10, 240, 128), -0.7f, false},
                      LitCase{"LwobHalfDiffuse", "LWOB", Look(180, 180, 250, 0.5f), -0.3f, false},
                      LitCase{"LwobLuminousClamps", "LWOB", Look(250, 120, 0, 1.0f, 0.6f), 0.0f, true},
                      LitCase{"LwlaFacing", "LWLO", Look(90, 200, 30, 0.75f), 0.5f, false},
                      LitCase{"Lwo2Facing", "LWO2", Look(200, 100, 50), 0.0f, false},
                      LitCase{"Lwo2Turned", "LWO2", Look(33, 66, 99, 0.8f, 0.1f), 1.2f, true},
                      LitCase{"Lwo3Facing", "LWO3", Look(200, 100, 50), 0.0f, false},
                      LitCase{"Lwo3Luminous", "LWO3", Look(0, 128, 255, 0.3f, 0.5f), -1.5f, false}),
    [](const ::testing::TestParamInfo<LitCase>& param) { return std::string(param.param.name); });

// Two quads that cut through each other along x = 0: A is nearer on the
// left, B on the right. Each half shows the nearer one, whichever comes
// first in the file.
TEST(DepthBuffer, CrossingQuadsEachHalfShowsTheNearer) {
    const SurfaceRecipe red = Look(255, 0, 0), blue = Look(0, 0, 255);
    for (const bool a_first : {true, false}) {
        SCOPED_TRACE(a_first ? "A first" : "B first");
        Shape shape{{{-1, -1, -0.4f}, {1, -1, 0.4f}, {1, 1, 0.4f}, {-1, 1, -0.4f},   // A: z = 0.4 x
                     {-1, -1, 0.4f}, {1, -1, -0.4f}, {1, 1, -0.4f}, {-1, 1, 0.4f}}, // B: z = -0.4 x
                    {{0, 1, 2, 3}, {4, 5, 6, 7}},
                    {0, 1}};
        if (!a_first) {
            std::swap(shape.polygons[0], shape.polygons[1]);
            std::swap(shape.surface_of[0], shape.surface_of[1]);
        }
        const Shaded picture(shape.Build("LWO2", {red, blue}), 160, 120);
        ASSERT_EQ(picture.status, status::kOk);
        for (int32_t y = 20; y < 100; y += 7) {
            for (int32_t x = 25; x < 135; ++x) {
                if (x >= 77 && x <= 83) continue;  // the crossing itself
                const uint32_t c = picture.Colour(x, y);
                if (x < 80) {
                    ASSERT_TRUE(c & 0xFF && !(c & 0xFF0000)) << x << "," << y;  // red only: A
                } else {
                    ASSERT_TRUE(c & 0xFF0000 && !(c & 0xFF)) << x << "," << y;  // blue only: B
                }
            }
        }
    }
}

// A square of 10 × 10 quads whose corners lie on sample boundaries, so that
// every quad's diagonal runs exactly through sample centres: each such sample
// belongs to one of the two triangles, and the square is drawn without a
// crack, every pixel inside it whole (in the front view and turned by a
// right angle, which sends the diagonals the other way).
TEST(Rasteriser, SharedEdgesThroughSampleCentresLeaveNoCrack) {
    Shape grid;
    for (int j = 0; j <= 10; ++j) {
        for (int i = 0; i <= 10; ++i) grid.points.push_back({-1.0f + 0.2f * i, -1.0f + 0.2f * j, 0.0f});
    }
    for (uint32_t j = 0; j < 10; ++j) {
        for (uint32_t i = 0; i < 10; ++i) {
            const uint32_t a = 11 * j + i;
            grid.polygons.push_back({a, a + 1, a + 12, a + 11});
        }
    }
    for (const int32_t turn : {0, 90}) {
        SCOPED_TRACE(turn);
        const Shaded picture(grid.Build("LWO2", {Look(200, 200, 200)}), 200, 200, {0, 0, turn});
        ASSERT_EQ(picture.status, status::kOk);
        for (int32_t y = 1; y < 199; ++y) {
            for (int32_t x = 1; x < 199; ++x) ASSERT_EQ(picture.Alpha(x, y), 255) << x << "," << y;
        }
    }
}

// The largest difference of a channel between pixels next to each other,
// and how many such pairs are exactly equal, over the pixels at least
// `inset` pixels inside the model along their row: a smooth sphere's
// shading runs steeply into its silhouette, as a real sphere's does.
struct Steps {
    int largest = 0;
    uint64_t equal = 0, pairs = 0;
};
Steps StepsOf(const Shaded& p, int32_t w, int32_t h, int32_t inset) {
    Steps s;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = inset; x + 1 + inset < w; ++x) {
            if (p.Alpha(x - inset, y) != 255 || p.Alpha(x + 1 + inset, y) != 255) continue;
            int step = 0;
            for (int k = 0; k < 3; ++k) step = std::max(step, std::abs(p.At(x, y)[k] - p.At(x + 1, y)[k]));
            s.largest = std::max(s.largest, step);
            s.equal += step == 0;
            ++s.pairs;
        }
    }
    return s;
}

// A sphere of 24 × 48 faces, smooth and flat. Smooth: no facet steps, the
// colour changes by a few levels a pixel at most. Flat: every face one
// colour, so most neighbours are equal and the facets show as steps.
TEST(Smoothing, SmoothSphereHasNoFacetStepsFlatFacesAreUniform) {
    const Shape sphere = ShapeOf(tools::MakeSphere(24, 48));
    for (const char* form : {"LWOB", "LWO2"}) {
        SCOPED_TRACE(form);
        SurfaceRecipe smooth = Look(220, 180, 120), flat = Look(220, 180, 120);
        smooth.smooth = true;
        smooth.angle = 1.5f;  // about 86 degrees
        const Shaded round(sphere.Build(form, {smooth}), 400, 300, {-20, 30, 0});
        const Shaded faceted(sphere.Build(form, {flat}), 400, 300, {-20, 30, 0});
        ASSERT_EQ(round.status, status::kOk);
        ASSERT_EQ(faceted.status, status::kOk);
        const Steps r = StepsOf(round, 400, 300, 8), f = StepsOf(faceted, 400, 300, 8);
        ASSERT_GT(r.pairs, 40000u);
        EXPECT_LE(r.largest, 4);
        EXPECT_GE(f.largest, 8);
        EXPECT_GT(f.equal, f.pairs * 3 / 4);
    }
}

// Faces meeting at more than the smoothing angle keep their edge: a cube
// smoothed at 30 degrees is the flat cube, and a cube smoothed at 100
// degrees is not.
TEST(Smoothing, AngleLimitsWhichFacesAreAveraged) {
    const Shape cube = ShapeOf(tools::MakeCube());
    SurfaceRecipe narrow = Look(200, 200, 200), wide = Look(200, 200, 200), flat = Look(200, 200, 200);
    narrow.smooth = wide.smooth = true;
    narrow.angle = 0.52f;
    wide.angle = 1.75f;
    const Shaded plain(cube.Build("LWO2", {flat}), 120, 90, {-30, 35, 0});
    const Shaded below(cube.Build("LWO2", {narrow}), 120, 90, {-30, 35, 0});
    const Shaded above(cube.Build("LWO2", {wide}), 120, 90, {-30, 35, 0});
    auto bytes = [](const Shaded& s) { return Bytes(s.picture.pixels(), s.picture.pixels() + 4 * 120 * 90); };
    EXPECT_EQ(bytes(below), bytes(plain));
    EXPECT_NE(bytes(above), bytes(plain));
}

// One-point polygons are dots of at least 2 × 2 whole pixels, two-point
// polygons lines, both in the surface's own colour (unlit) and hidden by a
// face in front of them, shown in front of one behind them.
TEST(PointsAndLines, DrawnInTheirColourAndDepthTested) {
    struct Case {
        const char* name;
        float mark_z;  // the dot's and the line's depth; the quad is at 0
        bool shown;
    };
    const SurfaceRecipe grey = Look(100, 100, 100), mark = Look(255, 200, 0);
    for (const Case& c : {Case{"in front", -0.5f, true}, Case{"behind", 0.5f, false}}) {
        SCOPED_TRACE(c.name);
        const float z = c.mark_z;
        // The quad's corners span the fit: x and y from -1 to 1.
        Shape shape{{{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {-0.5f, 0.5f, z}, {-0.5f, -0.5f, z}, {0.5f, -0.5f, z}},
                    {{0, 1, 2, 3}, {4}, {5, 6}},
                    {0, 1, 1}};
        const Shaded picture(shape.Build("LWO3", {grey, mark}), 800, 600);
        ASSERT_EQ(picture.status, status::kOk);
        // The dot at x = -0.5 (pixel 250 at d = 1, nearer the centre if
        // behind), y = 0.5: count the whole pixels of the mark's colour.
        int dot = 0, line = 0;
        for (int32_t y = 100; y < 500; ++y) {
            for (int32_t x = 150; x < 650; ++x) {
                if (picture.Colour(x, y) != Rgb(255, 200, 0)) continue;
                (y < 300 ? dot : line) += 1;
            }
        }
        if (c.shown) {
            EXPECT_GE(dot, 4);
            EXPECT_GE(line, 250);  // the line is 300 pixels long, a pixel wide, whole where it runs along rows
        } else {
            EXPECT_EQ(dot, 0);
            EXPECT_EQ(line, 0);
        }
    }
}

// A line shows whole whichever way its points are listed, in one band or
// in bands of one row: from the centre out in eight directions, each pixel
// it passes whole in its colour (two dots at the corners hold the fit).
TEST(PointsAndLines, LinesShowInEveryDirectionAndBand) {
    const SurfaceRecipe dots = Look(10, 10, 10), mark = Look(255, 200, 0);
    for (const int32_t rows : {0, 1}) {
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if (dx == 0 && dy == 0) continue;
                SCOPED_TRACE(std::to_string(rows) + " rows, direction " + std::to_string(dx) + "," + std::to_string(dy));
                Shape shape{{{-1, -1, 0}, {1, 1, 0}, {0, 0, 0}, {0.9f * dx, 0.9f * dy, 0}}, {{0}, {1}, {2, 3}}, {0, 0, 1}};
                const Shaded picture(shape.Build("LWO2", {dots, mark}), 200, 200, {0, 0, 0}, {0, rows});
                ASSERT_EQ(picture.status, status::kOk);
                int whole = 0;
                for (int32_t y = 0; y < 200; ++y) {
                    for (int32_t x = 0; x < 200; ++x) whole += picture.Colour(x, y) == Rgb(255, 200, 0);
                }
                EXPECT_GE(whole, 85);  // 0.9 of the half-picture: about 90 pixels along its longer axis
            }
        }
    }
}

// What every shell shows: shaded, transparent around the model, edge pixels
// as transparent as the share of their samples left empty, and a margin so
// that no pixel on the border is drawn at all, for objects that fill their
// fit in one direction or the other and at odd sizes.
TEST(ThumbnailDefaults, TransparentWithAMarginAllRound) {
    const ThumbnailOptions d = ThumbnailDefaults();
    EXPECT_EQ(d.style, DrawStyle::kShaded);
    EXPECT_EQ(d.background.kind, ShadedBackground::Kind::kNone);
    EXPECT_EQ(d.angle_x, -30);
    EXPECT_EQ(d.angle_y, 35);
    EXPECT_EQ(d.angle_z, 0);
    const Bytes objects[] = {tools::MakeCube().Build(), tools::MakeSphere(8, 16).Build(),
                             tools::MakeTorus(24, 12, 1.0f, 0.35f).Build(),
                             Shape{{{-5, 0, 0}, {5, 0, 0}, {0, 0.1f, 0}}, {{0}, {1}, {0, 1}, {0, 1, 2}}, {}}.Build(
                                 "LWO2", {Look(1, 2, 3)})};
    const int32_t sizes[][2] = {{256, 256}, {128, 128}, {33, 33}, {97, 61}, {16, 40}};
    for (const Bytes& object : objects) {
        const bool solid = &object != &objects[3];  // the last is dots, a line and a sliver: whole pixels
        ObjectBuffer buffer;
        ASSERT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), status::kOk);
        for (const auto& size : sizes) {
            const int32_t w = size[0], h = size[1];
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            RgbaPicture p;
            ASSERT_EQ(DrawThumbnail(buffer, w, h, &p), status::kOk);
            uint64_t drawn = 0, edges = 0;
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const uint8_t alpha = p.pixels()[4 * (int64_t{w} * y + x) + 3];
                    drawn += alpha != 0;
                    // Smooth edges: the share of a pixel's four samples drawn.
                    ASSERT_TRUE(alpha == 0 || alpha == 64 || alpha == 128 || alpha == 191 || alpha == 255) << +alpha;
                    edges += alpha != 0 && alpha != 255;
                    if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                        ASSERT_EQ(alpha, 0) << x << "," << y;
                    }
                }
            }
            EXPECT_GT(drawn, 0u);
            EXPECT_TRUE(!solid || edges > 0);
        }
    }
}

// A jumble of `count` polygons of one to five corners (dots, lines, fans)
// over points on a coarse grid, so that many samples tie in depth, with a
// face and lines that cross every band; a smooth and a flat surface.
Bytes Jumble(uint32_t seed, uint32_t count) {
    std::mt19937 random(seed);
    auto grid = [&](uint32_t steps) { return -1.0f + 2.0f * static_cast<float>(random() % (steps + 1)) / steps; };
    Shape shape;
    for (int k = 0; k < 400; ++k) shape.points.push_back({grid(16), grid(16), grid(2)});
    shape.points.push_back({-1, -1, 0.5f});
    shape.points.push_back({1, -1, 0.5f});
    shape.points.push_back({0, 1, 0.5f});
    shape.polygons.push_back({400, 401, 402});  // the whole picture's height, behind most
    shape.polygons.push_back({400, 402});       // lines from the bottom to the top
    shape.polygons.push_back({401, 402});
    for (uint32_t k = 0; k < count; ++k) {
        std::vector<uint32_t> polygon(1 + random() % 5);
        for (uint32_t& index : polygon) index = random() % 400;
        shape.polygons.push_back(polygon);
    }
    for (size_t k = 0; k < shape.polygons.size(); ++k) shape.surface_of.push_back(static_cast<int>(k % 2));
    SurfaceRecipe smooth = Look(200, 120, 40);
    smooth.smooth = true;
    return shape.Build(seed % 2 ? "LWOB" : "LWO2", {smooth, Look(40, 160, 220)});
}

// The RGBA bytes of the transparent picture in bands of `rows` rows (0:
// the default) on `threads` threads.
Bytes Banded(const Bytes& object, int32_t w, int32_t h, int32_t rows, int32_t threads) {
    const Shaded drawn(object, w, h, {20, 30, 0}, {threads, rows});
    EXPECT_EQ(drawn.status, status::kOk);
    if (drawn.status != status::kOk) return {};
    return Bytes(drawn.picture.pixels(), drawn.picture.pixels() + size_t{4} * w * h);
}

// One band over the whole picture is the rasteriser without bands: every
// band height (one row, rows that do not divide the picture, the default)
// and thread count must give its bytes, ties in depth decided alike. Large
// enough jumbles start threads; narrow and wide pictures give bands of few
// and of many rows.
TEST(ShadedBands, AnyBandRowsAndThreadsGiveTheOneBandPicture) {
    struct Case {
        uint32_t seed, count;
        int32_t w, h;
    };
    for (const Case& c : {Case{1, 300, 97, 61}, Case{2, 300, 31, 203}, Case{3, 20000, 320, 200},
                          Case{4, 20000, 9000, 23}}) {
        SCOPED_TRACE(c.seed);
        const Bytes object = Jumble(c.seed, c.count);
        const Bytes single = Banded(object, c.w, c.h, c.h, 1);
        ASSERT_FALSE(single.empty());
        size_t drawn = 0;
        for (size_t k = 3; k < single.size(); k += 4) drawn += single[k] != 0;
        const size_t side = static_cast<size_t>(std::min(c.w, c.h));
        EXPECT_GT(drawn, side * side / 4);  // the jumble fills much of its square fit
        for (const int32_t rows : {1, 2, 3, 7, 0}) {
            for (const int32_t threads : {1, 3}) {
                SCOPED_TRACE(std::to_string(rows) + " rows, " + std::to_string(threads) + " threads");
                const Bytes banded = Banded(object, c.w, c.h, rows, threads);
                ASSERT_EQ(banded.size(), single.size());
                size_t first = 0;
                while (first < single.size() && banded[first] == single[first]) ++first;
                EXPECT_EQ(first, single.size()) << "first difference at pixel row " << first / 4 / c.w;
            }
        }
    }
}

// Every allocation of a shaded picture, failed in turn, refuses it with the
// memory code and leaves nothing allocated.
TEST(ShadedMemory, EveryAllocationFailsWithTheMemoryCode) {
    Shape sphere = ShapeOf(tools::MakeSphere(5, 7));
    SurfaceRecipe smooth = Look(1, 2, 3);
    smooth.smooth = true;
    for (const Bytes& object : {sphere.Build("LWOB", {smooth}), sphere.Build("LWO2", {Look(9, 9, 9)})}) {
        RenderSettings s;
        s.mode = 1;
        s.shaded = 1;
        s.forms = 1;
        s.width = 64;
        s.height = 48;
        ObjectBuffer buffer;
        const Status loaded = buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size()));
        const uint64_t before = platform::AllocationCount();
        void *info = nullptr, *bits = nullptr;
        ASSERT_EQ(AssemblePicture(loaded, buffer, s, &info, &bits), 0);
        const uint64_t count = platform::AllocationCount() - before;
        platform::FreeHostBlock(info);
        platform::FreeHostBlock(bits);
        EXPECT_GE(count, 6u);
        for (uint32_t n = 1; n <= count; ++n) {
            SCOPED_TRACE(n);
            const int64_t live = platform::LiveBlockCount();
            platform::FailAllocationAfter(n);
            info = bits = nullptr;
            const int32_t code = AssemblePicture(loaded, buffer, s, &info, &bits);
            platform::FailAllocationAfter(0);
            EXPECT_EQ(code, 4);
            EXPECT_EQ(info, nullptr);
            EXPECT_EQ(bits, nullptr);
            EXPECT_EQ(platform::LiveBlockCount(), live);
        }
    }
}

// The cosine the smoothing angle is compared through, against the
// library's to within rounding, and its ends.
TEST(SeriesCosine, MatchesTheLibraryAndClampsPastPi) {
    for (int k = 0; k <= 1000; ++k) {
        const double x = 3.14159 * k / 1000;
        ASSERT_NEAR(SeriesCosine(x), std::cos(x), 1e-12) << x;
        ASSERT_EQ(SeriesCosine(-x), SeriesCosine(x));
    }
    EXPECT_EQ(SeriesCosine(0.0), 1.0);
    EXPECT_EQ(SeriesCosine(4.0), -1.0);
    EXPECT_TRUE(std::isnan(SeriesCosine(std::nan(""))));
}

}  // namespace
}  // namespace qavren
