// Hostile objects through the whole picture path: every one gives its host
// code in both modes, draws nothing outside the block, and leaves nothing
// allocated.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"
#include "tests/unit/picture_code.h"
#include "tools/lwogen/depth_objects.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;

int32_t Render(const Bytes& bytes, int32_t mode, int32_t w = 64, int32_t h = 48) {
    return testing::PictureCode(bytes, mode, w, h);
}

TEST(HostileObjects, EachGivesItsCodeInBothModes) {
    const std::map<std::string, int32_t> expected = {
        {"cube", 0},
        {"pnts-length-ffffffff", 3},
        {"pols-length-ffffffff", 3},
        {"pols-length-one-past-end", 3},
        {"pnts-length-zero", 3},
        {"pols-length-odd", 3},
        {"nan-corner", 0},
        {"nan-everywhere", 0},
        {"inf-corner", 0},
        {"minus-inf-corner", 0},
        {"huge-corner", 0},
        {"minus-huge-corner", 0},
        {"far-corner", 0},
        {"all-points-equal", 0},
        {"denormal-corner", 0},
        {"vertex-count-0", 3},
        {"vertex-count-201", 3},
        {"point-number-65535", 3},
        {"point-number-equal-to-count", 3},
        {"layered", 2},
        {"lwo2", 2},
        {"truncated-header", 3},
        {"surface-named-pnts", 3},
    };
    const int64_t live = platform::LiveBlockCount();
    for (const auto& [name, bytes] : tools::HostileObjects()) {
        ASSERT_TRUE(expected.count(name)) << name;
        for (int32_t mode : {0, 1}) {
            EXPECT_EQ(Render(bytes, mode), expected.at(name)) << name << " mode " << mode;
            EXPECT_EQ(Render(bytes, mode, 800, 600), expected.at(name)) << name << " mode " << mode;
        }
    }
    EXPECT_EQ(platform::LiveBlockCount(), live);
}

// A million one-vertex polygons: each a degenerate triangle.
TEST(HostileObjects, AMillionOneVertexPolygons) {
    tools::LwoWriter w;
    for (int i = 0; i < 1000; ++i) w.AddPoint(float(i % 37), float(i % 29), float(i % 11));
    for (int i = 0; i < 1000000; ++i) w.AddPolygon({uint16_t(i % 1000)});
    const Bytes bytes = w.Build();
    EXPECT_EQ(Render(bytes, 0), 0);
    EXPECT_EQ(Render(bytes, 1), 0);
}

// The plain middle-pivot quicksort needs n^2 / 2 comparisons on this file
// (minutes): the sort's budget ends it (depth_sort_test counts the work),
// and the picture is drawn. Its time against random depths is measured by
// qavren_bench and spihost, not here.
TEST(HostileObjects, AFileThatDefeatsTheMiddlePivotIsDrawn) {
    const Bytes killer = tools::MakeDepthObject(tools::MiddlePivotKiller(100000)).Build();
    EXPECT_EQ(Render(killer, 1, 800, 600), 0);
}

// Four million triangles: 20,203 polygons of 200 vertices.
TEST(HostileObjects, FourMillionTrianglesRenderOrAreRefused) {
    tools::LwoWriter w;
    for (int i = 0; i < 400; ++i) {
        const double a = 6.283185307179586 * i / 400;
        w.AddPoint(float(std::cos(a)), float(std::sin(a)), float(i % 50));
    }
    std::vector<uint16_t> ring(200);
    for (int p = 0; p < 20203; ++p) {
        for (int k = 0; k < 200; ++k) ring[k] = uint16_t((p + 2 * k) % 400);
        w.AddPolygon(ring);
    }
    const Bytes bytes = w.Build();
    for (int32_t mode : {0, 1}) {
        const int32_t code = Render(bytes, mode, 800, 600);
        EXPECT_TRUE(code == 0 || code == 4) << code;
    }
}

}  // namespace
}  // namespace qavren
