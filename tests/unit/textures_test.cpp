// The texture records: generated layers of all three forms read back as
// written; damaged texture data never fails the read nor reads outside the
// object; the textured corpus's manifest as an oracle of the image names;
// the blending rules against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "object/texture_blend.h"
#include "tests/unit/surface_reading.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::TextureRecipe;

std::string Text(const TextName& n) { return std::string(reinterpret_cast<const char*>(n.bytes), n.length); }

// A quad on surface "Tex" with `layers`, in `form`.
Bytes TexturedQuad(const char* form, const std::vector<TextureRecipe>& layers) {
    tools::SurfaceRecipe recipe;
    recipe.name = "Tex";
    recipe.textures = layers;
    if (std::string(form) == "LWOB") {
        tools::LwoWriter w;
        for (int k = 0; k < 4; ++k) w.AddPoint(float(k & 1), float(k >> 1), 0);
        w.AddSurface(recipe);
        w.AddPolygon({0, 1, 3, 2}, 1);
        return w.Build();
    }
    tools::LayeredWriter w(form);
    w.UseSurface(w.AddSurface(recipe));
    w.AddLayer(0);
    for (int k = 0; k < 4; ++k) w.AddPoint(float(k & 1), float(k >> 1), 0);
    w.AddPolygon({0, 1, 3, 2});
    return w.Build();
}

struct LayerCase {
    const char* name;
    std::vector<TextureRecipe> layers;
};

std::vector<LayerCase> LayerCases() {
    TextureRecipe base;
    std::vector<LayerCase> cases = {{"planar", {base}}};
    for (uint16_t p = 1; p <= 5; ++p) {
        TextureRecipe t = base;
        t.projection = p;
        t.axis = static_cast<uint16_t>(p % 3);
        t.wrap_width = static_cast<uint16_t>(p % 4);
        t.wrap_height = static_cast<uint16_t>((p + 1) % 4);
        t.world = p % 2;
        t.negative = p == 2;
        t.pixel_blending = p != 3;
        t.opacity = 0.25f * static_cast<float>(p % 4);
        t.blend = static_cast<uint16_t>(p + 2);
        t.repeat_width = 2.0f + p;
        t.repeat_height = 0.5f;
        t.enabled = p != 4;
        if (p == 5) t.uv_map = "Texture";
        t.image = "PC:images/" + std::to_string(p) + "_noalpha.png";
        cases.push_back({("projection" + std::to_string(p)).c_str(), {t}});
    }
    // Three layers written top first: LWO2 and LWO3 sort them by ordinal.
    std::vector<TextureRecipe> stack(3, base);
    for (int k = 0; k < 3; ++k) {
        stack[k].image = "layer" + std::to_string(k) + ".jpg";
        stack[k].ordinal = std::string(1, static_cast<char>(0x90 - 8 * k));
    }
    cases.push_back({"stack", stack});
    return cases;
}

// What each form keeps of a recipe: LWOB has no rotation, repeats, UV
// maps, blend modes or enable switch, and no UV projection.
TextureLayer Expected(const TextureRecipe& t, bool lwob) {
    TextureLayer l;
    l.projection = static_cast<Projection>(t.projection);
    l.axis = static_cast<uint8_t>(t.axis);
    for (int k = 0; k < 3; ++k) {
        l.centre[k] = t.centre[k];
        l.size[k] = t.size[k];
        l.rotation[k] = lwob ? 0 : t.rotation[k];
    }
    l.world_coordinates = t.world;
    l.wrap_width = static_cast<WrapMode>(t.wrap_width);
    l.wrap_height = static_cast<WrapMode>(t.wrap_height);
    l.opacity = t.opacity;
    l.negative = t.negative;
    l.pixel_blending = t.pixel_blending;
    if (!lwob) {
        l.repeat_width = t.repeat_width;
        l.repeat_height = t.repeat_height;
        l.blend = static_cast<BlendMode>(t.blend);
        l.enabled = t.enabled;
    }
    return l;
}

TEST(TexturesOracle, GeneratedLayersReadAsWritten) {
    for (const char* form : {"LWOB", "LWO2", "LWO3"}) {
        const bool lwob = std::string(form) == "LWOB";
        for (const LayerCase& c : LayerCases()) {
            SCOPED_TRACE(std::string(form) + " " + c.name);
            const bool uv = c.layers[0].projection == 5;
            Read r(TexturedQuad(form, c.layers));
            ASSERT_EQ(r.status, 0);
            ASSERT_EQ(r.surfaces.surface_count(), 2u);
            const SurfaceTextures& t = r.surfaces.textures(1);
            if (lwob && uv) {  // LWOB has no UV maps: a procedural texture for it
                EXPECT_EQ(t.count, 0u);
                EXPECT_EQ(t.skipped, 1u);
                continue;
            }
            ASSERT_EQ(t.count, c.layers.size());
            EXPECT_EQ(t.skipped, 0u);
            for (uint32_t k = 0; k < t.count; ++k) {
                // Sorted by ordinal: the stack comes back bottom (lowest ordinal) first.
                const TextureRecipe& want = lwob ? c.layers[k] : c.layers[t.count - 1 - k];
                const TextureLayer e = Expected(want, lwob);
                const TextureLayer& got = r.surfaces.layer(1, k);
                EXPECT_EQ(Text(got.image), want.image);
                EXPECT_EQ(got.projection, e.projection);
                EXPECT_EQ(got.axis, e.axis);
                for (int i = 0; i < 3; ++i) {
                    EXPECT_EQ(got.centre[i], e.centre[i]);
                    EXPECT_EQ(got.size[i], e.size[i]);
                    EXPECT_EQ(got.rotation[i], e.rotation[i]);
                }
                EXPECT_EQ(got.world_coordinates, e.world_coordinates);
                EXPECT_EQ(got.wrap_width, e.wrap_width);
                EXPECT_EQ(got.wrap_height, e.wrap_height);
                EXPECT_EQ(got.repeat_width, e.repeat_width);
                EXPECT_EQ(got.repeat_height, e.repeat_height);
                EXPECT_EQ(Text(got.uv_map), lwob ? "" : want.uv_map);
                EXPECT_EQ(got.blend, e.blend);
                EXPECT_EQ(got.opacity, e.opacity);
                EXPECT_EQ(got.negative, e.negative);
                EXPECT_EQ(got.pixel_blending, e.pixel_blending);
                EXPECT_EQ(got.enabled, e.enabled);
                EXPECT_EQ(got.clip_index, lwob ? 0u : (c.layers.size() == 1 ? 1u : 3u - k));
            }
        }
    }
}

bool Inside(const TextName& n, const Bytes& bytes, const Read& r) {
    const uint8_t* base = r.buffer.data();
    return n.length == 0 || (n.bytes >= base && n.bytes + n.length <= base + bytes.size());
}

// Hostile texture data: every cut of the object, random bytes written over
// the texture records, and lengths made huge. The read never fails but for
// memory, and every name it hands out lies inside the object (the
// sanitized build checks every byte it reads).
TEST(TexturesHostile, DamagedTextureDataNeverFailsTheRead) {
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (const char* form : {"LWOB", "LWO2", "LWO3"}) {
        const Bytes whole = TexturedQuad(form, LayerCases().back().layers);
        std::vector<Bytes> damaged;
        for (size_t cut = 12; cut < whole.size(); ++cut) damaged.emplace_back(whole.begin(), whole.begin() + cut);
        for (int k = 0; k < 3000; ++k) {
            Bytes b = whole;
            for (uint32_t n = 1 + next(4); n; --n) {
                const size_t at = 80 + next(static_cast<uint32_t>(b.size() - 80));
                b[at] = next(3) ? static_cast<uint8_t>(next(256)) : 0xFF;
            }
            damaged.push_back(b);
        }
        for (const Bytes& b : damaged) {
            Read r(b);
            if (r.status == status::kCorrupt) continue;  // the geometry itself was cut
            ASSERT_EQ(r.status, 0) << form;
            for (uint32_t s = 0; s < r.surfaces.surface_count(); ++s) {
                const SurfaceTextures& t = r.surfaces.textures(s);
                for (uint32_t k = 0; k < t.count; ++k) {
                    const TextureLayer& l = r.surfaces.layer(s, k);
                    ASSERT_GT(l.image.length, 0u);
                    ASSERT_TRUE(Inside(l.image, b, r) && Inside(l.uv_map, b, r) && Inside(l.ordinal, b, r));
                    ASSERT_TRUE(l.opacity >= 0 && l.opacity <= 1 && l.size[0] != 0 && l.size[1] != 0 && l.size[2] != 0);
                    ASSERT_TRUE(std::isfinite(l.centre[0] + l.rotation[0] + l.repeat_width + l.repeat_height));
                }
            }
        }
    }
}

// VMAP and VMAD values written by lwogen read back in both layered forms:
// per point up to the layer's last point, per corner, RGBA colours; a value
// one point past the layer is dropped.
TEST(TexturesOracle, VertexMapValuesReadAsWritten) {
    for (const char* form : {"LWO2", "LWO3"}) {
        SCOPED_TRACE(form);
        TextureRecipe uv;
        uv.projection = 5;
        uv.uv_map = "UV";
        tools::SurfaceRecipe recipe;
        recipe.name = "Tex";
        recipe.textures = {uv};
        recipe.vertex_colours = "Paint";
        tools::LayeredWriter w(form);
        w.UseSurface(w.AddSurface(recipe));
        w.AddLayer(0);
        for (int k = 0; k < 5; ++k) w.AddPoint(float(k & 1), float(k >> 1), 0);
        w.AddPolygon({0, 1, 3, 2});
        w.AddPolygon({2, 3, 4});
        std::vector<tools::VertexMapValue> points;
        for (uint32_t p = 0; p <= 5; ++p) points.push_back({p, 0, {p * 0.25f, 1 - p * 0.125f}});
        w.AddVertexMap("TXUV", 2, "UV", points);
        w.AddVertexMap("TXUV", 2, "UV", {{4, 1, {9, 8}}, {3, 0, {7, 6}}}, true);
        w.AddVertexMap("RGBA", 4, "Paint", {{4, 0, {0.5f, 0.25f, 1, 0.75f}}});
        const Bytes bytes = w.Build();
        Read r(bytes);
        ASSERT_EQ(r.status, 0);
        const TextureRecords& t = r.surfaces.texture_records();
        const int32_t m = t.FindMap(VertexMapType::kUv, r.surfaces.layer(1, 0).uv_map);
        ASSERT_GE(m, 0);
        const VertexMapValues& v = t.map(static_cast<uint32_t>(m));
        ASSERT_EQ(v.point_count, 5u);
        for (uint32_t p = 0; p < 5; ++p) {
            EXPECT_EQ(v.points[p].point, p);
            EXPECT_EQ(v.points[p].value[0], p * 0.25f);
            EXPECT_EQ(v.points[p].value[1], 1 - p * 0.125f);
        }
        ASSERT_EQ(v.corner_count, 2u);
        EXPECT_EQ(v.corners[0].polygon, 0u);
        EXPECT_EQ(v.corners[0].point, 3u);
        EXPECT_EQ(v.corners[0].value[0], 7.0f);
        EXPECT_EQ(v.corners[1].polygon, 1u);
        EXPECT_EQ(v.corners[1].point, 4u);
        EXPECT_EQ(v.corners[1].value[1], 8.0f);
        const int32_t c = t.FindMap(VertexMapType::kColour, r.surfaces.textures(1).vertex_colours.map);
        ASSERT_GE(c, 0);
        ASSERT_EQ(t.map(static_cast<uint32_t>(c)).point_count, 1u);
        const PointValue& paint = t.map(static_cast<uint32_t>(c)).points[0];
        EXPECT_EQ(paint.point, 4u);
        EXPECT_EQ(paint.value[3], 0.75f);
        EXPECT_EQ(paint.value[1], 0.25f);
    }
}

// The textured corpus: every image the manifest lists for an object's
// colour channel is named by one of its colour layers; every other image
// it lists outside node graphs is named by one of its CLIPs.
TEST(TexturesCorpus, ManifestImagesAreInTheRecords) {
    const auto dir = testing::CorpusDir().parent_path() / "textured";
    const auto rows = testing::ManifestRows(dir);
    if (rows.empty()) GTEST_SKIP() << "no textured corpus beside the checkout";
    int objects = 0, layers = 0;
    for (const auto& f : rows) {
        ASSERT_GE(f.size(), 7u);
        SCOPED_TRACE(f[0]);
        const Bytes bytes = testing::ReadFile((dir / f[0] / f[5]).string());
        Read r(bytes);
        ASSERT_EQ(r.status, 0);
        std::set<std::string> colour, clips;
        for (uint32_t s = 0; s < r.surfaces.surface_count(); ++s) {
            for (uint32_t k = 0; k < r.surfaces.textures(s).count; ++k) {
                const TextureLayer& l = r.surfaces.layer(s, k);
                colour.insert(Text(l.image));
                ++layers;
                if (l.projection != Projection::kUv) continue;
                // A UV layer's map is there with values for its points.
                const int32_t m = r.surfaces.texture_records().FindMap(VertexMapType::kUv, l.uv_map);
                ASSERT_GE(m, 0) << Text(l.uv_map);
                EXPECT_GT(r.surfaces.texture_records().map(static_cast<uint32_t>(m)).point_count, 0u);
            }
        }
        for (uint32_t k = 0; k < r.surfaces.texture_records().clip_count(); ++k) {
            clips.insert(Text(r.surfaces.texture_records().clip(k).name));
        }
        // "name -> path (source; format; CHANNELS) | ..."
        std::string images = f[6] + " | ";
        for (size_t at = 0, end; (end = images.find(" | ", at)) != std::string::npos; at = end + 3) {
            const std::string entry = images.substr(at, end - at);
            const std::string name = entry.substr(0, entry.find(" -> "));
            const std::string channels = entry.substr(entry.rfind("; ") + 2);
            if (channels.find("COLR") != std::string::npos) {
                EXPECT_TRUE(colour.count(name)) << name;
            } else if (channels.find("NODE:") == std::string::npos && f[1] == "LWO2") {
                EXPECT_TRUE(clips.count(name)) << name;
            }
        }
        ++objects;
    }
    EXPECT_EQ(objects, 40);
    EXPECT_GT(layers, 40);
}

// The blending rules against values worked out by hand, for below = (0.5,
// 0.2, 1), texel = (0.25, 1, 0.5), opacity 0.5 and texel alpha 1.
TEST(TexturesBlend, LayersAndVertexColoursBlendAsLightWaveDoes) {
    struct Case {
        BlendMode mode;
        bool negative;
        FloatRgb want;
    };
    const Case cases[] = {
        {BlendMode::kNormal, false, {0.375f, 0.6f, 0.75f}},
        {BlendMode::kNormal, true, {0.625f, 0.1f, 0.75f}},
        {BlendMode::kAdditive, false, {0.625f, 0.7f, 1.0f}},
        {BlendMode::kSubtractive, false, {0.375f, 0.0f, 0.75f}},
        {BlendMode::kDifference, false, {0.375f, 0.5f, 0.75f}},
        {BlendMode::kMultiply, false, {0.3125f, 0.2f, 0.75f}},
        {BlendMode::kDivide, false, {1.0f, 0.2f, 1.0f}},
        {BlendMode::kAlpha, false, {0.5f, 0.2f, 1.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        TextureLayer l;
        l.blend = c.mode;
        l.negative = c.negative;
        l.opacity = 0.5f;
        const FloatRgb got = BlendLayer(l, {0.5f, 0.2f, 1.0f}, {0.25f, 1.0f, 0.5f}, 1.0f);
        EXPECT_FLOAT_EQ(got.r, c.want.r);
        EXPECT_FLOAT_EQ(got.g, c.want.g);
        EXPECT_FLOAT_EQ(got.b, c.want.b);
        // Half the image's alpha is half the opacity; a disabled layer is no layer.
        l.opacity = 1.0f;
        const FloatRgb half = BlendLayer(l, {0.5f, 0.2f, 1.0f}, {0.25f, 1.0f, 0.5f}, 0.5f);
        EXPECT_FLOAT_EQ(half.r, got.r);
        l.enabled = false;
        EXPECT_FLOAT_EQ(BlendLayer(l, {0.5f, 0.2f, 1.0f}, {0.25f, 1.0f, 0.5f}, 1.0f).g, 0.2f);
    }
    // colour (1 + (vertex - 1) intensity alpha): full strength multiplies,
    // alpha 0 (a point the map does not hold) leaves the colour.
    const FloatRgb tinted = ApplyVertexColour({0.8f, 0.4f, 1.0f}, {0.5f, 1.0f, 0.0f}, 1.0f, 0.5f);
    EXPECT_FLOAT_EQ(tinted.r, 0.6f);
    EXPECT_FLOAT_EQ(tinted.g, 0.4f);
    EXPECT_FLOAT_EQ(tinted.b, 0.5f);
    EXPECT_FLOAT_EQ(ApplyVertexColour({0.8f, 0.4f, 1.0f}, {0.5f, 1.0f, 0.0f}, 1.0f, 1.0f).b, 0.0f);
    EXPECT_FLOAT_EQ(ApplyVertexColour({0.8f, 0.4f, 1.0f}, {0.5f, 1.0f, 0.0f}, 0.0f, 1.0f).r, 0.8f);
}

}  // namespace
}  // namespace qavren
