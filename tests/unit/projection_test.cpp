// Tests for ProjectPoints: the fit to the canvas, the depth factor, the
// starting bounds and the float/double rounding rules.
#include "render/projection.h"

#include <gtest/gtest.h>

#include <bit>
#include <initializer_list>
#include <vector>

#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::LwoWriter;

struct P3 {
    float x, y, z;
};

Bytes Object(std::initializer_list<P3> points) {
    LwoWriter w;
    for (const P3& p : points) w.AddPoint(p.x, p.y, p.z);
    return w.Build();
}

// Projects `bytes` on a W x H canvas; the status lands in `status`.
struct Projected {
    Projected(const Bytes& bytes, int32_t w, int32_t h) {
        EXPECT_EQ(buffer.LoadFromMemory(bytes.data(), uint32_t(bytes.size())), 0);
        status = ReadModelPoints(buffer, &model);
        if (status == 0) status = ProjectPoints(model, w, h, ModelTurn(), &points);
    }
    ObjectBuffer buffer;
    ObjectModel model;
    ProjectedPoints points;
    Status status = 1;
};

void ExpectAt(const ProjectedPoint& p, float x, float y) {
    EXPECT_FLOAT_EQ(p.x, x);
    EXPECT_FLOAT_EQ(p.y, y);
}

TEST(ProjectPoints, FitsTheSquareIntoTheCanvasWithYUp) {
    Projected p(Object({{1, 1, 0}, {-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}}), 800, 600);
    ASSERT_EQ(p.status, 0);
    ASSERT_EQ(p.points.count(), 4u);
    ExpectAt(p.points[0], 700, 0);  // s = min(400, 300)
    ExpectAt(p.points[1], 100, 600);
    ExpectAt(p.points[2], 700, 600);
    ExpectAt(p.points[3], 100, 0);
}

TEST(ProjectPoints, DepthFactorHalvesAtZEqualToTheXRangeAndNeverExceedsOne) {
    Projected p(Object({{1, 1, 2}, {-1, -1, 0}, {1, -1, 0}, {-1, 1, -5}}), 800, 600);
    ASSERT_EQ(p.status, 0);
    ExpectAt(p.points[0], 550, 150);  // d = (2 - 1) / 2
    EXPECT_EQ(p.points[0].z, 2.0f);   // the model's z is kept
    ExpectAt(p.points[3], 100, 0);    // z = -5: d = 1, not 3.5
    // Far along +z a point sits within a pixel of the centre, never beyond it.
    Projected far(Object({{1, 1, 1000}, {-1, -1, 0}}), 800, 600);
    ExpectAt(far.points[0], 400.0003f, 299.9997f);
}

TEST(ProjectPoints, SinglePointLandsOnTheIntegerCanvasCentre) {
    for (float z : {0.0f, -3.0f, 7.0f}) {
        Projected p(Object({{5, -2, z}}), 801, 599);
        ASSERT_EQ(p.status, 0);
        EXPECT_EQ(p.points[0].x, 400.0f);  // 801 / 2 truncated
        EXPECT_EQ(p.points[0].y, 299.0f);
    }
}

// The bounds start at +-10000, not at the float limits, so a model lying
// wholly right of x = 10000 is fitted as if it reached back to 10000.
TEST(ProjectPoints, BoundsStartAtTenThousand) {
    Projected p(Object({{20000, 0, 0}, {30000, 1, 0}}), 800, 600);
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.points[0].x, 400.0f);  // cx = (30000 + 10000) / 2; from 20000 it would be 0
    EXPECT_FLOAT_EQ(p.points[1].x, 800.0f);
}

// x from -1 to 1, y from 0 to 1.6f: sy = 600 / 1.6f = 374.99999441... is
// chosen over sx = 400. X uses it rounded to 375.0f; Y uses it unrounded, so
// the top point lands exactly on 0 (rounded it would be -4.47e-06, and X of
// the left point 25.0000057 unrounded).
TEST(ProjectPoints, XUsesTheRoundedScaleAndYTheUnroundedSy) {
    Projected p(Object({{-1, 0, 0}, {1, 1.6f, 0}}), 800, 600);
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(std::bit_cast<uint32_t>(p.points[0].x), 0x41C80000u);  // 25.0
    EXPECT_EQ(std::bit_cast<uint32_t>(p.points[0].y), 0x44160000u);  // 600.0
    EXPECT_EQ(std::bit_cast<uint32_t>(p.points[1].x), 0x4441C000u);  // 775.0
    EXPECT_EQ(std::bit_cast<uint32_t>(p.points[1].y), 0x00000000u);  // +0.0
}

TEST(ProjectPoints, TrailingBytesAndShortChunksHoldNoPoint) {
    Bytes pnts(25, 0);  // two points at the origin and one stray byte
    Bytes body = {'L', 'W', 'O', 'B'};
    LwoWriter::AppendChunk(body, "PNTS", pnts);
    Bytes file = {'F', 'O', 'R', 'M', 0, 0, 0, 0};
    file.insert(file.end(), body.begin(), body.end());
    Projected two(file, 800, 600);
    EXPECT_EQ(two.status, 0);
    EXPECT_EQ(two.points.count(), 2u);

    Projected none(Object({}), 800, 600);
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.points.count(), 0u);
}

}  // namespace
}  // namespace qavren
