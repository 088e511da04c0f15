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

#include "object/geometry.h"
#include "object/model.h"
#include "object/layers.h"
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
    d.status = DrawPicture(buffer, RequestOf(s), layout, d.pixels.data());
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

// What a LAYR chunk of a generated model says.
struct LayerPlan {
    uint16_t number, flags;
    std::string name;
    int parent;
};

// A random model: 1 to 4 layers of jittered rings, some hidden, some with a
// parent, names of 0 to 20 letters; polygons of 1 to 12 vertices of every
// type (only FACE, PTCH and SUBD are drawn), indices sometimes in the
// 4-byte form.
LayeredWriter RandomModel(const char* form, uint32_t seed, std::vector<LayerPlan>* plans = nullptr) {
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    static const char* const kTypes[] = {"FACE", "PTCH", "SUBD", "CURV", "BONE", "MBAL", "FACf", "face"};
    LayeredWriter w(form);
    const uint32_t layers = 1 + next(4);
    for (uint32_t l = 0; l < layers; ++l) {
        const LayerPlan plan{static_cast<uint16_t>(next(9) * 4099), static_cast<uint16_t>(next(4) == 0 ? 1 | next(4) << 14 : next(2) << 1),
                             std::string(next(21), static_cast<char>('a' + l)), next(3) ? -1 : static_cast<int>(next(65536))};
        w.AddLayer(plan.number, plan.flags, plan.name, plan.parent);
        if (plans) plans->push_back(plan);
        const uint32_t count = 3 + next(40);
        for (uint32_t k = 0; k < count; ++k) {
            w.AddPoint(float(next(2001)) / 100 - 10, float(next(2001)) / 100 - 10, float(next(801)) / 100 - 4);
        }
        for (uint32_t p = 0, polygons = next(30); p < polygons; ++p) {
            std::vector<uint32_t> indices(1 + next(12));
            for (uint32_t& i : indices) i = next(count);
            w.AddPolygon(indices, kTypes[next(3) ? next(3) : next(8)], next(3) == 0);
        }
    }
    return w;
}

uint32_t U16(const uint8_t* p) { return uint32_t{p[0]} << 8 | p[1]; }
uint32_t U32(const uint8_t* p) { return U16(p) << 16 | U16(p + 2); }

// The file with chunks that change no picture put between its top-level
// chunks: unknown ones of odd lengths (with their pad byte, which is not
// zero, or without it at the very end of the file) and, after a PNTS chunk,
// POLS chunks with no records.
Bytes WithExtraChunks(const Bytes& file, uint32_t seed) {
    auto next = [&seed](uint32_t n) {
        seed = seed * 22695477u + 1u;
        return (seed >> 8) % n;
    };
    const bool lwlo = std::memcmp(&file[8], "LWLO", 4) == 0;
    auto chunk = [](Bytes& out, const char* tag, const Bytes& data, bool pad) {
        out.insert(out.end(), tag, tag + 4);
        tools::LwoWriter::PutU32(out, static_cast<uint32_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        if (pad && data.size() % 2) out.push_back(0xA5);
    };
    auto odd = [&](Bytes& out, bool pad) { chunk(out, "DESC", Bytes(1 + 2 * next(4), 'P'), pad); };
    Bytes body(file.begin() + 8, file.begin() + 12);
    if (next(2)) odd(body, true);
    for (size_t at = 12; at + 8 <= file.size();) {
        const size_t length = U32(&file[at + 4]), end = at + 8 + length + (length & 1);
        body.insert(body.end(), file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(end));
        if (!std::memcmp(&file[at], "PNTS", 4) && next(2)) chunk(body, "POLS", lwlo ? Bytes{} : Bytes{'F', 'A', 'C', 'E'}, true);
        if (next(3) == 0) odd(body, true);
        at = end;
    }
    if (next(2)) odd(body, false);
    Bytes out = {'F', 'O', 'R', 'M'};
    tools::LwoWriter::PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

TEST(LayeredOracle, GeneratedModelsDrawAsTheirFlattenedLwob) {
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        for (uint32_t seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE(std::string(form) + " seed " + std::to_string(seed));
            const LayeredWriter model = RandomModel(form, seed);
            ExpectSamePictures(WithExtraChunks(model.Build(), seed), model.Flattened().Build(), seed % 2 ? 160 : 97, 120);
        }
    }
}

// A plain reader of the layered forms for the test, sharing no code with
// object/: the LWOB object an LWLO, LWO2 or LWO3 file must draw as. False
// where LWOB cannot hold it (more than 65,536 points, or polygons of more
// than 200 vertices).
struct PlainModel {
    std::vector<float> points;
    std::vector<std::vector<uint32_t>> polygons;
};

PlainModel PlainRead(const Bytes& file) {
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
    return {points, polygons};
}

bool FlattenToLwob(const Bytes& file, Bytes* lwob) {
    const auto [points, polygons] = PlainRead(file);
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

// The polygons as the renderers take them from the model, and the point
// count; false when the reading fails.
bool WalkPolygons(const Bytes& file, PlainModel* walked) {
    ObjectBuffer buffer;
    ObjectModel model;
    if (buffer.LoadFromMemory(file.data(), static_cast<uint32_t>(file.size())) != 0 ||
        ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model) != 0) {
        return false;
    }
    walked->points.resize(3 * size_t{model.point_count()});
    for (uint32_t k = 0; k < model.polygons.count; ++k) {
        const Polygon polygon = model.polygons[k];
        walked->polygons.emplace_back(polygon.indices, polygon.indices + polygon.count);
    }
    return model.polygon_status == 0;
}

// Every vertex count from 1 to the limit of 1,023, in one object a form:
// polygon n has n vertices, its count word carrying flags in LWO2 and LWO3,
// its point numbers spread over 1,100 points and, in LWO2 and LWO3, every
// third one written in the 4-byte form.
Bytes EveryVertexCount(const char* form) {
    const bool lwlo = !std::strcmp(form, "LWLO");
    LayeredWriter w(form);
    w.AddLayer(0);
    for (uint32_t k = 0; k < 1100; ++k) w.AddPoint(float(k % 37), float(k / 37), float(k % 5));
    Bytes file = w.Build();
    Bytes pols;
    if (!lwlo) pols = {'F', 'A', 'C', 'E'};
    for (uint32_t n = 1; n <= 1023; ++n) {
        tools::LwoWriter::PutU16(pols, static_cast<uint16_t>(n | (lwlo ? 0 : (n % 64) << 10)));
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t index = (n * 7 + k * 13) % 1100;
            if (!lwlo && k % 3 == 0) {
                tools::LwoWriter::PutU32(pols, 0xFF000000u | index);
            } else {
                tools::LwoWriter::PutU16(pols, static_cast<uint16_t>(index));
            }
        }
        if (lwlo) tools::LwoWriter::PutU16(pols, 1);
    }
    tools::LwoWriter::AppendChunk(file, "POLS", pols);
    const uint32_t length = static_cast<uint32_t>(file.size() - 8);
    for (int k = 0; k < 4; ++k) file[4 + k] = static_cast<uint8_t>(length >> (24 - 8 * k));
    return file;
}

// Three layers, the last of 140,000 points numbered up to 18 bits wide in
// the 4-byte form, a hidden one between.
Bytes WidePointNumbers(const char* form) {
    LayeredWriter w(form);
    w.AddLayer(1);
    for (int k = 0; k < 3; ++k) w.AddPoint(float(k), 1, 0);
    w.AddPolygon({0, 1, 2});
    w.AddLayer(2, 1);
    for (int k = 0; k < 5; ++k) w.AddPoint(0, float(k), 0);
    w.AddPolygon({4, 3, 2, 1});
    w.AddLayer(3);
    for (uint32_t k = 0; k < 140000; ++k) w.AddPoint(float(k % 400), float(k / 400), 0);
    for (uint32_t k = 0; k + 2 < 140000; k += 997) w.AddPolygon({k, 139999 - k, (k * 65537u) % 140000});
    return w.Build();
}

// The polygon walk against the plain reader: every polygon, vertex count and
// point number of generated objects: random models with odd and empty
// chunks between theirs, every vertex count, and point numbers above 16 bits.
TEST(LayeredOracle, PolygonWalkGivesThePlainReadersPolygons) {
    struct Case {
        std::string name;
        Bytes file;
    };
    std::vector<Case> cases;
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        for (uint32_t seed = 21; seed <= 32; ++seed) {
            cases.push_back({std::string(form) + " seed " + std::to_string(seed),
                             WithExtraChunks(RandomModel(form, seed).Build(), seed)});
        }
        cases.push_back({std::string(form) + " every vertex count", EveryVertexCount(form)});
        if (std::strcmp(form, "LWLO")) cases.push_back({std::string(form) + " wide point numbers", WidePointNumbers(form)});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PlainModel plain = PlainRead(c.file);
        PlainModel walked;
        ASSERT_TRUE(WalkPolygons(c.file, &walked));
        EXPECT_EQ(walked.points.size(), plain.points.size());
        ASSERT_EQ(walked.polygons.size(), plain.polygons.size());
        for (size_t k = 0; k < plain.polygons.size(); ++k) {
            ASSERT_EQ(walked.polygons[k], plain.polygons[k]) << "polygon " << k;
        }
        EXPECT_EQ(Draw(c.file, 1, 64, 48).status, 0);
    }
}

// Each LAYR chunk of generated models decodes to what was written: number,
// flags, hidden, name and parent (LWLO's layers have neither pivot nor
// parent).
TEST(LayeredOracle, LayerHeadersDecodeAsWritten) {
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        const bool lwlo = !std::strcmp(form, "LWLO");
        for (uint32_t seed = 1; seed <= 16; ++seed) {
            SCOPED_TRACE(std::string(form) + " seed " + std::to_string(seed));
            std::vector<LayerPlan> plans;
            const Bytes file = WithExtraChunks(RandomModel(form, seed, &plans).Build(), seed);
            ObjectBuffer buffer;
            ASSERT_EQ(buffer.LoadFromMemory(file.data(), static_cast<uint32_t>(file.size())), 0);
            ObjectForm object_form;
            ASSERT_TRUE(IdentifyForm(buffer, &object_form));
            ChunkWalk chunks(buffer.data(), buffer.size());
            Chunk chunk;
            size_t layer = 0;
            while (chunks.Next(&chunk) == 1) {
                if (std::memcmp(chunk.tag, "LAYR", 4)) continue;
                ASSERT_LT(layer, plans.size());
                const LayerPlan& plan = plans[layer++];
                LayerHeader h;
                ASSERT_TRUE(DecodeLayer(chunk.data, object_form, &h));
                EXPECT_EQ(h.number, plan.number);
                EXPECT_EQ(h.flags, plan.flags);
                EXPECT_EQ(h.hidden, !lwlo && (plan.flags & 1));
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.name), h.name_length), plan.name);
                EXPECT_EQ(h.has_parent, !lwlo && plan.parent >= 0);
                if (h.has_parent) {
                    EXPECT_EQ(h.parent, plan.parent);
                }
            }
            EXPECT_EQ(layer, plans.size());
        }
    }
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
