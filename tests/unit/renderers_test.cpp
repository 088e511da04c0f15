// Tests for DrawWireframe and DrawPolygons on hand-worked pictures: clipping,
// facing, painting order, the fan rule, failures and the pen and brush left
// on the surface.
#include "render/renderers.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

#include "platform/memory.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::LwoWriter;
using Renderer = Status (*)(const ObjectModel&, Surface&, int32_t, int32_t, const ModelTurn&);

// DrawPolygons with the default threads, as a Renderer.
Status Polygons(const ObjectModel& model, Surface& surface, int32_t w, int32_t h, const ModelTurn& turn) {
    return DrawPolygons(model, surface, w, h, turn);
}

constexpr Colour kBackground = Rgb(0, 0, 64), kWhite = Rgb(255, 255, 255), kGrey = Rgb(128, 128, 128),
                 kBlack = Rgb(0, 0, 0);

// A surface, 800 x 600 unless said, filled with the background.
struct Canvas {
    std::vector<uint8_t> bits;
    Surface surface;
    explicit Canvas(int32_t w = 800, int32_t h = 600)
        : bits(size_t(RowStride(uint32_t(w)) * uint32_t(h))), surface(bits.data(), w, h, uint32_t(RowStride(uint32_t(w)))) {
        surface.Fill(kBackground);
    }
    Colour At(int32_t x, int32_t y) const { return surface.PixelAt(x, y); }
    int Count(Colour c) const {
        int n = 0;
        for (int32_t y = 0; y < surface.height(); ++y)
            for (int32_t x = 0; x < surface.width(); ++x) n += At(x, y) == c;
        return n;
    }
    bool Untouched() const { return Count(kBackground) == surface.width() * surface.height(); }
};

Status Draw(Renderer render, const Bytes& bytes, Canvas& canvas) {
    ObjectBuffer buffer;
    if (!bytes.empty()) {
        EXPECT_EQ(buffer.LoadFromMemory(bytes.data(), uint32_t(bytes.size())), 0);
    }
    ObjectModel model;
    if (const Status s = ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model); s != status::kOk) return s;
    return render(model, canvas.surface, canvas.surface.width(), canvas.surface.height(), ModelTurn());
}

// (0,0,0), (1,0,0), (0,1,0): on 800 x 600 they project to (100,600),
// (700,600), (100,0), and listed 0,1,2 they run anticlockwise on the canvas.
LwoWriter Triangle012(std::vector<uint16_t> order = {0, 1, 2}) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddPoint(1, 0, 0);
    w.AddPoint(0, 1, 0);
    w.AddPolygon(order);
    return w;
}

// A FORM of the given type holding just the given chunks.
Bytes Form(const char* type, std::vector<std::pair<const char*, Bytes>> chunks) {
    Bytes body(type, type + 4);
    for (const auto& [tag, data] : chunks) LwoWriter::AppendChunk(body, tag, data);
    Bytes file = {'F', 'O', 'R', 'M'};
    LwoWriter::PutU32(file, uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

TEST(DrawWireframe, TriangleOutlineLosesTheEdgeOnRow600) {
    Canvas c;
    ASSERT_EQ(Draw(DrawWireframe, Triangle012().Build(), c), 0);
    for (int32_t y = 0; y < 600; ++y) ASSERT_EQ(c.At(100, y), kWhite) << y;
    for (int32_t k = 1; k < 600; ++k) ASSERT_EQ(c.At(100 + k, k), kWhite) << k;
    EXPECT_EQ(c.Count(kWhite), 600 + 599);  // nothing on row 599 but the ends
    EXPECT_EQ(c.surface.SelectPen(kBlackPen).colour, kWhitePen.colour);
    EXPECT_EQ(c.surface.SelectBrush(kWhiteBrush).colour, kWhiteBrush.colour);
}

TEST(Renderers, EmptyPolsDrawsNothingAndOnlyTheWireframeChangesThePen) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    for (Renderer render : {DrawWireframe, Polygons}) {
        Canvas c;
        EXPECT_EQ(Draw(render, w.Build(), c), 0);
        EXPECT_TRUE(c.Untouched());
        EXPECT_EQ(c.surface.SelectPen(kBlackPen).colour, render == DrawWireframe ? kWhite : kBlack);
        EXPECT_EQ(c.surface.SelectBrush(kWhiteBrush).colour, kWhiteBrush.colour);
    }
}

TEST(DrawWireframe, BadRecordStopsTheWalkAndKeepsWhatWasDrawn) {
    LwoWriter w = Triangle012();
    w.AddPoint(1, 1, 0);
    w.AddPolygon({1, 3, 2});  // (700,600) (700,0) (100,0)
    w.AddPolygon(std::vector<uint16_t>{});
    w.AddPolygon({0, 1, 3});
    Canvas c;
    EXPECT_EQ(Draw(DrawWireframe, w.Build(), c), status::kCorrupt);
    EXPECT_EQ(c.At(100, 300), kWhite);
    EXPECT_EQ(c.At(700, 300), kWhite);
    EXPECT_EQ(c.At(650, 50), kBackground);  // on the fourth polygon's diagonal
    EXPECT_EQ(c.surface.SelectPen(kBlackPen).colour, kWhitePen.colour);
}

TEST(DrawPolygons, AnticlockwiseTriangleIsGreyClockwiseWhiteOutlinedBlack) {
    Canvas grey, white;
    ASSERT_EQ(Draw(Polygons, Triangle012().Build(), grey), 0);
    ASSERT_EQ(Draw(Polygons, Triangle012({0, 2, 1}).Build(), white), 0);
    EXPECT_EQ(grey.At(200, 400), kGrey);
    EXPECT_EQ(white.At(200, 400), kWhite);
    for (const Canvas* c : {&grey, &white}) {
        EXPECT_EQ(c->At(100, 300), kBlack);
        EXPECT_EQ(c->At(400, 300), kBlack);  // on the diagonal
        EXPECT_EQ(c->At(500, 100), kBackground);
    }
}

// Corners that project onto one line face neither way: grey, in either
// order. On a 64 x 64 canvas a model spanning (0, 0) to (64, 64) is drawn at
// scale 1, so these corners land exactly on the canvas line through
// (12.5, 17), (9.25, 17.75) and (2.75, 19.25); truncated to whole pixels
// they are no longer on one line, and one pixel of the fill shows past the
// outline.
TEST(DrawPolygons, CornersOnOneLineAreGreyInEitherOrder) {
    for (const std::vector<uint16_t>& order : {std::vector<uint16_t>{2, 3, 4}, std::vector<uint16_t>{4, 3, 2}}) {
        LwoWriter w;
        w.AddPoint(0, 0, 0);
        w.AddPoint(64, 64, 0);
        w.AddPoint(12.5f, 47, 0);
        w.AddPoint(9.25f, 46.25f, 0);
        w.AddPoint(2.75f, 44.75f, 0);
        w.AddPolygon(order);
        Canvas canvas(64, 64);
        ASSERT_EQ(Draw(Polygons, w.Build(), canvas), 0);
        EXPECT_EQ(canvas.Count(kWhite), 0);
        EXPECT_GT(canvas.Count(kGrey), 0);
    }
}

TEST(DrawPolygons, OutlineUsesTheCallersPenAndPenAndBrushArePutBack) {
    constexpr Pen kRedPen{Rgb(255, 0, 0)};
    constexpr Brush kGreenBrush{Rgb(0, 255, 0)};
    Canvas c;
    c.surface.SelectPen(kRedPen);
    c.surface.SelectBrush(kGreenBrush);
    ASSERT_EQ(Draw(Polygons, Triangle012().Build(), c), 0);
    EXPECT_EQ(c.At(100, 300), kRedPen.colour);
    EXPECT_EQ(c.At(200, 400), kGrey);
    EXPECT_EQ(c.surface.SelectPen(kBlackPen).colour, kRedPen.colour);
    EXPECT_EQ(c.surface.SelectBrush(kWhiteBrush).colour, kGreenBrush.colour);
}

// Within the unit square x maps to 100 + 600x and y to 600 - 600y. A (white,
// the lower-left half) and B (grey, the triangle (0,0) (1,0) (1,1)) overlap
// around model point (0.5, 0.2), pixel (400, 480).
// Negative z keeps the full scale, so only the depth differs.
Colour OverlapColour(float za, float zb, bool a_first) {
    LwoWriter w;
    w.AddPoint(0, 0, za);
    w.AddPoint(1, 0, za);
    w.AddPoint(0, 1, za);
    w.AddPoint(0, 0, zb);
    w.AddPoint(1, 0, zb);
    w.AddPoint(1, 1, zb);
    if (a_first) w.AddPolygon({0, 2, 1});
    w.AddPolygon({3, 4, 5});
    if (!a_first) w.AddPolygon({0, 2, 1});
    Canvas c;
    EXPECT_EQ(Draw(Polygons, w.Build(), c), 0);
    return c.At(400, 480);
}

TEST(DrawPolygons, SmallerDepthIsPaintedLastWhateverTheFileOrder) {
    for (bool a_first : {true, false}) {
        EXPECT_EQ(OverlapColour(-1, -2, a_first), kGrey);
        EXPECT_EQ(OverlapColour(-2, -1, a_first), kWhite);
    }
}

// The unit square projects to (100,600) (700,600) (700,0) (100,0).
TEST(DrawPolygons, SquareIsFannedIntoTwoTrianglesFromItsFirstPoint) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddPoint(1, 0, 0);
    w.AddPoint(1, 1, 0);
    w.AddPoint(0, 1, 0);
    w.AddPolygon({0, 3, 2, 1});
    Canvas c;
    ASSERT_EQ(Draw(Polygons, w.Build(), c), 0);
    EXPECT_EQ(c.At(200, 500), kBlack);  // diagonal p0-p2 of the fan
    EXPECT_EQ(c.At(200, 200), kWhite);  // the other diagonal is not an edge
    EXPECT_EQ(c.At(600, 500), kWhite);
}

// O, L1, then L2 197 times, then R2 (the unit square's corners (0,0), (0,1),
// (1,1), (1,0)): of the 198 fan triangles only the first (O, L1, L2) and the
// last (O, L2, R2) have area, the upper-left and lower-right halves, white.
LwoWriter LongPolygon(int vertices, bool after_a_triangle = false) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddPoint(1, 0, 0);
    w.AddPoint(0, 1, 0);
    w.AddPoint(1, 1, 0);
    if (after_a_triangle) w.AddPolygon({0, 1, 2});
    std::vector<uint16_t> v = {0, 2};
    v.resize(vertices - 1, 3);
    v.push_back(1);
    w.AddPolygon(v);
    return w;
}

TEST(DrawPolygons, TwoHundredVerticesMakeTheWholeFanAndTwoHundredOneNothing) {
    Canvas c;
    ASSERT_EQ(Draw(Polygons, LongPolygon(200).Build(), c), 0);
    EXPECT_EQ(c.At(220, 60), kWhite);
    EXPECT_EQ(c.At(640, 480), kWhite);
    // A bad record anywhere is found before the good one ahead of it is painted.
    Canvas none;
    EXPECT_EQ(Draw(Polygons, LongPolygon(201, true).Build(), none), status::kCorrupt);
    EXPECT_TRUE(none.Untouched());
}

TEST(DrawPolygons, OneAndTwoPointPolygonsArePaintedAsDegenerateTriangles) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddPoint(1, 1, 0);
    w.AddPolygon({0});
    Canvas dot;
    EXPECT_EQ(Draw(Polygons, w.Build(), dot), 0);
    EXPECT_TRUE(dot.Untouched());
    w.AddPolygon({0, 1});  // (100,600) to (700,0), outlined there and back
    Canvas segment;
    EXPECT_EQ(Draw(Polygons, w.Build(), segment), 0);
    EXPECT_EQ(segment.Count(kBlack), 600);
    EXPECT_EQ(segment.At(700, 0), kBlack);
    EXPECT_EQ(segment.Count(kBackground), 800 * 600 - 600);
}

// A two-point record's depth counts its first point twice: the segment from
// z = -0.1 to z = -2.3 lies at -0.83, behind the triangle at -1 and hidden by
// its fill; listed the other way round it lies at -1.57 and shows.
TEST(DrawPolygons, TwoPointRecordsAreSortedByTheirWeightedDepth) {
    for (bool forward : {true, false}) {
        LwoWriter v;
        v.AddPoint(0, 0, -1);
        v.AddPoint(1, 0, -1);
        v.AddPoint(0, 1, -1);
        v.AddPoint(0.1f, 0.1f, -0.1f);  // (160, 540)
        v.AddPoint(0.4f, 0.1f, -2.3f);  // (340, 540)
        v.AddPolygon({0, 2, 1});
        v.AddPolygon(forward ? std::vector<uint16_t>{3, 4} : std::vector<uint16_t>{4, 3});
        Canvas c;
        ASSERT_EQ(Draw(Polygons, v.Build(), c), 0);
        EXPECT_EQ(c.At(250, 540), forward ? kWhite : kBlack) << forward;
    }
}

// The triangle (0,1,2), then odd points from index 3 on and a triangle
// (0,3,1) through the first of them.
Bytes WithOddPoints(std::initializer_list<std::array<float, 3>> odd) {
    LwoWriter w = Triangle012();
    for (const auto& p : odd) w.AddPoint(p[0], p[1], p[2]);
    w.AddPolygon({0, 3, 1});
    return w.Build();
}

// What they draw is explained in render/projection.cpp.
TEST(Renderers, CoordinatesThatAreNotFiniteDrawWithoutAFault) {
    constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    for (Renderer render : {DrawWireframe, Polygons}) {
        for (const Bytes& bytes : {WithOddPoints({{kNan, 0.5f, 0}}), WithOddPoints({{0.5f, kNan, 0}}),
                                   WithOddPoints({{0.5f, 0.5f, kNan}})}) {
            Canvas c;
            EXPECT_EQ(Draw(render, bytes, c), 0);
            if (render == DrawWireframe) {
                EXPECT_EQ(c.At(100, 300), kWhite);  // the finite triangle
            }
        }
        for (const Bytes& bytes : {WithOddPoints({{kInf, 0, 0}}), WithOddPoints({{0, -kInf, 0}}),
                                   WithOddPoints({{-3e38f, 0, 0}, {3e38f, 0, 0}})}) {
            Canvas c;
            EXPECT_EQ(Draw(render, bytes, c), 0);
            EXPECT_TRUE(c.Untouched());
        }
        // A far z only clamps the depth factor: the point sits on the centre.
        Canvas c;
        EXPECT_EQ(Draw(render, WithOddPoints({{0.5f, 0.5f, 3e38f}}), c), 0);
        if (render == DrawWireframe) {
            EXPECT_EQ(c.At(250, 450), kWhite);
            EXPECT_EQ(c.At(550, 450), kWhite);
        }
    }
    // (0,3,1) with Y of point 3 NaN covers nearly the rectangle above the
    // bottom edge; its facing is NaN, which counts as turned away.
    Canvas c;
    EXPECT_EQ(Draw(Polygons, WithOddPoints({{0.5f, kNan, 0}}), c), 0);
    EXPECT_EQ(c.At(400, 100), kGrey);
}

struct Case {
    const char* name;
    Bytes bytes;
    Status expected;
};

std::vector<Case> RefusedObjects() {
    const Bytes points(12, 0), polygon = {0, 1, 0, 0, 0, 1};
    return {
        {"no data", {}, status::kNoData},
        {"not FORM", Bytes{'F', 'O', 'R', 'X', 0, 0, 0, 0, 'L', 'W', 'O', 'B'}, status::kCorrupt},
        {"LWO4", Triangle012().Build("LWO4"), status::kOtherForm},
        {"no PNTS", Form("LWOB", {{"POLS", polygon}}), status::kCorrupt},
        {"no POLS", Form("LWOB", {{"PNTS", points}}), status::kCorrupt},
    };
}

TEST(Renderers, RefusedObjectsDrawNothingAndLeaveThePen) {
    for (Renderer render : {DrawWireframe, Polygons}) {
        for (const Case& k : RefusedObjects()) {
            Canvas c;
            EXPECT_EQ(Draw(render, k.bytes, c), k.expected) << k.name;
            EXPECT_TRUE(c.Untouched()) << k.name;
            EXPECT_EQ(c.surface.SelectPen(kWhitePen).colour, kBlackPen.colour) << k.name;
        }
    }
}

// Every allocation a renderer makes (one block of points, and for polygons
// one of triangles, none per triangle) fails in turn: -4, nothing drawn,
// nothing left allocated.
TEST(Renderers, EachAllocationFailureIsNoMemoryAndFreesEverything) {
    const Bytes bytes = LongPolygon(200).Build();
    for (Renderer render : {DrawWireframe, Polygons}) {
        ObjectBuffer buffer;
        ASSERT_EQ(buffer.LoadFromMemory(bytes.data(), uint32_t(bytes.size())), 0);
        ObjectModel model;
        ASSERT_EQ(ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model), 0);
        const int64_t live = platform::LiveBlockCount();
        const uint64_t before = platform::AllocationCount();
        Canvas ok;
        ASSERT_EQ(render(model, ok.surface, 800, 600, ModelTurn()), 0);
        const uint64_t allocations = platform::AllocationCount() - before;
        EXPECT_EQ(allocations, render == Polygons ? 2u : 1u);
        for (uint32_t n = 1; n <= allocations; ++n) {
            Canvas c;
            platform::FailAllocationAfter(n);
            const Status s = render(model, c.surface, 800, 600, ModelTurn());
            platform::FailAllocationAfter(0);
            EXPECT_EQ(s, status::kNoMemory) << n;
            EXPECT_TRUE(c.Untouched()) << n;
            EXPECT_EQ(platform::LiveBlockCount(), live) << n;
        }
    }
}

}  // namespace
}  // namespace qavren
