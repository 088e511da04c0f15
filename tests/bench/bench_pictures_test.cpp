// Pictures of the benchmark objects, kept as fingerprints in
// tests/bench/pictures.txt: thousands of overlapping, clipped, tied and
// repeated triangles, small and large, where the samples have dozens. The
// same list holds for the native and the Windows build.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "object/geometry.h"
#include "plugin/picture.h"
#include "tests/golden/golden_list.h"
#include "tools/lwogen/bench_objects.h"

namespace qavren {
namespace {

using tools::BenchObjectKind;
using tools::DepthOrder;
using tools::TriangleSize;

bool ParseKind(const std::string& name, uint32_t triangles, BenchObjectKind* kind) {
    for (TriangleSize size : {TriangleSize::kSmall, TriangleSize::kLarge}) {
        for (DepthOrder order : {DepthOrder::kRandom, DepthOrder::kSorted}) {
            if (tools::NameOf(size, order) == name) {
                *kind = {triangles, size, order};
                return true;
            }
        }
    }
    return false;
}

std::string PictureFingerprint(const BenchObjectKind& kind, int32_t mode, int32_t w, int32_t h) {
    const std::vector<uint8_t> object = tools::MakeBenchObject(kind);
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), 0);
    RenderSettings settings;
    settings.mode = mode;
    settings.width = w;
    settings.height = h;
    PictureLayout layout;
    EXPECT_TRUE(ComputeLayout(w, h, &layout));
    std::vector<uint8_t> pixels(layout.image_size, 0xEE);
    EXPECT_EQ(DrawPicture(buffer, RequestOf(settings), layout, pixels.data()), 0);
    return testing::Fingerprint(pixels);  // FNV-1a 64, as the golden lists
}

// The million-triangle LWO2 of the benchmarks (every point number from
// 0xFF00 up in the 4-byte form), smaller: its pictures are its LWOB twin's.
TEST(BenchObjects, TheLwo2FormDrawsAsTheLwobOne) {
    for (uint32_t triangles : {1000u, 100000u}) {
        BenchObjectKind lwob{triangles, TriangleSize::kSmall, DepthOrder::kRandom};
        BenchObjectKind lwo2 = lwob;
        lwo2.form = tools::BenchForm::kLwo2;
        for (int32_t mode : {0, 1}) {
            EXPECT_EQ(PictureFingerprint(lwo2, mode, 800, 600), PictureFingerprint(lwob, mode, 800, 600))
                << triangles << " mode " << mode;
        }
    }
}

// The objects the benchmarks and the list below rely on: every point number
// in use, exactly T triangles, and in the sorted ones depths that never fall.
TEST(BenchObjects, HoldTheTrianglesAskedForInTheirOrder) {
    for (DepthOrder order : {DepthOrder::kRandom, DepthOrder::kSorted}) {
        const BenchObjectKind kind{5000, TriangleSize::kLarge, order};
        const std::vector<uint8_t> bytes = tools::MakeBenchObject(kind);
        EXPECT_EQ(bytes, tools::MakeBenchObject(kind));  // the same bytes every time
        ObjectBuffer buffer;
        ASSERT_EQ(buffer.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
        ByteReader pnts, pols;
        ASSERT_EQ(LocateChunk(buffer, "PNTS", &pnts), 0);
        ASSERT_EQ(LocateChunk(buffer, "POLS", &pols), 0);
        const PointList points(pnts);
        EXPECT_EQ(points.count(), 65536u);
        PolygonWalk walk(ObjectPolygons(pols), points.count());
        Polygon polygon;
        uint32_t triangles = 0;
        float last_depth = -1.0f;
        while (walk.Next(&polygon) == 1) {
            ASSERT_EQ(polygon.count, 3);
            ++triangles;
            float x, y, z[3];
            for (uint16_t k = 0; k < 3; ++k) points.Get(polygon.Index(k), &x, &y, &z[k]);
            const auto depth = static_cast<float>((double{z[1]} + z[2] + z[0]) * double{0.33333334f});
            if (order == DepthOrder::kSorted) {
                EXPECT_GE(depth, last_depth) << triangles;
            }
            last_depth = depth;
        }
        EXPECT_EQ(triangles, kind.triangles);
    }
}

// One line a picture: "object triangles mode width height fingerprint".
TEST(BenchPictures, AreUnchanged) {
    std::ifstream list(std::string(QAVREN_SOURCE_DIR) + "/tests/bench/pictures.txt");
    ASSERT_TRUE(list.good());
    std::string line;
    int checked = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, expected;
        uint32_t triangles = 0;
        int32_t mode = 0, w = 0, h = 0;
        fields >> name >> triangles >> mode >> w >> h >> expected;
        BenchObjectKind kind;
        ASSERT_TRUE(ParseKind(name, triangles, &kind)) << line;
        const std::string actual = PictureFingerprint(kind, mode, w, h);
        EXPECT_EQ(expected, actual) << "now: " << name << " " << triangles << " " << mode << " " << w << " " << h
                                    << " " << actual;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

}  // namespace
}  // namespace qavren
