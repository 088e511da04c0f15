// The readers of LWLO, LWO2 and LWO3 objects against their oracle: an LWOB
// object holding the same points (the drawn layers concatenated) and the
// same polygons must give byte-identical pictures, for generated objects
// and for every corpus object LWOB can hold; bent objects of the new forms
// give their codes; and a cut anywhere is refused cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"
#include "tests/unit/picture_code.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/layered_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::LayeredWriter;

struct Drawn {
    Status status;
    Bytes pixels;
};

Drawn Draw(const Bytes& object, int32_t mode, int32_t w = 160, int32_t h = 120) {
    PictureLayout layout;
    EXPECT_TRUE(ComputeLayout(w, h, &layout));
    Drawn d{0, Bytes(layout.image_size)};
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), 0);
    RenderSettings s;
    s.mode = mode;
    s.width = w;
    s.height = h;
    d.status = DrawPicture(buffer, s, layout, d.pixels.data());
    return d;
}

void ExpectSamePictures(const Bytes& layered, const Bytes& lwob, int32_t w, int32_t h) {
    for (int32_t mode : {0, 1}) {
        const Drawn a = Draw(layered, mode, w, h), b = Draw(lwob, mode, w, h);
        EXPECT_EQ(a.status, 0) << "mode " << mode;
        EXPECT_EQ(b.status, 0) << "mode " << mode;
        EXPECT_TRUE(a.pixels == b.pixels) << "mode " << mode << " at " << w << "x" << h;
    }
}

// A random model: 1 to 4 layers of jittered rings, some hidden, polygons of
// 1 to 12 vertices (some of CURV type), indices sometimes in the 4-byte form.
LayeredWriter RandomModel(const char* form, uint32_t seed) {
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    LayeredWriter w(form);
    const uint32_t layers = 1 + next(4);
    for (uint32_t l = 0; l < layers; ++l) {
        w.AddLayer(static_cast<uint16_t>(next(9)), next(4) == 0 ? 1 : 0, "layer");
        const uint32_t count = 3 + next(40);
        for (uint32_t k = 0; k < count; ++k) {
            w.AddPoint(float(next(2001)) / 100 - 10, float(next(2001)) / 100 - 10, float(next(801)) / 100 - 4);
        }
        for (uint32_t p = 0, polygons = next(30); p < polygons; ++p) {
            std::vector<uint32_t> indices(1 + next(12));
            for (uint32_t& i : indices) i = next(count);
            w.AddPolygon(indices, next(6) == 0 ? "CURV" : next(2) ? "FACE" : "PTCH", next(3) == 0);
        }
    }
    return w;
}

TEST(LayeredOracle, GeneratedModelsDrawAsTheirFlattenedLwob) {
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        for (uint32_t seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE(std::string(form) + " seed " + std::to_string(seed));
            const LayeredWriter model = RandomModel(form, seed);
            ExpectSamePictures(model.Build(), model.Flattened().Build(), seed % 2 ? 160 : 97, 120);
        }
    }
}

// A plain reader of the layered forms for the test, sharing no code with
// object/: the LWOB object an LWLO, LWO2 or LWO3 file must draw as. False
// where LWOB cannot hold it (more than 65,536 points, or polygons of more
// than 200 vertices).
uint32_t U16(const uint8_t* p) { return uint32_t{p[0]} << 8 | p[1]; }
uint32_t U32(const uint8_t* p) { return U16(p) << 16 | U16(p + 2); }

bool FlattenToLwob(const Bytes& file, Bytes* lwob) {
    const bool lwlo = std::memcmp(&file[8], "LWLO", 4) == 0;
    const size_t end = std::min<size_t>(file.size(), size_t{U32(&file[4])} + 8);
    std::vector<float> points;
    std::vector<std::vector<uint32_t>> polygons;
    bool hidden = false;
    uint32_t base = 0;
    for (size_t at = 12; at + 8 <= end;) {
        const uint8_t* tag = &file[at];
        const uint32_t length = U32(&file[at + 4]);
        const uint8_t* p = &file[at + 8];
        const uint8_t* q = p + length;
        at += 8 + length + (length & 1);
        if (!std::memcmp(tag, "LAYR", 4)) hidden = !lwlo && (U16(p + 2) & 1);
        if (hidden) continue;
        if (!std::memcmp(tag, "PNTS", 4)) {
            base = static_cast<uint32_t>(points.size() / 3);
            for (uint32_t k = 0; k < length / 4 / 3 * 3; ++k) {
                const uint32_t bits = U32(p + 4 * k);
                float f;
                std::memcpy(&f, &bits, 4);
                points.push_back(f);
            }
        }
        if (std::memcmp(tag, "POLS", 4)) continue;
        if (!lwlo) {
            const bool drawn = !std::memcmp(p, "FACE", 4) || !std::memcmp(p, "PTCH", 4) || !std::memcmp(p, "SUBD", 4);
            if (!drawn) continue;
            p += 4;
        }
        uint32_t details = 0;
        while (p < q) {
            const uint32_t n = U16(p) & (lwlo ? 0xFFFF : 0x3FF);
            p += 2;
            std::vector<uint32_t> polygon;
            for (uint32_t k = 0; k < n; ++k) {
                const bool long_index = !lwlo && p[0] == 0xFF;
                polygon.push_back(base + (long_index ? U32(p) & 0xFFFFFF : U16(p)));
                p += long_index ? 4 : 2;
            }
            polygons.push_back(polygon);
            if (!lwlo) continue;
            const bool negative = U16(p) & 0x8000;
            p += 2;
            if (details) {
                --details;
            } else if (negative) {
                details = U16(p);
                p += 2;
            }
        }
    }
    if (points.size() / 3 > 65536) return false;
    tools::LwoWriter w;
    for (size_t k = 0; k < points.size(); k += 3) w.AddPoint(points[k], points[k + 1], points[k + 2]);
    for (const auto& polygon : polygons) {
        if (polygon.size() > 200) return false;
        w.AddPolygon(std::vector<uint16_t>(polygon.begin(), polygon.end()));
    }
    *lwob = w.Build();
    return true;
}

std::filesystem::path LayeredCorpus() { return testing::CorpusDir().parent_path() / "lwo2"; }

TEST(LayeredOracle, CorpusObjectsDrawAsTheirLwobEquivalents) {
    namespace fs = std::filesystem;
    if (!fs::exists(LayeredCorpus())) GTEST_SKIP() << "no corpus beside the checkout";
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(LayeredCorpus())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".lwo" || name.rfind("bad_", 0) == 0) continue;
        SCOPED_TRACE(name);
        const Bytes file = testing::ReadFile(entry.path().string());
        Bytes lwob;
        if (!FlattenToLwob(file, &lwob)) continue;
        ExpectSamePictures(file, lwob, 200, 150);
        ++compared;
    }
    EXPECT_GE(compared, 38);  // all sound ones but the two beyond LWOB's reach
}

// Through the plug-in's path: each object's code where the newer forms are
// read (Forms = 1), and the described refusal, code 2, where they are not.
int32_t Assemble(const Bytes& object, int32_t mode, int32_t forms) {
    return testing::PictureCode(object, mode, 64, 48, forms);
}

TEST(LayeredObjects, EachGivesItsCodeWithFormsOneAndTwoWithout) {
    const int64_t live = platform::LiveBlockCount();
    for (const tools::LayeredCase& c : tools::LayeredObjects()) {
        SCOPED_TRACE(c.name);
        for (int32_t mode : {0, 1}) {
            EXPECT_EQ(Assemble(c.bytes, mode, 1), c.code) << "mode " << mode;
            EXPECT_EQ(Assemble(c.bytes, mode, 0), 2) << "mode " << mode;
        }
    }
    EXPECT_EQ(platform::LiveBlockCount(), live);
}

// Every cut of a layered object is drawn or refused as corrupt, never read
// past (the sanitized build watches), and the whole object draws.
TEST(LayeredObjects, EveryTruncationIsDrawnOrRefusedCleanly) {
    for (const tools::LayeredCase& c : tools::LayeredObjects()) {
        if (c.name != "lwo2-layers-types-hidden" && c.name != "lwlo-detail-polygons") continue;
        SCOPED_TRACE(c.name);
        for (size_t n = 12; n <= c.bytes.size(); ++n) {
            const Bytes cut(c.bytes.begin(), c.bytes.begin() + n);
            for (int32_t mode : {0, 1}) {
                const Status s = Draw(cut, mode, 40, 30).status;
                EXPECT_TRUE(s == 0 || s == status::kCorrupt) << n << " bytes: " << s;
                if (n == c.bytes.size()) {
                    EXPECT_EQ(s, 0);
                }
            }
        }
    }
}

}  // namespace
}  // namespace qavren
