// Textured drawing end to end: an image of four coloured quadrants (red top
// left, green top right, blue bottom left, white bottom right) laid on a
// unit square facing the front view must show its quadrants where
// LightWave puts them, in every image format and through each way a layer
// places it; an image that is missing or damaged leaves the surface colour,
// and vertex colours held for the left side only tint that side.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/texture_source.h"
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

// A channel read as off (0), on (1) or neither (-1).
int Level(uint8_t v) { return v > 150 ? 1 : v < 100 ? 0 : -1; }

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
            const Bytes object = Square(placing);
            ObjectBuffer buffer;
            ASSERT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), status::kOk);
            ThumbnailOptions o = ThumbnailDefaults();
            o.angle_x = o.angle_y = o.angle_z = 0;
            o.background = {ShadedBackground::Kind::kColour, 0};
            o.margin = false;
            o.textures = &memory;
            RgbaPicture picture;
            ASSERT_EQ(DrawThumbnail(buffer, 32, 32, o, &picture), status::kOk);
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

}  // namespace
}  // namespace qavren
