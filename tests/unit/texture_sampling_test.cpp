// Texture sampling: four coloured quadrants land where LightWave puts them;
// wrap modes, mip levels and layering as told; hostile numbers give colours;
// angles match the C library's, and every build matches one fingerprint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "platform/memory.h"
#include "render/texture_shade.h"

namespace qavren {
namespace {

// A w × h image whose texel (x, y) is given by `texel`.
template <typename F>
Image Made(uint32_t w, uint32_t h, F texel) {
    Image image;
    EXPECT_EQ(image.Allocate(w, h), 0);
    for (uint32_t k = 0; k < w * h; ++k) texel(k % w, k / w, image.pixels() + size_t{k} * 4);
    return image;
}

// Red top left, green top right, blue bottom left, yellow bottom right.
Image Quadrants() {
    return Made(4, 4, [](uint32_t x, uint32_t y, uint8_t* t) {
        const bool right = x >= 2, bottom = y >= 2;
        t[0] = right == bottom ? 255 : 0, t[1] = right ? 255 : 0, t[2] = bottom && !right ? 255 : 0, t[3] = 255;
    });
}

struct PlacementCase {
    const char* name; Projection projection; uint8_t axis; float position[3], normal[3];
    float centre[3] = {0, 0, 0}, size = 1, rotation[3] = {0, 0, 0};
};
constexpr float kQuarterTurn = 1.57079633f;

// Each point lands in the image's top-left quadrant: a flipped u gives green,
// a flipped v blue, swapped u and v yellow.
const PlacementCase kPlacements[] = {
    {"planar x", Projection::kPlanar, 0, {0, .25f, -.25f}, {1, 0, 0}},
    {"planar y", Projection::kPlanar, 1, {-.25f, 0, .25f}, {0, 1, 0}},
    {"planar z", Projection::kPlanar, 2, {-.25f, .25f, 0}, {0, 0, -1}},
    {"planar placed", Projection::kPlanar, 2, {9.5f, 1.5f, 0}, {0, 0, -1}, {10, 1, 0}, 2},
    {"planar heading", Projection::kPlanar, 2, {0, .25f, .25f}, {0, 0, -1}, {}, 1, {kQuarterTurn, 0, 0}},
    {"planar pitch", Projection::kPlanar, 2, {-.25f, 0, .25f}, {0, 0, -1}, {}, 1, {0, kQuarterTurn, 0}},
    {"planar bank", Projection::kPlanar, 2, {-.25f, -.25f, 0}, {0, 0, -1}, {}, 1, {0, 0, kQuarterTurn}},
    {"front", Projection::kFront, 1, {-.25f, .25f, 0}, {0, 1, 0}},
    {"cubic x", Projection::kCubic, 2, {0, .25f, -.25f}, {-.9f, .3f, .3f}},
    {"cubic y", Projection::kCubic, 2, {-.25f, 0, .25f}, {.2f, .9f, -.1f}},
    {"cylindrical x", Projection::kCylindrical, 0, {.25f, .7f, .7f}, {0, 1, 0}},
    {"cylindrical y", Projection::kCylindrical, 1, {-.7f, .25f, -.7f}, {0, 0, -1}},
    {"cylindrical z", Projection::kCylindrical, 2, {-.7f, .7f, .25f}, {0, 1, 0}},
    {"spherical x", Projection::kSpherical, 0, {.5f, .5f, .5f}, {1, 0, 0}},
    {"spherical y", Projection::kSpherical, 1, {-.5f, .5f, -.5f}, {0, 1, 0}},
    {"spherical z", Projection::kSpherical, 2, {-.5f, .5f, .5f}, {0, 0, 1}},
};

TEST(TextureSampling, QuadrantsLandWhereLightWavePutsThem) {
    MipPyramid image;
    ASSERT_EQ(image.Build(Quadrants()), 0);
    for (const PlacementCase& c : kPlacements) {
        TextureLayer layer;
        layer.projection = c.projection, layer.axis = c.axis;
        for (int k = 0; k < 3; ++k) layer.centre[k] = c.centre[k], layer.size[k] = c.size, layer.rotation[k] = c.rotation[k];
        const TextureBinding b{&layer, TextureMapping(layer), &image};
        LayerSample s;
        const FloatRgb got = ShadeTextured(&b, 1, {1, 0, 1}, c.position, c.normal, &s);
        EXPECT_TRUE(got.r == 1 && got.g == 0 && got.b == 0) << c.name << ": " << got.r << " " << got.g << " " << got.b;
    }
}

// Red = 85 × column, green = 85 × row from the bottom; `v`: v moves, not u.
struct WrapCase { WrapMode mode; bool v; float at; int texel; };  // texel -1: none
const WrapCase kWraps[] = {
    {WrapMode::kReset, false, .125f, 0},  {WrapMode::kReset, false, -.01f, -1},  {WrapMode::kReset, true, 1.01f, -1},
    {WrapMode::kReset, false, NAN, -1},   {WrapMode::kReset, true, .875f, 3},    {WrapMode::kRepeat, false, 1.125f, 0},
    {WrapMode::kRepeat, true, -.125f, 3}, {WrapMode::kRepeat, false, 2.875f, 3}, {WrapMode::kEdge, false, 5, 3},
    {WrapMode::kEdge, true, -3, 0},       {WrapMode::kMirror, false, 1.125f, 3}, {WrapMode::kMirror, true, -.125f, 0},
    {WrapMode::kMirror, false, 2.375f, 1}, {WrapMode::kMirror, true, -1.375f, 2},
};

TEST(TextureSampling, WrapModesReadTheirTexels) {
    MipPyramid image;
    auto steps = [](uint32_t x, uint32_t y, uint8_t* t) { t[0] = uint8_t(85 * x), t[1] = uint8_t(85 * (3 - y)), t[3] = 255; };
    ASSERT_EQ(image.Build(Made(4, 4, steps)), 0);
    for (const WrapCase& c : kWraps) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << (c.v ? " v " : " u ") << c.at);
        const TextureCoordinates uv = c.v ? TextureCoordinates{.5f, c.at} : TextureCoordinates{c.at, .5f};
        const Texel t = image.SampleLevel(0, uv, c.v ? WrapMode::kEdge : c.mode, c.v ? c.mode : WrapMode::kEdge);
        EXPECT_NEAR(t.hit ? 3 * (c.v ? t.colour.g : t.colour.r) : -1, c.texel, 1e-5);
    }
    // Repeat blends across the seam; edge does not.
    EXPECT_NEAR(image.SampleLevel(0, {0, .5f}, WrapMode::kRepeat, WrapMode::kEdge).colour.r, .5f, 1e-6);
    EXPECT_NEAR(image.SampleLevel(0, {0, .5f}, WrapMode::kEdge, WrapMode::kEdge).colour.r, 0, 1e-6);
}

// Levels of an even-sided checkerboard are grey and halve; 2^k texels pick level k.
TEST(TextureSampling, CheckerboardLevelsAreGrey) {
    const uint32_t sizes[][2] = {{8, 8}, {16, 4}, {6, 10}, {64, 2}, {2, 1}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        MipPyramid image;
        auto checker = [](uint32_t x, uint32_t y, uint8_t* t) { std::memset(t, (x + y) % 2 ? 255 : 0, 3), t[3] = 200; };
        ASSERT_EQ(image.Build(Made(size[0], size[1], checker)), 0);
        for (uint32_t k = 1; k < image.level_count(); ++k) {
            EXPECT_TRUE(image.width(k) == std::max(1u, image.width(k - 1) / 2) && image.height(k) == std::max(1u, image.height(k - 1) / 2));
            for (size_t b = 0; b < size_t{image.width(k)} * image.height(k) * 4; ++b)
                ASSERT_EQ(image.pixels(k)[b], b % 4 == 3 ? 200 : 128) << "level " << k;
            EXPECT_EQ(image.LevelFor(float(1u << k) / size[0], 0), k);
        }
        EXPECT_EQ(image.width(image.level_count() - 1) * image.height(image.level_count() - 1), 1u);
        EXPECT_EQ(image.LevelFor(NAN, NAN), 0u);
        EXPECT_EQ(image.LevelFor(INFINITY, 0), image.level_count() - 1);
    }
    // Transparent texels lend no colour: one opaque red among clear blues.
    MipPyramid clear;
    ASSERT_EQ(clear.Build(Made(2, 2, [](uint32_t x, uint32_t y, uint8_t* t) { t[0] = t[3] = 255 * (x + y == 0), t[1] = 0, t[2] = 255 - t[0]; })), 0);
    const uint8_t blue[4] = {255, 0, 0, 64};
    EXPECT_EQ(std::memcmp(clear.pixels(1), blue, 4), 0);
}

// Layers lay on bottom first; skipped layers leave what lies below; an alpha
// layer's luminance (here black on the left) uncovers the surface colour.
TEST(TextureSampling, LayersLayOnInOrder) {
    MipPyramid image;
    ASSERT_EQ(image.Build(Quadrants()), 0);
    TextureLayer uv, half, off, moved, reset, alpha;
    uv.projection = Projection::kUv;
    half.opacity = .5f, half.axis = reset.axis = alpha.axis = 2;  // planar z: green at the point
    off.enabled = false, moved.blend = BlendMode::kDisplacement, alpha.blend = BlendMode::kAlpha;
    reset.wrap_width = WrapMode::kReset, reset.size[0] = .1f;  // the point lies beyond its image
    const float at[3] = {.25f, .25f, 0}, normal[3] = {0, 0, -1};
    LayerSample s[6];
    s[0].has_uv = true, s[0].uv = {.75f, .25f};  // yellow
    TextureBinding b[6];
    const TextureLayer* order[6] = {&uv, &half, &off, &moved, &reset, &alpha};
    for (int k = 0; k < 6; ++k) b[k] = {order[k], TextureMapping(*order[k]), &image};
    const FloatRgb got = ShadeTextured(b, 5, {0, 0, 1}, at, normal, s);
    EXPECT_NEAR(got.r, .5f, 1e-6); EXPECT_NEAR(got.g, 1, 1e-6); EXPECT_NEAR(got.b, 0, 1e-6);
    s[0].has_uv = false;  // no UV value: the surface colour shows through
    EXPECT_NEAR(ShadeTextured(b, 2, {0, 0, 1}, at, normal, s).b, .5f, 1e-6);
    const float left[3] = {-.25f, .25f, 0};  // red: luminance .2126
    const FloatRgb masked = ShadeTextured(b + 1, 5, {1, 1, 1}, left, normal, s + 1);
    EXPECT_NEAR(masked.g, 1 - .2126f * .5f, 1e-6); EXPECT_NEAR(masked.b, masked.g, 1e-6);
    // Across a longitude's seam the footprint is the short way round.
    TextureLayer round;
    round.projection = Projection::kSpherical, round.axis = 1;
    const float east[3] = {.01f, 0, 1}, west[3] = {-.01f, 0, 1};
    float du, dv;
    ProjectedFootprint({&round, TextureMapping(round), &image}, east, normal, west, east, &du, &dv);
    EXPECT_NEAR(du, .02f / (2 * 3.14159265f), 1e-5); EXPECT_EQ(dv, 0);
}

// A polygon's own value for a point wins over the point's; neither: none.
TEST(TextureSampling, VertexMapValuesByCorner) {
    const PointValue points[] = {{1, {.1f}}, {4, {.4f}}, {7, {.7f}}};
    const CornerValue corners[] = {{2, 4, {.24f}}, {3, 1, {.31f}}, {3, 4, {.34f}}};
    VertexMapValues map;
    map.points = points, map.point_count = 3, map.corners = corners, map.corner_count = 3;
    const float cases[][3] = {{3, 4, .34f}, {3, 1, .31f}, {2, 4, .24f}, {1, 4, .4f}, {3, 7, .7f}, {9, 1, .1f}, {2, 5, -1}, {0, 0, -1}, {4, 9, -1}};
    for (const auto& c : cases) {
        float v[4] = {-1, -1, -1, -1};
        EXPECT_EQ(VertexMapAt(map, uint32_t(c[0]), uint32_t(c[1]), v) ? v[0] : -1, c[2]) << c[0] << " " << c[1];
    }
}

// Hostile numbers in every projection, axis and wrap mode give colours in 0..1.
TEST(TextureSampling, HostileNumbersGiveColours) {
    const float values[] = {0, -0.0f, .5f, -1, 1e-30f, 1e30f, -1e30f, FLT_MAX, 3e9f, INFINITY, -INFINITY, NAN};
    MipPyramid image;
    ASSERT_EQ(image.Build(Quadrants()), 0);
    TextureLayer layer;
    for (int k = 0; k < 6 * 4 * 12 * 12; ++k) {
        const int p = k % 6, wrap = k / 6 % 4;
        const float a = values[k / 24 % 12], c = values[k / 288];
        layer.projection = Projection(p), layer.axis = uint8_t((wrap + p) % 3);
        layer.wrap_width = layer.wrap_height = WrapMode(wrap);
        layer.size[0] = layer.size[1] = layer.size[2] = a == 0 ? 1e-30f : a;
        layer.rotation[1] = layer.repeat_width = c;
        const TextureBinding bound{&layer, TextureMapping(layer), &image};
        const float position[3] = {a, c, a}, normal[3] = {c, a, c};
        LayerSample s;
        s.has_uv = true, s.uv = {a, c}, s.du = a, s.dv = c;
        if (p != int(Projection::kUv)) ProjectedFootprint(bound, position, normal, normal, position, &s.du, &s.dv);
        const FloatRgb got = ShadeTextured(&bound, 1, {.5f, .5f, .5f}, position, normal, &s);
        ASSERT_TRUE(got.r >= 0 && got.r <= 1 && got.g >= 0 && got.g <= 1 && got.b >= 0 && got.b <= 1)
            << p << " " << wrap << " " << a << " " << c;
    }
    Image quadrants = Quadrants();
    MipPyramid starved;  // an allocation that fails leaves the surface colour
    platform::FailAllocationAfter(1);
    EXPECT_EQ(starved.Build(static_cast<Image&&>(quadrants)), status::kNoMemory);
    platform::FailAllocationAfter(0);
    const TextureBinding none{&layer, {}, &starved};
    LayerSample s;
    EXPECT_EQ(ShadeTextured(&none, 1, {.25f, .5f, .75f}, values, values, &s).g, .5f);
}

// The angles against the C library; the sampled bits against a fingerprint
// that the native and the Windows builds share.
TEST(TextureSampling, AnglesAndFingerprint) {
    uint64_t hash = 1469598103934665603u;
    auto mix = [&hash](float f) { uint32_t bits; std::memcpy(&bits, &f, 4); hash = (hash ^ bits) * 1099511628211u; };
    MipPyramid image;
    auto texel = [](uint32_t x, uint32_t y, uint8_t* t) { t[0] = uint8_t(x * 7 + y), t[1] = uint8_t(x * y), t[2] = uint8_t(y * 13), t[3] = uint8_t(x * 5 + 80); };
    ASSERT_EQ(image.Build(Made(37, 21, texel)), 0);
    for (int k = 0; k < 4000; ++k) {
        const double y = (k * 37 % 201 - 100) / 17.0, x = (k * 53 % 191 - 95) / 13.0;  // the same on every build
        ASSERT_NEAR(ArcTangent2(y, x), std::atan2(y, x), 1e-7);
        double s, c;
        SineCosineRadians(x * 3, &s, &c);
        ASSERT_TRUE(std::fabs(s - std::sin(x * 3)) < 1e-9 && std::fabs(c - std::cos(x * 3)) < 1e-9) << x;
        TextureLayer layer;
        layer.projection = Projection(k % 5), layer.axis = uint8_t(k % 3), layer.rotation[k % 3] = float(k % 11) * .3f;
        const float position[3] = {float(x), float(y), float(x - y)};
        const TextureCoordinates uv = TextureMapping(layer).Map(position, position);
        const Texel t = image.Sample(uv, float(k % 9) / 37, 0, WrapMode(k % 4), WrapMode(k / 4 % 4));
        for (float f : {uv.u, uv.v, t.colour.r, t.colour.g, t.colour.b, t.alpha}) mix(f);
    }
    EXPECT_EQ(hash, 17121775944205874920u);
}

}  // namespace
}  // namespace qavren
