// Nearest-first drawing into a coverage against the painter's order it
// replaces (background, grid, then every triangle filled and outlined from
// the deepest up, all through Surface without a coverage): the same bytes,
// row padding included, on random scenes and on whole pictures.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"
#include "render/coverage.h"
#include "render/surface.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int32_t kFar = kCoordinateLimit;

int Random(std::mt19937& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
Colour RandomColour(std::mt19937& rng) { return Rgb(Random(rng, 0, 255), Random(rng, 0, 255), Random(rng, 0, 255)); }

// A triangle with colours of its own, so that a pixel given to the wrong
// triangle, or to its fill instead of its outline, shows.
struct Shape {
    Point a, b, c;
    Pen pen;
    Brush brush;
};

enum class Kind { kOverlap, kTies, kSharedEdges, kFarOff, kTiny, kHuge };

struct Scene {
    const char* name;
    Kind kind;
    int32_t width, height, shapes;
};

Point Near(std::mt19937& rng, int32_t w, int32_t h) { return {Random(rng, -w / 4, w + w / 4), Random(rng, -h / 4, h + h / 4)}; }

// Listed nearest first; about one shape in eight is of another kind.
std::vector<Shape> MakeShapes(const Scene& scene, std::mt19937& rng) {
    const int32_t w = scene.width, h = scene.height;
    std::vector<Shape> out;
    while (static_cast<int32_t>(out.size()) < scene.shapes) {
        const Kind kind = Random(rng, 0, 7) ? scene.kind : static_cast<Kind>(Random(rng, 0, 5));
        const auto add = [&](Point a, Point b, Point c) { out.push_back({a, b, c, Pen{RandomColour(rng)}, Brush{RandomColour(rng)}}); };
        switch (kind) {
        case Kind::kOverlap: {  // a tenth to a half of the canvas a side
            const int32_t s = Random(rng, std::max(2, w / 10), std::max(3, w / 2));
            const Point o = Near(rng, w, h);
            add(o, {o.x + Random(rng, -s, s), o.y + Random(rng, -s, s)}, {o.x + Random(rng, -s, s), o.y + Random(rng, -s, s)});
            break;
        }
        case Kind::kTies:  // the same corners again, in another order and colour
            if (!out.empty()) {
                const Shape& t = out[Random(rng, 0, static_cast<int>(out.size()) - 1)];
                Random(rng, 0, 1) ? add(t.b, t.c, t.a) : add(t.a, t.c, t.b);
            } else {
                add(Near(rng, w, h), Near(rng, w, h), Near(rng, w, h));
            }
            break;
        case Kind::kSharedEdges: {  // a fan around one point: outlines on shared edges
            const Point centre = Near(rng, w, h);
            Point previous = Near(rng, w, h), first = previous;
            for (int k = 0; k < 5; ++k) {
                const Point next = k == 4 ? first : Near(rng, w, h);
                add(centre, previous, next);
                previous = next;
            }
            break;
        }
        case Kind::kFarOff: {  // corners to the coordinate limit and past it
            const int32_t far[] = {-kFar, kFar, INT32_MIN, INT32_MAX, -8200, 8200};
            const auto corner = [&] {
                return Random(rng, 0, 2) ? Near(rng, w, h) : Point{far[Random(rng, 0, 5)], Random(rng, -h, 2 * h)};
            };
            add(corner(), corner(), Random(rng, 0, 1) ? corner() : Point{far[Random(rng, 0, 5)], far[Random(rng, 0, 5)]});
            break;
        }
        case Kind::kTiny: {
            const Point o = Near(rng, w, h);
            add(o, {o.x + Random(rng, -8, 8), o.y + Random(rng, -8, 8)}, {o.x + Random(rng, -8, 8), o.y + Random(rng, -8, 8)});
            break;
        }
        case Kind::kHuge:  // the whole canvas, or most of it, in one
            add({Random(rng, -3 * w, 0), Random(rng, -3 * h, 0)}, {Random(rng, w, 4 * w), Random(rng, -h, h / 2)},
                {Random(rng, -w, 2 * w), Random(rng, h, 4 * h)});
            break;
        }
    }
    out.resize(scene.shapes);
    return out;
}

// Horizontal, vertical and sloped lines in one colour, as the grid is.
void DrawLines(Surface& surface, std::mt19937 rng) {
    const Pen previous = surface.SelectPen(Pen{Rgb(20, 60, 80)});
    const int32_t w = surface.width(), h = surface.height();
    for (int k = 0; k < 12; ++k) {
        const Point a = Near(rng, w, h), b = Near(rng, w, h);
        surface.MoveTo(a.x, a.y);
        surface.LineTo(k % 3 == 0 ? b.x : a.x, k % 3 == 1 ? b.y : a.y);
        surface.LineTo(b.x, b.y);
    }
    surface.SelectPen(previous);
}

Bytes Paint(const std::vector<Shape>& shapes, int32_t w, int32_t h, uint32_t lines_seed, bool nearest_first) {
    Bytes bits(static_cast<size_t>(RowStride(w)) * h, 0xAB);
    Surface surface(bits.data(), w, h, static_cast<uint32_t>(RowStride(w)));
    const auto draw = [&](const Shape& s) {
        surface.SelectPen(s.pen);
        surface.SelectBrush(s.brush);
        surface.Triangle(s.a, s.b, s.c);
    };
    const Colour background = Rgb(0, 40, 60);
    Coverage coverage;
    if (!nearest_first) {
        surface.Fill(background);
        DrawLines(surface, std::mt19937(lines_seed));
        for (size_t k = shapes.size(); k-- > 0;) draw(shapes[k]);
        return bits;
    }
    EXPECT_EQ(coverage.Allocate(w, h), 0);
    surface.DrawNearestFirst(&coverage, nullptr);
    for (const Shape& s : shapes) draw(s);
    DrawLines(surface, std::mt19937(lines_seed));
    surface.Fill(background);
    EXPECT_TRUE(coverage.Full());
    return bits;
}

void PrintTo(const Scene& scene, std::ostream* out) { *out << scene.name; }

class NearestFirst : public ::testing::TestWithParam<Scene> {};

TEST_P(NearestFirst, PaintsWhatThePaintersOrderPaints) {
    const Scene& scene = GetParam();
    std::mt19937 rng(static_cast<uint32_t>(scene.width * 31 + scene.height + static_cast<int>(scene.kind)));
    const int rounds = scene.width * scene.height > 1000000 ? 1 : 12;
    for (int round = 0; round < rounds; ++round) {
        const std::vector<Shape> shapes = MakeShapes(scene, rng);
        const uint32_t lines_seed = rng();
        ASSERT_EQ(Paint(shapes, scene.width, scene.height, lines_seed, true),
                  Paint(shapes, scene.width, scene.height, lines_seed, false))
            << "round " << round;
    }
}

// Odd widths leave row padding and a part-filled last mask word; heights
// that are no multiple of 8 a short last band.
INSTANTIATE_TEST_SUITE_P(
    Scenes, NearestFirst,
    ::testing::Values(Scene{"overlap_800x600", Kind::kOverlap, 800, 600, 120},
                      Scene{"overlap_131x77", Kind::kOverlap, 131, 77, 300},
                      Scene{"ties_97x61", Kind::kTies, 97, 61, 200},
                      Scene{"shared_edges_800x600", Kind::kSharedEdges, 800, 600, 150},
                      Scene{"shared_edges_67x45", Kind::kSharedEdges, 67, 45, 200},
                      Scene{"far_off_800x600", Kind::kFarOff, 800, 600, 60},
                      Scene{"far_off_33x19", Kind::kFarOff, 33, 19, 200},
                      Scene{"tiny_800x600", Kind::kTiny, 800, 600, 3000},
                      Scene{"tiny_70x9", Kind::kTiny, 70, 9, 400},
                      Scene{"huge_1x5", Kind::kHuge, 1, 5, 20},
                      Scene{"huge_129x70", Kind::kHuge, 129, 70, 30},
                      Scene{"overlap_4000x3000", Kind::kOverlap, 4000, 3000, 40}),
    [](const ::testing::TestParamInfo<Scene>& param) { return std::string(param.param.name); });

// Whole pictures: DrawPicture as it draws, and with the coverage's
// allocation failed, which draws the plain way. Random models, with points from well inside to far outside the canvas (depth factors
// near 0 and far above 1), polygons of 1 to 7 points; some walls cover the
// whole canvas, so that painting stops early.
TEST(NearestFirstPictures, EqualThePlainOnes) {
    std::mt19937 rng(29);
    const Point sizes[] = {{800, 600}, {333, 201}};
    for (int round = 0; round < 24; ++round) {
        tools::LwoWriter w;
        const int points = Random(rng, 3, 60);
        for (int k = 0; k < points; ++k) {
            const float z = Random(rng, 0, 4) ? static_cast<float>(Random(rng, -20, 20)) : static_cast<float>(Random(rng, -400, -100));
            w.AddPoint(static_cast<float>(Random(rng, -50, 50)), static_cast<float>(Random(rng, -50, 50)), z);
        }
        for (int k = Random(rng, 1, 80); k > 0; --k) {
            std::vector<uint16_t> polygon(Random(rng, 0, 5) ? 3 : Random(rng, 1, 7));
            for (uint16_t& p : polygon) p = static_cast<uint16_t>(Random(rng, 0, points - 1));
            w.AddPolygon(polygon);
        }
        const Bytes object = w.Build();
        ObjectBuffer buffer;
        ASSERT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), 0);
        const Point size = sizes[round % 2];
        RenderSettings settings;
        settings.mode = 1;
        settings.width = size.x;
        settings.height = size.y;
        PictureLayout layout;
        ASSERT_TRUE(ComputeLayout(size.x, size.y, &layout));
        Bytes nearest_first(layout.image_size, 0xAB), plain(layout.image_size, 0xCD);
        ASSERT_EQ(DrawPicture(buffer, RequestOf(settings), layout, nearest_first.data()), 0);
        platform::FailAllocationAfter(4);  // the coverage, after the model's three blocks
        ASSERT_EQ(DrawPicture(buffer, RequestOf(settings), layout, plain.data()), 0);
        platform::FailAllocationAfter(0);
        ASSERT_EQ(nearest_first, plain) << "round " << round;
    }
}

}  // namespace
}  // namespace qavren
