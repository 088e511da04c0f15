// The view's turn: sines and cosines of whole degrees, the turn against a
// plain one written from its definition, and the 90° oracle on real
// objects: a model turned by multiples of 90° is drawn byte for byte as the
// same file with its points swapped and negated accordingly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plugin/picture.h"
#include "render/view.h"
#include "tests/unit/test_files.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr double kPi = 3.14159265358979323846;
// sin and cos of 0°, 90°, 180° and 270°.
constexpr int kRightSine[4] = {0, 1, 0, -1};
constexpr int kRightCosine[4] = {1, 0, -1, 0};

TEST(SineCosine, WholeDegreesAreTheLibrarysAndExactAtRightAngles) {
    std::vector<int32_t> degrees = {INT32_MIN, INT32_MIN + 1, INT32_MAX, INT32_MAX - 1};
    for (int32_t d = -1080; d <= 1080; ++d) degrees.push_back(d);
    for (int32_t d : degrees) {
        SCOPED_TRACE(d);
        double s, c;
        SineCosine(d, &s, &c);
        const int32_t reduced = (d % 360 + 360) % 360;
        double s0, c0;
        SineCosine(reduced, &s0, &c0);
        EXPECT_EQ(s, s0);
        EXPECT_EQ(c, c0);
        const double radians = reduced * kPi / 180;
        EXPECT_NEAR(s, std::sin(radians), 1e-15);  // kPi itself is 1.2e-16 off
        EXPECT_NEAR(c, std::cos(radians), 1e-15);
        if (reduced % 90 == 0) {
            const int q = reduced / 90;
            EXPECT_EQ(s, kRightSine[q]);
            EXPECT_EQ(c, kRightCosine[q]);
        }
    }
}

// Rz, then Rx, then Ry, one after the other, with the maths library.
void PlainTurn(int32_t ax, int32_t ay, int32_t az, const double in[3], double out[3]) {
    const double a = ax * kPi / 180, b = ay * kPi / 180, g = az * kPi / 180;
    const double x1 = std::cos(g) * in[0] - std::sin(g) * in[1], y1 = std::sin(g) * in[0] + std::cos(g) * in[1];
    const double z1 = in[2];
    const double y2 = std::cos(a) * y1 - std::sin(a) * z1, z2 = std::sin(a) * y1 + std::cos(a) * z1;
    out[0] = std::cos(b) * x1 + std::sin(b) * z2;
    out[1] = y2;
    out[2] = -std::sin(b) * x1 + std::cos(b) * z2;
}

TEST(ModelTurn, AgreesWithTheTurnsOneAfterAnotherToFloatRounding) {
    const int32_t angles[][3] = {{30, -40, 0}, {0, 0, 17}, {-123, 7, 359}, {45, 45, 45}, {90, 1, -1}, {200, 300, 100}};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(seed >> 8) - (1 << 23)) / 4096.0f;
    };
    for (const auto& a : angles) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<int32_t>(a, a + 3)));
        const ModelTurn turn(a[0], a[1], a[2]);
        EXPECT_FALSE(turn.identity());
        for (int k = 0; k < 200; ++k) {
            float p[3] = {next(), next(), next()};
            const double in[3] = {p[0], p[1], p[2]};
            double want[3];
            PlainTurn(a[0], a[1], a[2], in, want);
            turn.Apply(&p[0], &p[1], &p[2]);
            const double size = std::sqrt(in[0] * in[0] + in[1] * in[1] + in[2] * in[2]);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], want[i], size * 1e-7 + 1e-30) << i;
        }
    }
}

// --- The 90° oracle ---

// The turn of multiples of 90° as whole numbers, from the matrices' definitions.
using IntMatrix = int[3][3];
void RightAngleMatrix(int32_t ax, int32_t ay, int32_t az, IntMatrix out) {
    auto sc = [](int32_t d, int* s, int* c) {
        const int q = ((d / 90) % 4 + 4) % 4;
        *s = kRightSine[q];
        *c = kRightCosine[q];
    };
    int sx, cx, sy, cy, sz, cz;
    sc(ax, &sx, &cx);
    sc(ay, &sy, &cy);
    sc(az, &sz, &cz);
    const int rx[3][3] = {{1, 0, 0}, {0, cx, -sx}, {0, sx, cx}};
    const int ry[3][3] = {{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}};
    const int rz[3][3] = {{cz, -sz, 0}, {sz, cz, 0}, {0, 0, 1}};
    int xz[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) xz[i][j] += rx[i][k] * rz[k][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            out[i][j] = 0;
            for (int k = 0; k < 3; ++k) out[i][j] += ry[i][k] * xz[k][j];
        }
}

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
void PutBe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The file with every point of its top-level PNTS chunks moved as the
// matrix says: each coordinate another one's bits, its sign bit flipped
// for -1.
Bytes SwapAndNegatePoints(Bytes bytes, const IntMatrix m) {
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t length = Be32(&bytes[at + 4]);
        const size_t data = at + 8, end = data + length;
        if (end > bytes.size()) break;
        if (std::memcmp(&bytes[at], "PNTS", 4) == 0) {
            for (size_t p = data; p + 12 <= end; p += 12) {
                uint32_t in[3], out[3] = {};
                for (int i = 0; i < 3; ++i) in[i] = Be32(&bytes[p + 4 * i]);
                for (int i = 0; i < 3; ++i) {
                    for (int j = 0; j < 3; ++j) {
                        if (m[i][j]) out[i] = in[j] ^ (m[i][j] < 0 ? 0x80000000u : 0u);
                    }
                }
                for (int i = 0; i < 3; ++i) PutBe32(&bytes[p + 4 * i], out[i]);
            }
        }
        at = end + (length & 1);
    }
    return bytes;
}

Bytes Draw(const Bytes& object, int32_t mode, int32_t view, int32_t ax, int32_t ay, int32_t az) {
    RenderSettings s;
    s.mode = mode;
    s.width = 320;
    s.height = 240;
    s.view = view;
    s.angle_x = ax;
    s.angle_y = ay;
    s.angle_z = az;
    PictureLayout layout;
    EXPECT_TRUE(ComputeLayout(s.width, s.height, &layout));
    Bytes pixels(layout.image_size);
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), status::kOk);
    EXPECT_EQ(DrawPicture(buffer, RequestOf(s), layout, pixels.data()), status::kOk);
    return pixels;
}

struct RightAngles {
    int32_t x, y, z;
};
void PrintTo(const RightAngles& a, std::ostream* os) { *os << a.x << "," << a.y << "," << a.z; }

class RightAngleOracle : public ::testing::TestWithParam<RightAngles> {};

// Objects of both corpora, LWOB and each newer form, layered and not.
const char* const kOracleObjects[] = {
    "lwo/revival_cow_body.lwo",      "lwo/revival_ship1_17k.lwo",          "lwo/assimp_concave_polygon.lwo",
    "lwo/revival_cel.lwo",           "lwo2/blenderlwo_lwo3_interceptor_hull.lwo", "lwo2/lwlo_revival_ilenix_all.lwo",
    "lwo2/assimp_hierarchy_4layers.lwo",
};

TEST_P(RightAngleOracle, TurnedModelIsTheFileWithItsPointsSwappedAndNegated) {
    const RightAngles a = GetParam();
    const std::filesystem::path corpus = testing::CorpusDir().parent_path();
    if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
    IntMatrix m;
    RightAngleMatrix(a.x, a.y, a.z, m);
    for (const char* name : kOracleObjects) {
        const Bytes object = testing::ReadFile((corpus / name).string());
        ASSERT_FALSE(object.empty()) << name;
        const Bytes moved = SwapAndNegatePoints(object, m);
        for (int32_t mode : {0, 1}) {
            SCOPED_TRACE(std::string(name) + (mode ? " polygons" : " wireframe"));
            // The oracle is drawn in the front view with the angles stored: View 0 ignores them.
            EXPECT_EQ(Draw(object, mode, 1, a.x, a.y, a.z), Draw(moved, mode, 0, a.z, a.x, a.y));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Turns, RightAngleOracle,
                         ::testing::Values(RightAngles{90, 0, 0}, RightAngles{0, 90, 0}, RightAngles{0, 0, 90},
                                           RightAngles{-90, 0, 0}, RightAngles{0, 450, 0}, RightAngles{0, 0, 810},
                                           RightAngles{90, 90, 0}, RightAngles{180, -90, 270},
                                           RightAngles{-90, 450, 810}, RightAngles{360, -720, 1080}));

}  // namespace
}  // namespace qavren
