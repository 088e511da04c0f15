// The surfaces reader: generated objects of all four forms against what the
// writer wrote; real files against values read off their bytes by a
// separate script; damaged surface data read as the default surface while
// the object still draws; every allocation failure reported, none leaked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "object/geometry.h"
#include "object/model.h"
#include "object/surfaces.h"
#include "platform/memory.h"
#include "tests/unit/picture_code.h"
#include "tests/unit/surface_reading.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::LayeredWriter;
using tools::LwoWriter;
using tools::SurfaceRecipe;

std::string NameOf(const ObjectSurfaces& s, uint32_t surface) {
    const SurfaceName n = s.name(surface);
    return std::string(reinterpret_cast<const char*>(n.bytes), n.length);
}

// What the reader must make of a recipe, the same in every form: the writer
// picks values each encoding holds exactly (shares in 256ths), so only the
// smoothing rules differ.
SurfaceLook Expected(const SurfaceRecipe& recipe, bool lwob_layout) {
    SurfaceLook l;
    if (!recipe.described) return l;
    l.red = recipe.red;
    l.green = recipe.green;
    l.blue = recipe.blue;
    l.diffuse = recipe.diffuse;
    l.luminosity = recipe.luminosity;
    l.double_sided = recipe.double_sided;
    if (recipe.smooth) l.smoothing = lwob_layout && recipe.angle == 0 ? 1.562f : recipe.angle;
    return l;
}

void ExpectLook(const SurfaceLook& got, const SurfaceLook& want) {
    EXPECT_EQ(got.red, want.red);
    EXPECT_EQ(got.green, want.green);
    EXPECT_EQ(got.blue, want.blue);
    EXPECT_EQ(got.diffuse, want.diffuse);
    EXPECT_EQ(got.luminosity, want.luminosity);
    EXPECT_EQ(got.smoothing, want.smoothing);
    EXPECT_EQ(got.double_sided, want.double_sided);
}

SurfaceRecipe Recipe(const char* name, uint8_t red, uint8_t green, uint8_t blue) {
    SurfaceRecipe s;
    s.name = name;
    s.red = red;
    s.green = green;
    s.blue = blue;
    return s;
}

struct Random {
    uint32_t seed;
    uint32_t operator()(uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    }
};

SurfaceRecipe RandomRecipe(Random& next, int k) {
    SurfaceRecipe s;
    s.name = "S";
    s.name += std::to_string(k);
    s.name.append(next(6), 'x');
    s.red = static_cast<uint8_t>(next(256));
    s.green = static_cast<uint8_t>(next(256));
    s.blue = static_cast<uint8_t>(next(256));
    s.smooth = next(2);
    s.angle = next(3) ? static_cast<float>(next(315) + 1) / 100 : 0.0f;
    s.diffuse = static_cast<float>(next(513)) / 256;
    s.luminosity = next(2) ? static_cast<float>(next(257)) / 256 : 0.0f;
    s.float_shares = next(2);
    s.double_sided = next(4) == 0;
    s.described = next(6) != 0;
    return s;
}

// A random LWOB object: surface words in and out of the names' range, some
// negative (read as ordinary records, naming |word|); the expected number of
// each polygon's surface in *expected.
Bytes RandomLwob(Random& next, std::vector<SurfaceRecipe>* recipes, std::vector<uint32_t>* expected) {
    LwoWriter w;
    const uint32_t points = 3 + next(20);
    for (uint32_t k = 0; k < points; ++k) w.AddPoint(float(next(100)), float(next(100)), float(next(100)));
    const int names = static_cast<int>(next(6));
    for (int k = 0; k < names; ++k) {
        recipes->push_back(RandomRecipe(next, k));
        w.AddSurface(recipes->back());
    }
    for (uint32_t p = 0, count = 1 + next(25); p < count; ++p) {
        std::vector<uint16_t> indices(1 + next(6));
        for (uint16_t& i : indices) i = static_cast<uint16_t>(next(points));
        const int word = static_cast<int>(next(names + 3)) * (next(4) ? 1 : -1);
        w.AddPolygon(indices, static_cast<int16_t>(word));
        const uint32_t number = static_cast<uint32_t>(std::abs(word));
        expected->push_back(number <= static_cast<uint32_t>(names) ? number : 0);
    }
    return w.Build();
}

// A random object of a layered form: layers (hidden ones in LWO2 and LWO3),
// polygon types that are not drawn, polygons with and without surfaces,
// detail polygons in LWLO, PTAG numbers in the 4-byte form.
Bytes RandomLayered(const char* form, Random& next, std::vector<SurfaceRecipe>* recipes,
                    std::vector<uint32_t>* expected) {
    LayeredWriter w(form);
    const bool lwlo = std::strcmp(form, "LWLO") == 0;
    const int names = static_cast<int>(next(6));
    for (int k = 0; k < names; ++k) recipes->push_back(RandomRecipe(next, k));
    for (const SurfaceRecipe& s : *recipes) w.AddSurface(s);
    if (next(2)) w.WriteLongPolygonNumbers();
    for (uint32_t l = 0, layers = 1 + next(3); l < layers; ++l) {
        w.AddLayer(static_cast<uint16_t>(l), !lwlo && next(4) == 0 ? 1 : 0, "layer");
        const uint32_t points = 3 + next(20);
        for (uint32_t k = 0; k < points; ++k) w.AddPoint(float(next(100)), float(next(100)), float(next(100)));
        for (uint32_t p = 0, count = next(20); p < count; ++p) {
            w.UseSurface(names ? static_cast<int>(next(names + 1)) - 1 : -1);
            std::vector<uint32_t> indices(1 + next(6));
            for (uint32_t& i : indices) i = next(points);
            if (lwlo && names && next(5) == 0) {
                std::vector<std::pair<std::vector<uint32_t>, int>> details(next(3));
                for (auto& [detail, surface] : details) {
                    detail = {next(points), next(points), next(points)};
                    surface = static_cast<int>(next(names));
                }
                w.AddDetailedPolygon(indices, static_cast<int>(next(names)), details);
                continue;
            }
            w.AddPolygon(indices, lwlo || next(5) ? "FACE" : next(2) ? "CURV" : "PTCH", next(4) == 0);
        }
    }
    *expected = w.DrawnSurfaces();
    return w.Build();
}

TEST(SurfacesOracle, GeneratedObjectsReadAsWritten) {
    for (const char* form : {"LWOB", "LWLO", "LWO2", "LWO3"}) {
        const bool lwob_layout = std::strcmp(form, "LWOB") == 0 || std::strcmp(form, "LWLO") == 0;
        for (uint32_t seed = 1; seed <= 40; ++seed) {
            SCOPED_TRACE(std::string(form) + " seed " + std::to_string(seed));
            Random next{seed * 7919u};
            std::vector<SurfaceRecipe> recipes;
            std::vector<uint32_t> expected;
            const Bytes bytes = std::strcmp(form, "LWOB") == 0 ? RandomLwob(next, &recipes, &expected)
                                                                 : RandomLayered(form, next, &recipes, &expected);
            const Read r(bytes);
            ASSERT_EQ(r.status, 0);
            ASSERT_EQ(r.polygons, expected.size());
            ASSERT_EQ(r.surfaces.polygon_count(), expected.size());
            // Without surfaces of their own, LWO2 and LWO3 objects still list the tag "Default".
            const bool default_tag = recipes.empty() && !lwob_layout;
            ASSERT_EQ(r.surfaces.surface_count(), recipes.size() + (default_tag ? 2 : 1));
            ExpectLook(r.surfaces.look(0), SurfaceLook{});
            std::vector<uint32_t> using_each(r.surfaces.surface_count());
            for (uint32_t k = 0; k < expected.size(); ++k) {
                ASSERT_EQ(r.surfaces.SurfaceOf(k), expected[k]) << "polygon " << k;
                ++using_each[expected[k]];
            }
            for (uint32_t s = 1; s <= recipes.size(); ++s) {
                SCOPED_TRACE("surface " + std::to_string(s));
                EXPECT_EQ(NameOf(r.surfaces, s), recipes[s - 1].name);
                EXPECT_EQ(r.surfaces.described(s), recipes[s - 1].described);
                ExpectLook(r.surfaces.look(s), Expected(recipes[s - 1], lwob_layout));
            }
            for (uint32_t s = 0; s < using_each.size(); ++s) EXPECT_EQ(r.surfaces.polygons_using(s), using_each[s]);
        }
    }
}

// Real files, read off their bytes by a short independent script: a few
// surfaces of each form, with the smoothing angle in degrees and the drawn
// polygons that use each.
struct CorpusSurface {
    const char* file;
    const char* name;
    uint8_t colour[3];
    double smoothing;
    uint32_t polygons;
};

const CorpusSurface kCorpusSurfaces[] = {
    {"lwo/revival_cow_body.lwo", "CowHide", {242, 239, 219}, 91.0, 804},  // its own SMAN
    {"lwo/revival_cow_body.lwo", "CowEyes", {80, 50, 20}, 89.5, 36},      // FLAG 4, no SMAN
    {"lwo/helix_teddy.lwo", "Bearfeet", {250, 184, 189}, 89.5, 84},
    {"lwo/sage_maison.lwo", "Toit", {50, 50, 50}, 0.0, 4},
    {"lwo/sage_maison.lwo", "Sol", {180, 180, 180}, 0.0, 1},
    {"lwo2/lwlo_revival_sht1_all.lwo", "f_sphere", {0, 128, 192}, 89.5, 96},
    {"lwo2/lwlo_revival_sht1_all.lwo", "f_sphere metall", {153, 146, 182}, 89.5, 129},
    {"lwo2/lwlo_revival_ilenix_all3.lwo", "in engine", {255, 0, 0}, 0.0, 2},
    {"lwo2/lwlo_revival_ilenix_all3.lwo", "Default", {200, 200, 200}, 0.0, 522},  // no SURF
    {"lwo2/assimp_hierarchy_4layers.lwo", "RedBox", {255, 0, 0}, 89.5, 6},
    {"lwo2/assimp_hierarchy_4layers.lwo", "Default", {200, 200, 200}, 0.0, 294},
    {"lwo2/lwostrut_box6_hidden.lwo", "Default", {200, 200, 200}, 0.0, 6},  // the hidden layer's not counted
    {"lwo2/threelwo_lwo2_sign_vx4.lwo", "Arrow - Blue Gradient", {96, 160, 240}, 55.0, 262},
    {"lwo2/threelwo_lwo2_sign_vx4.lwo", "Lights - Glass", {10, 10, 10}, 89.5, 21240},  // 4-byte PTAG numbers
    {"lwo2/blenderlwo_lwo3_box3_uv_layers.lwo", "Left", {255, 0, 0}, 0.0, 865},
    {"lwo2/blenderlwo_lwo3_box3_uv_layers.lwo", "Back", {255, 128, 0}, 0.0, 1},
    {"lwo2/threelwo_lwo3_lines_points.lwo", "Lines", {128, 255, 128}, 0.0, 419},  // Standard, not the BSDF
    {"lwo2/threelwo_lwo3_cube00_basic.lwo", "Default", {128, 128, 128}, 0.0, 6},  // Principled BSDF
    {"lwo2/blenderlwo_lwo3_interceptor_hull.lwo", "inc_bridge", {219, 219, 219}, 25.0, 480},
    {"lwo2/blenderlwo_lwo3_interceptor_hull.lwo", "inc_hull_darker", {219, 219, 219}, 40.0, 2026},
    {"lwo2/blenderlwo_lwo3_interceptor_hull.lwo", "inc_insignia_red", {255, 45, 45}, 35.0, 454},
};

TEST(SurfacesCorpus, RealFilesReadAsTheirBytesSay) {
    const std::filesystem::path corpus = testing::CorpusDir().parent_path();
    if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
    for (const CorpusSurface& c : kCorpusSurfaces) {
        SCOPED_TRACE(std::string(c.file) + " " + c.name);
        const Read r(testing::ReadFile((corpus / c.file).string()));
        ASSERT_EQ(r.status, 0);
        uint32_t found = 0;
        for (uint32_t s = 1; s < r.surfaces.surface_count(); ++s) {
            if (NameOf(r.surfaces, s) != c.name) continue;
            ++found;
            const SurfaceLook& l = r.surfaces.look(s);
            EXPECT_EQ(l.red, c.colour[0]);
            EXPECT_EQ(l.green, c.colour[1]);
            EXPECT_EQ(l.blue, c.colour[2]);
            EXPECT_NEAR(l.smoothing * 180.0 / 3.141592653589793, c.smoothing, 0.05);
            EXPECT_EQ(r.surfaces.polygons_using(s), c.polygons);
        }
        EXPECT_EQ(found, 1u);
    }
}

TEST(SurfacesDamaged, DefaultSurfaceWhereTheDamageReachesAndTheObjectDraws) {
    for (const tools::SurfaceCase& c : tools::DamagedSurfaceObjects()) {
        SCOPED_TRACE(c.name);
        const Read r(c.bytes);
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.polygons, 6u);
        for (uint32_t k = 0; k < 6; ++k) {
            const uint8_t* want = k ? c.others : c.first;
            const SurfaceLook& l = r.surfaces.LookOf(k);
            EXPECT_EQ((std::vector<int>{l.red, l.green, l.blue}), (std::vector<int>{want[0], want[1], want[2]}))
                << "polygon " << k;
        }
        for (int32_t mode : {0, 1}) EXPECT_EQ(testing::PictureCode(c.bytes, mode, 64, 48, 1), 0);
    }
}

// Every cut of a surface's data (its stated length and bytes shortened
// alike, the geometry untouched) reads without a fault, and never a colour
// the surface did not have.
TEST(SurfacesDamaged, EveryCutOfASurfaceReads) {
    for (const char* form : {"LWOB", "LWO2", "LWO3"}) {
        SurfaceRecipe recipe = Recipe("Cut", 10, 20, 30);
        recipe.smooth = recipe.float_shares = recipe.double_sided = true;
        recipe.angle = recipe.diffuse = 0.5f;
        recipe.luminosity = 0.25f;
        LayeredWriter layered(form);
        LwoWriter lwob;
        Bytes whole;
        if (std::strcmp(form, "LWOB") == 0) {
            for (int k = 0; k < 3; ++k) lwob.AddPoint(float(k), float(k * k), 1.f);
            lwob.AddSurface(recipe);
            lwob.AddPolygon({0, 1, 2}, 1);
            whole = lwob.Build();
        } else {
            for (int k = 0; k < 3; ++k) layered.AddPoint(float(k), float(k * k), 1.f);
            layered.UseSurface(layered.AddSurface(recipe));
            layered.AddPolygon({0, 1, 2});
            whole = layered.Build();
        }
        // The surface is the last chunk.
        size_t at = 12;
        while (at + 8 + ByteReader::LoadU32(&whole[at + 4]) < whole.size()) {
            at += 8 + ((ByteReader::LoadU32(&whole[at + 4]) + 1) & ~1u);
        }
        const uint32_t length = ByteReader::LoadU32(&whole[at + 4]);
        ASSERT_GT(length, 30u) << form;
        for (uint32_t cut = 0; cut <= length; ++cut) {
            SCOPED_TRACE(std::string(form) + " cut to " + std::to_string(cut));
            Bytes b(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(at + 8 + cut));
            for (int i = 0; i < 4; ++i) b[at + 4 + i] = static_cast<uint8_t>(cut >> (24 - 8 * i));
            const uint32_t form_length = static_cast<uint32_t>(b.size() - 8);
            for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(form_length >> (24 - 8 * i));
            const Read r(b);
            ASSERT_EQ(r.status, 0);
            const SurfaceLook& l = r.surfaces.LookOf(0);
            EXPECT_TRUE((l.red == 200 && l.green == 200 && l.blue == 200) || (l.red == 10 && l.green == 20 && l.blue == 30));
            if (cut == length) ExpectLook(l, Expected(recipe, std::strcmp(form, "LWOB") == 0));
        }
    }
}

TEST(SurfacesMemory, EachFailedAllocationIsReportedAndNothingLeaks) {
    LayeredWriter w("LWO3");
    for (int k = 0; k < 4; ++k) w.AddPoint(float(k), 1.f, float(k & 1));
    w.UseSurface(w.AddSurface(Recipe("A", 1, 2, 3)));
    w.AddPolygon({0, 1, 2});
    w.UseSurface(w.AddSurface(Recipe("B", 4, 5, 6)));
    w.AddPolygon({1, 2, 3});
    const Bytes bytes = w.Build();
    ObjectBuffer buffer;
    ASSERT_EQ(buffer.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    ObjectModel model;
    ASSERT_EQ(ReadModel(buffer, kEveryForm, ModelParts::kWithSurfaces, &model), 0);
    const int64_t live = platform::LiveBlockCount();
    Status s = status::kNoMemory;
    uint32_t failures = 0;
    for (uint32_t n = 1; s == status::kNoMemory && n < 20; ++n) {
        ObjectSurfaces surfaces;
        platform::FailAllocationAfter(n);
        s = surfaces.Read(buffer, model.form, model.polygons);
        platform::FailAllocationAfter(0);
        if (s == status::kNoMemory) {
            ++failures;
        } else {
            EXPECT_EQ(surfaces.LookOf(1).blue, 6);
        }
    }
    EXPECT_EQ(s, 0);
    EXPECT_GE(failures, 4u);  // looks, names, polygon surfaces, the sorted names
    EXPECT_EQ(platform::LiveBlockCount(), live);
}

}  // namespace
}  // namespace qavren
