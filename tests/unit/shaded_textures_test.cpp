// Textured drawing end to end: an image of four coloured quadrants (red top
// left, green top right, blue bottom left, white bottom right) laid on a
// unit square facing the front view must show its quadrants where
// LightWave puts them, in every image format and through each way a layer
// places it; an image that is missing or damaged leaves the surface colour,
// and vertex colours held for the left side only tint that side.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "image/texture_source.h"
#include "render/texture_bind.h"
#include "render/thumbnail.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::TextureRecipe;

enum class Placing { kPlanarLwob, kPlanarLwo2, kPlanarLwo3, kCubic, kFront, kUv, kUvCorners, kMissing, kDamaged,
                     kVertexColours };

// Lit with diffuse 0 and luminosity 0.7 a face shows its colour unchanged.
tools::SurfaceRecipe Surface(Placing placing) {
    TextureRecipe t;
    t.image = placing == Placing::kMissing ? "C:\\maps\\gone.png" : "C:\\maps\\quad.img";
    t.projection = placing == Placing::kCubic ? 3 : placing == Placing::kFront ? 4 : 0;
    t.axis = 2;
    for (int a = 0; a < 3; ++a) t.centre[a] = a < 2 ? 0.5f : 0.0f, t.size[a] = 1, t.rotation[a] = 0;
    t.wrap_width = t.wrap_height = 3;
    if (placing == Placing::kUv || placing == Placing::kUvCorners) t.projection = 5, t.uv_map = "UV";
    tools::SurfaceRecipe s;
    s.name = "Quad";
    s.diffuse = 0;
    s.luminosity = 0.7f;
    if (placing == Placing::kVertexColours) {
        s.vertex_colours = "Paint";
    } else {
        s.textures = {t};
    }
    return s;
}

Bytes Square(Placing placing) {
    const float corner[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    if (placing == Placing::kPlanarLwob) {
        tools::LwoWriter w;
        for (const auto& c : corner) w.AddPoint(c[0], c[1], 0);
        w.AddPolygon({0, 2, 3, 1});
        w.AddSurface(Surface(placing));
        return w.Build();
    }
    tools::LayeredWriter w(placing == Placing::kPlanarLwo3 ? "LWO3" : "LWO2");
    w.UseSurface(w.AddSurface(Surface(placing)));
    w.AddLayer(0);
    for (const auto& c : corner) w.AddPoint(c[0], c[1], 0);
    w.AddPolygon({0, 2, 3, 1});
    std::vector<tools::VertexMapValue> right, wrong, red;
    for (uint32_t p = 0; p < 4; ++p) {
        right.push_back({p, 0, {corner[p][0], corner[p][1]}});
        wrong.push_back({p, 0, {0.5f, 0.5f}});
        if (corner[p][0] == 0) red.push_back({p, 0, {1, 0, 0, 1}});  // the right side keeps its colour
    }
    // Per-corner values override the points' own.
    w.AddVertexMap("TXUV", 2, "UV", placing == Placing::kUvCorners ? wrong : right);
    if (placing == Placing::kUvCorners) w.AddVertexMap("TXUV", 2, "UV", right, true);
    w.AddVertexMap("RGBA", 4, "Paint", red);
    return w.Build();
}

// The object drawn front on, over black and without a margin, with the
// images `textures` finds: the picture, empty when it was not drawn.
RgbaPicture FrontView(const Bytes& object, int32_t width, int32_t height, const TextureSource* textures) {
    ObjectBuffer buffer;
    RgbaPicture picture;
    if (buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())) != status::kOk) return picture;
    ThumbnailOptions o = ThumbnailDefaults();
    o.angle_x = o.angle_y = o.angle_z = 0;
    o.background = {ShadedBackground::Kind::kColour, 0};
    o.margin = false;
    o.textures = textures;
    if (DrawThumbnail(buffer, width, height, o, &picture) != status::kOk) return RgbaPicture();
    return picture;
}

// A channel read as off (0), on (1) or neither (-1).
int Level(uint8_t v) { return v > 175 ? 1 : v < 100 ? 0 : -1; }

TEST(ShadedTextures, QuadrantsLandWhereLightWavePutsThem) {
    const char* formats[] = {"rgba8.png", "rgb8.png",      "rgba16.png",  "palette.png",  "baseline.jpg",
                             "progressive.jpg", "subsampled.jpg", "raw.tga", "rle.tga", "rle_alpha.tga",
                             "rgb24.bmp", "rgba32.bmp",    "palette8.bmp", "palette.gif", "raw.psd", "rle.psd"};
    const int quadrants[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}};
    for (const char* format : formats) {
        Bytes image = testing::ReadFile(std::string(QAVREN_SOURCE_DIR) + "/tests/images/" + format);
        ASSERT_FALSE(image.empty()) << format;
        for (int p = 0; p <= static_cast<int>(Placing::kVertexColours); ++p) {
            const auto placing = static_cast<Placing>(p);
            SCOPED_TRACE(std::string(format) + " placing " + std::to_string(p));
            const size_t kept = placing == Placing::kDamaged ? image.size() / 2 : image.size();
            const MemoryTextures::File files[] = {{"Images/QUAD.IMG", image.data(), kept}};
            const MemoryTextures memory(files, 1);
            const RgbaPicture picture = FrontView(Square(placing), 32, 32, &memory);
            ASSERT_NE(picture.pixels(), nullptr);
            for (int q = 0; q < 4; ++q) {
                const uint8_t* at = picture.pixels() + 4 * (32 * (8 + 16 * (q / 2)) + 8 + 16 * (q % 2));
                const bool plain = placing == Placing::kMissing || placing == Placing::kDamaged;
                const int* want = plain                                 ? quadrants[3]
                                  : placing == Placing::kVertexColours ? quadrants[q % 2 ? 3 : 0]
                                                                       : quadrants[q];
                for (int c = 0; c < 3; ++c) EXPECT_EQ(Level(at[c]), want[c]) << "quadrant " << q << " channel " << c;
            }
        }
    }
}

// A 24-bit BMP of width × height from colour(x, y) (0xRRGGBB, y from the top).
template <typename Colour>
Bytes Bmp(uint32_t width, uint32_t height, Colour colour) {
    const uint32_t stride = (3 * width + 3) / 4 * 4, size = 54 + stride * height;
    Bytes b(size);
    auto put = [&b](size_t at, uint32_t v, int n) { for (int k = 0; k < n; ++k) b[at + k] = uint8_t(v >> 8 * k); };
    b[0] = 'B', b[1] = 'M', put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, width, 4), put(22, height, 4);
    put(26, 1, 2), put(28, 24, 2), put(34, stride * height, 4);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) put(54 + (height - 1 - y) * stride + 3 * x, colour(x, y) >> 0, 3);
    return b;
}

// Four unit strips side by side, each its own surface with a UV layer: the
// first a 256-row image of 5-row black and white stripes seen 8 rows a
// pixel (its levels must blend them: no pixel black or white), the second a
// blue image of its own, the third the blue image with its map missing at
// one corner (the layer gives nothing there: the surface's grey); the
// fourth the stripes again through a planar map, its level chosen alike.
TEST(ShadedTextures, LevelsImagesAndMissingValuesByFace) {
    const Bytes stripes = Bmp(8, 256, [](uint32_t, uint32_t y) { return y / 5 % 2 ? 0xFFFFFFu : 0u; });
    const Bytes blue = Bmp(2, 2, [](uint32_t, uint32_t) { return 0x0000FFu; });  // BGR order: put writes b, g, r
    const MemoryTextures::File files[] = {{"stripes.bmp", stripes.data(), stripes.size()},
                                          {"blue.bmp", blue.data(), blue.size()}};
    const MemoryTextures memory(files, 2);
    tools::LayeredWriter w("LWO2");
    std::vector<tools::VertexMapValue> uv;
    for (uint32_t strip = 0; strip < 4; ++strip) {
        tools::SurfaceRecipe s = Surface(strip == 3 ? Placing::kPlanarLwo2 : Placing::kUv);
        s.name = "S" + std::to_string(strip);
        s.textures[0].image = strip % 3 ? "blue.bmp" : "stripes.bmp";
        s.textures[0].centre[0] = 3.5f;
        w.UseSurface(w.AddSurface(s));
        if (strip == 0) w.AddLayer(0);
        for (uint32_t k = 0; k < 4; ++k) {
            const float x = float(strip + k % 2), y = float(k / 2);
            w.AddPoint(x, y, 0);
            if (strip < 2 || k != 3) uv.push_back({4 * strip + k, 0, {x - float(strip), y}});
        }
        w.AddPolygon({4 * strip, 4 * strip + 2, 4 * strip + 3, 4 * strip + 1});
    }
    w.AddVertexMap("TXUV", 2, "UV", uv);
    const RgbaPicture picture = FrontView(w.Build(), 128, 32, &memory);
    ASSERT_NE(picture.pixels(), nullptr);
    for (int32_t y = 2; y < 30; ++y) {
        for (int32_t x : {16, 112}) {
            const uint8_t* p = picture.pixels() + 4 * (128 * y + x);
            EXPECT_TRUE(p[0] > 60 && p[0] < 195 && p[0] == p[1]) << "stripes at " << x << "," << y << ": " << int(p[0]);
        }
    }
    const uint8_t* b = picture.pixels() + 4 * (128 * 16 + 48);
    EXPECT_TRUE(b[0] < 50 && b[1] < 50 && b[2] > 200) << "blue strip";
    const uint8_t* g = picture.pixels() + 4 * (128 * 8 + 72);  // above the diagonal that misses a value
    EXPECT_TRUE(g[0] == 200 && g[1] == 200 && g[2] == 200) << "grey strip " << int(g[0]) << " " << int(g[2]);
}

// However many images an object's layers name, a picture looks for at most
// BoundTextures::kMostImages of them, each once, and is drawn.
TEST(ShadedTextures, ImagesLookedForAreBounded) {
    struct Counting final : TextureSource {
        mutable std::atomic<int> finds{0};
        Status Find(const uint8_t*, uint32_t, ImageBytes*) const override { return ++finds, status::kNoData; }
    } counting;
    tools::SurfaceRecipe s = Surface(Placing::kPlanarLwo2);
    s.textures.resize(300, s.textures[0]);
    for (size_t k = 0; k < s.textures.size(); ++k) s.textures[k].image = "i" + std::to_string(k % 280) + ".png";
    tools::LayeredWriter w("LWO2");
    w.UseSurface(w.AddSurface(s));
    w.AddLayer(0);
    for (int k = 0; k < 3; ++k) w.AddPoint(float(k & 1), float(k >> 1), 0);
    w.AddPolygon({0, 1, 2});
    EXPECT_NE(FrontView(w.Build(), 16, 16, &counting).pixels(), nullptr);
    EXPECT_EQ(counting.finds.load(), int{BoundTextures::kMostImages});
}

}  // namespace
}  // namespace qavren
