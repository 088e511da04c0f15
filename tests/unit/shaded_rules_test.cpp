// The shaded renderer's rules as properties over generated models, each
// against an oracle of its own rather than a stored picture: which triangle
// takes each sample (inside, the tie rule on edges, nearer wins and ties go
// to the earlier shape), where a dot's pixels lie, that smoothing stays
// within a surface, how a pixel blends its samples, and the thumbnail's
// margin at every aspect.
//
// The models sit in the bounds (-16, -16) .. (16, 16) (two points no
// polygon uses) drawn at 64 × 64, so the front view maps x to 32 + 2x and y
// to 32 - 2y pixels exactly, and a corner at an odd multiple of 1/8 lies on
// a sample's centre: edges run through sample centres, where the tie rule
// decides.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "render/projection.h"
#include "render/shaded.h"
#include "render/shading.h"
#include "render/thumbnail.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::SurfaceRecipe;
constexpr int32_t kSize = 64;
constexpr int32_t kSamples = ShadedSamples::kSide * kSize;

struct Model {
    std::vector<std::array<float, 3>> points = {{-16, -16, 0}, {16, 16, 0}};
    std::vector<std::vector<uint32_t>> polygons;
    std::vector<int> surface_of;
    std::vector<SurfaceRecipe> looks;

    uint32_t Point(float x, float y, float z) {
        points.push_back({x, y, z});
        return static_cast<uint32_t>(points.size() - 1);
    }
    // A look per shape, told apart by its red.
    int Look(uint8_t red, bool smooth = false) {
        SurfaceRecipe s;
        s.name = "Look " + std::to_string(looks.size());
        s.red = red, s.green = 0, s.blue = 0;
        s.smooth = smooth;
        s.angle = smooth ? 1.55f : 0.0f;
        looks.push_back(s);
        return static_cast<int>(looks.size() - 1);
    }
    Bytes Build() const {
        tools::LayeredWriter w("LWO2");
        w.AddLayer(0, 0, "rules");
        for (const auto& p : points) w.AddPoint(p[0], p[1], p[2]);
        for (const SurfaceRecipe& s : looks) w.AddSurface(s);
        for (size_t k = 0; k < polygons.size(); ++k) {
            w.UseSurface(surface_of[k]);
            w.AddPolygon(polygons[k]);
        }
        return w.Build();
    }
};

struct Loaded : ObjectBuffer {
    explicit Loaded(const Bytes& object) {
        EXPECT_EQ(LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), status::kOk);
        EXPECT_EQ(ReadModel(*this, kEveryForm, ModelParts::kWithSurfaces, &model), status::kOk);
    }
    ObjectModel model;
};

// Every sample of a front-view picture (margin 0) as DrawShaded left it:
// 0 where none was drawn.
std::vector<uint32_t> SamplesOf(const Bytes& object, int32_t w = kSize, int32_t h = kSize) {
    std::vector<uint32_t> out(size_t{4} * w * h, 0);
    auto resolve = [&](const ShadedSamples& band) {
        for (int32_t j = band.band_top(); j < band.band_bottom(); ++j) {
            for (int32_t i = 0; i < 2 * w; ++i) out[size_t(j) * 2 * w + i] = band.At(i, j).value;
        }
    };
    const Loaded buffer(object);
    EXPECT_EQ(DrawShaded(buffer.model, w, h, 0, ModelTurn(), nullptr, DrawingOptions{}, resolve), status::kOk);
    return out;
}

// A face turned to the viewer, lit as the light's constants say.
uint32_t LitRed(uint8_t red) {
    const double* l = ShadedLight::kToLight;
    const double k = ShadedLight::kAmbient + ShadedLight::kLight * -l[2] / std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    return static_cast<uint32_t>(std::min(255.0, std::floor(red * k + 0.5))) << 16 | ShadedSamples::kDrawn;
}

// The oracle's triangle: corners in 1/32 pixel (the rasteriser's fixed
// point) from the projected points, a depth, and whether a sample centre
// (also in 1/32 pixel) is inside. On an edge the sample is the triangle's
// when nudging it up and to the left on the picture, by (-e, -e^2) for a
// vanishing e, moves it inside: of two triangles sharing an edge, exactly
// one takes each sample on it.
struct Triangle {
    int64_t x[3], y[3];
    float z;
    bool Inside(int64_t px, int64_t py) const {
        const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        if (area == 0) return false;
        for (int k = 0; k < 3; ++k) {
            const int a = k, b = (k + 1) % 3;
            int64_t dx = x[b] - x[a], dy = y[b] - y[a];
            if (area < 0) dx = -dx, dy = -dy;
            const int64_t e = dx * (py - y[a]) - dy * (px - x[a]);  // > 0 inside
            const int64_t nudged = dy != 0 ? dy : -dx;              // the sign of e's change along (-1, -e)
            if (e < 0 || (e == 0 && nudged <= 0)) return false;
        }
        return true;
    }
};

int64_t Fixed(float v) { return static_cast<int64_t>(std::floor(double{v} * 32.0 + 0.5)); }

// Random corners on sample centres (odd multiples of 1/8) within the
// bounds, `spacing` samples apart: a coarse grid makes edges that run along
// rows and columns.
float OnCentre(std::mt19937& random, int spacing) {
    return static_cast<float>(4 * spacing * int(random() % (120 / spacing)) - 238) / 16.0f;
}

// Two to four triangles over random corners on sample centres, some pairs
// sharing an edge (a quad split along either diagonal), at depths that tie
// or not. Every sample shows the nearest triangle that takes it, the
// earliest of those that tie, and nothing where none does.
TEST(ShadedRules, EachSampleShowsTheNearestEarliestTriangleThatTakesIt) {
    std::mt19937 random(29);
    const float depths[] = {0.0f, 0.0f, 0.5f, -0.5f};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Model model;
        const int spacing = round % 2 ? 1 : 12;
        const int count = 2 + static_cast<int>(random() % 3);
        for (int t = 0; t < count; ++t) {
            const float z = round % 3 == 0 ? 0.0f : depths[random() % 4];
            uint32_t p[4];
            for (uint32_t& k : p) k = model.Point(OnCentre(random, spacing), OnCentre(random, spacing), z);
            if (t + 1 < count && random() % 2) {  // a quad: two triangles sharing p[0] - p[2]
                model.polygons.push_back({p[0], p[1], p[2]});
                model.polygons.push_back({p[2], p[3], p[0]});
                model.surface_of.push_back(model.Look(static_cast<uint8_t>(60 + 40 * t)));
                model.surface_of.push_back(model.Look(static_cast<uint8_t>(80 + 40 * t)));
                ++t;
            } else {
                model.polygons.push_back({p[0], p[1], p[2]});
                model.surface_of.push_back(model.Look(static_cast<uint8_t>(60 + 40 * t)));
            }
        }
        const Bytes object = model.Build();
        ProjectedPoints projected;
        ASSERT_EQ(ProjectPoints(Loaded(object).model, kSize, kSize, ModelTurn(), &projected), status::kOk);
        std::vector<Triangle> triangles;
        for (const auto& polygon : model.polygons) {
            Triangle t{};
            for (int k = 0; k < 3; ++k) {
                t.x[k] = Fixed(projected[polygon[k]].x);
                t.y[k] = Fixed(projected[polygon[k]].y);
            }
            t.z = projected[polygon[0]].z;
            triangles.push_back(t);
        }
        const std::vector<uint32_t> samples = SamplesOf(object);
        int wrong = 0;
        for (int32_t j = 0; j < kSamples; ++j) {
            for (int32_t i = 0; i < kSamples; ++i) {
                int owner = -1;
                for (int t = 0; t < static_cast<int>(triangles.size()); ++t) {
                    if (triangles[t].Inside(16 * i + 8, 16 * j + 8) && (owner < 0 || triangles[t].z < triangles[owner].z)) {
                        owner = t;
                    }
                }
                const uint32_t expected = owner < 0 ? 0 : LitRed(model.looks[model.surface_of[owner]].red);
                if (samples[size_t(j) * kSamples + i] != expected && ++wrong <= 3) {
                    ADD_FAILURE() << "sample " << i << "," << j << ": " << std::hex << samples[size_t(j) * kSamples + i]
                                  << " instead of " << expected << " (triangle " << std::dec << owner << ")";
                }
            }
        }
        ASSERT_EQ(wrong, 0);
    }
}

// A dot is the 2 × 2 whole pixels of the one its point lies in and those
// to its upper left, and nothing else, wherever the point falls.
TEST(ShadedRules, DotsCoverThePixelOfTheirPointAndThoseUpLeft) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> anywhere(-16.0f, 16.0f);
    for (int round = 0; round < 200; ++round) {
        Model model;
        model.polygons.push_back({model.Point(anywhere(random), anywhere(random), 0.0f)});
        model.surface_of.push_back(model.Look(200));
        const Bytes object = model.Build();
        ProjectedPoints projected;
        ASSERT_EQ(ProjectPoints(Loaded(object).model, kSize, kSize, ModelTurn(), &projected), status::kOk);
        const auto px = static_cast<int32_t>(std::floor(projected[2].x)), py = static_cast<int32_t>(std::floor(projected[2].y));
        SCOPED_TRACE(std::to_string(projected[2].x) + "," + std::to_string(projected[2].y));
        const std::vector<uint32_t> samples = SamplesOf(object);
        for (int32_t j = 0; j < kSamples; ++j) {
            for (int32_t i = 0; i < kSamples; ++i) {
                const bool in = i / 2 >= px - 1 && i / 2 <= px && j / 2 >= py - 1 && j / 2 <= py;
                ASSERT_EQ(samples[size_t(j) * kSamples + i] != 0, in) << i << "," << j;
            }
        }
    }
}

// Two faces meeting along an edge, each smooth at 89 degrees: on surfaces
// of their own each stays exactly its flat self; on one surface the
// smoothing shows. Roofs of random pitch, ridge towards or away from the
// viewer.
TEST(ShadedRules, SmoothingStaysWithinASurface) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> pitch(-9.0f, 9.0f);
    for (int round = 0; round < 20; ++round) {
        const float h = pitch(random);
        if (std::fabs(h) < 1.0f) continue;
        SCOPED_TRACE("ridge at z = " + std::to_string(h));
        Bytes pictures[3];
        for (int kind = 0; kind < 3; ++kind) {  // own surfaces smooth, own surfaces flat, one surface smooth
            Model model;
            const uint32_t a = model.Point(-12, -12, 0), b = model.Point(0, -12, h), c = model.Point(0, 12, h),
                           d = model.Point(-12, 12, 0), e = model.Point(12, -12, 0), f = model.Point(12, 12, 0);
            model.polygons = {{a, b, c, d}, {b, e, f, c}};
            const int left = model.Look(200, kind != 1);
            model.surface_of = {left, kind == 2 ? left : model.Look(200, kind != 1)};
            const std::vector<uint32_t> samples = SamplesOf(model.Build());
            pictures[kind] = Bytes(reinterpret_cast<const uint8_t*>(samples.data()),
                                   reinterpret_cast<const uint8_t*>(samples.data() + samples.size()));
        }
        EXPECT_EQ(pictures[0], pictures[1]);
        EXPECT_NE(pictures[2], pictures[1]);
    }
}

// A pixel is its four samples averaged: over a backdrop colour the empty
// ones take it, rounded to nearest; without one the colour is the drawn
// samples' mean and the alpha their share. Checked against the samples of
// random triangles, edges everywhere.
TEST(ShadedRules, EdgePixelsBlendTheShareOfTheirSamples) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> anywhere(-16.0f, 16.0f);
    for (int round = 0; round < 40; ++round) {
        const uint32_t backdrop = random() & 0xFFFFFF;  // 0xRRGGBB
        Model model;
        for (int t = 0; t < 3; ++t) {
            const uint32_t p = model.Point(anywhere(random), anywhere(random), 0),
                           q = model.Point(anywhere(random), anywhere(random), 0),
                           r = model.Point(anywhere(random), anywhere(random), 0);
            model.polygons.push_back({p, q, r});
            model.surface_of.push_back(model.Look(static_cast<uint8_t>(random())));
            model.looks.back().green = static_cast<uint8_t>(random());
            model.looks.back().blue = static_cast<uint8_t>(random());
        }
        const Bytes object = model.Build();
        const std::vector<uint32_t> samples = SamplesOf(object);
        const Loaded buffer(object);
        ThumbnailOptions options;
        options.angle_x = options.angle_y = 0;
        options.margin = false;
        RgbaPicture clear, over;
        ASSERT_EQ(DrawThumbnail(buffer, kSize, kSize, options, &clear), status::kOk);
        options.background = {ShadedBackground::Kind::kColour, Rgb(backdrop >> 16, backdrop >> 8 & 0xFF, backdrop & 0xFF)};
        ASSERT_EQ(DrawThumbnail(buffer, kSize, kSize, options, &over), status::kOk);
        for (int32_t y = 0; y < kSize; ++y) {
            for (int32_t x = 0; x < kSize; ++x) {
                uint32_t drawn = 0, sum[3] = {0, 0, 0};
                for (const uint32_t s : {samples[size_t(2 * y) * kSamples + 2 * x], samples[size_t(2 * y) * kSamples + 2 * x + 1],
                                         samples[size_t(2 * y + 1) * kSamples + 2 * x],
                                         samples[size_t(2 * y + 1) * kSamples + 2 * x + 1]}) {
                    if (!s) continue;
                    ++drawn;
                    for (int c = 0; c < 3; ++c) sum[c] += s >> (16 - 8 * c) & 0xFF;
                }
                const uint8_t* a = clear.pixels() + 4 * (y * kSize + x);
                const uint8_t* b = over.pixels() + 4 * (y * kSize + x);
                ASSERT_EQ(a[3], (drawn * 255 + 2) / 4) << x << "," << y;
                for (int c = 0; c < 3; ++c) {
                    const uint32_t back = backdrop >> (16 - 8 * c) & 0xFF;
                    if (drawn) {
                        ASSERT_EQ(a[c], (sum[c] + drawn / 2) / drawn) << x << "," << y << " channel " << c;
                    }
                    ASSERT_EQ(b[c], (sum[c] + (4 - drawn) * back + 2) / 4) << x << "," << y << " channel " << c;
                }
            }
        }
    }
}

// The margin is a twentieth of the shorter side, at least 3 pixels, none
// when twice it would reach the shorter side: inside its margin the
// thumbnail is, pixel for pixel, the one drawn that much smaller without a
// margin, and nothing of the model reaches the border. Wide, tall, square
// and tiny pictures.
TEST(ShadedRules, ThumbnailMarginComesFromTheShorterSide) {
    const Bytes cube = tools::MakeCube().Build();
    const Loaded buffer(cube);
    const int32_t sizes[][2] = {{400, 100}, {100, 400}, {256, 256}, {97, 61},  {61, 97}, {300, 41}, {41, 300},
                                {120, 119}, {8, 200},   {200, 8},   {7, 7},    {6, 50},  {50, 6},   {1, 1}};
    for (const auto& size : sizes) {
        const int32_t w = size[0], h = size[1], shorter = std::min(w, h);
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        int32_t m = std::max(3, shorter / 20);
        if (2 * m >= shorter) m = 0;
        EXPECT_EQ(ThumbnailMargin(w, h), m);
        RgbaPicture framed, inner;
        ThumbnailOptions options;
        ASSERT_EQ(DrawThumbnail(buffer, w, h, options, &framed), status::kOk);
        options.margin = false;
        ASSERT_EQ(DrawThumbnail(buffer, w - 2 * m, h - 2 * m, options, &inner), status::kOk);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                const uint8_t* f = framed.pixels() + 4 * (int64_t{y} * w + x);
                if (x >= m && x < w - m && y >= m && y < h - m) {
                    const uint8_t* i = inner.pixels() + 4 * (int64_t{y - m} * (w - 2 * m) + (x - m));
                    for (int c = 0; c < 4; ++c) ASSERT_EQ(f[c], i[c]) << x << "," << y;
                } else if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
                    ASSERT_EQ(f[3], 0) << x << "," << y;  // what spills past the fit stays off the border
                }
            }
        }
    }
}

}  // namespace
}  // namespace qavren
