// ObjectReport on crafted objects: the IFF walk against the plug-in's
// search, each polygon fault with its record and offset, and the notes'
// facts; and the option syntax of ArgParser.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>
#include <cstring>
#include <string>
#include <vector>

#include "object/lwob.h"
#include "plugin/picture.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"
#include "tools/qavren/arg_parser.h"
#include "tools/qavren/object_report.h"
#include "tools/qavren/printable.h"

namespace qavren::cli {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::LwoWriter;

ObjectReport Examine(const Bytes& bytes) {
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())), 0);
    ObjectReport r;
    ExamineObject(buffer, &r);
    return r;
}

std::string Fault(const ObjectReport& r) {
    Message m;
    return DescribeFault(r, &m) ? m.text : "";
}

Bytes Object(const std::vector<std::pair<const char*, Bytes>>& chunks, const char* type = "LWOB") {
    Bytes body(type, type + 4);
    for (const auto& [tag, data] : chunks) LwoWriter::AppendChunk(body, tag, data);
    Bytes file = {'F', 'O', 'R', 'M'};
    LwoWriter::PutU32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes Points(int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
        for (float v : {float(i), float(-i), 0.5f}) LwoWriter::PutF32(b, v);
    }
    return b;
}

Bytes Record(std::vector<uint16_t> indices, uint16_t surface = 1) {
    Bytes b;
    LwoWriter::PutU16(b, static_cast<uint16_t>(indices.size()));
    for (uint16_t i : indices) LwoWriter::PutU16(b, i);
    LwoWriter::PutU16(b, surface);
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(Report, CountsBoundsAndVertexRange) {
    const ObjectReport r = Examine(Object({{"PNTS", Points(4)}, {"POLS", Join({Record({0, 1, 2}), Record({0, 1, 2, 3})})}}));
    EXPECT_EQ(ExpectedDrawStatus(r), status::kOk);
    EXPECT_EQ(r.points.count, 4u);
    EXPECT_EQ(r.polygons.count, 2u);
    EXPECT_EQ(r.polygons.min_vertices, 3);
    EXPECT_EQ(r.polygons.max_vertices, 4);
    EXPECT_EQ(r.points.min[0], 0.f);
    EXPECT_EQ(r.points.max[0], 3.f);
    EXPECT_EQ(r.points.min[1], -3.f);
    EXPECT_EQ(r.chunk_count, 2u);
    EXPECT_EQ(r.real_pnts, 12u);
    EXPECT_EQ(r.search_pnts.offset, 12u);
    EXPECT_EQ(Fault(r), "");
}

// Each fault names the record by its number and file offset; the walk
// stops where the renderers' walk stops.
TEST(Report, PolygonFaults) {
    const Bytes good = Record({0, 1});  // 8 bytes; POLS data starts at byte 12 + 8 + 36 + 8 = 64
    struct Case { Bytes pols; PolygonFault fault; uint32_t offset; uint32_t value; const char* words; };
    const Case cases[] = {
        {Join({good, Record({})}), PolygonFault::kVertexCount, 72, 0, "polygon 1 (at byte 72) has 0 vertices"},
        {Join({good, Bytes{0, 0}}), PolygonFault::kVertexCount, 72, 0, "polygon 1 (at byte 72) has 0 vertices"},
        {Join({good, good, Record(std::vector<uint16_t>(201, 0))}), PolygonFault::kVertexCount, 80, 201,
         "polygon 2 (at byte 80) has 201 vertices"},
        {Join({good, Record({0, 3})}), PolygonFault::kPointNumber, 72, 3, "polygon 1 (at byte 72) uses point 3, but there are only 3 points"},
        {Join({good, Bytes{0, 3, 0, 1}}), PolygonFault::kOverrun, 72, 0, "polygon 1 (at byte 72) runs past the end"},
        {Join({good, Bytes{0}}), PolygonFault::kOverrun, 72, 0, "polygon 1 (at byte 72) runs past the end"},
    };
    for (const Case& c : cases) {
        const ObjectReport r = Examine(Object({{"PNTS", Points(3)}, {"POLS", c.pols}}));
        EXPECT_EQ(r.polygons.fault, c.fault) << c.words;
        EXPECT_EQ(r.polygons.fault_offset, c.offset) << c.words;
        EXPECT_EQ(r.polygons.fault_value, c.value) << c.words;
        EXPECT_EQ(ExpectedDrawStatus(r), status::kCorrupt);
        EXPECT_NE(Fault(r).find(c.words), std::string::npos) << Fault(r);
    }
    // 200 vertices is still a polygon.
    const ObjectReport ok = Examine(Object({{"PNTS", Points(3)}, {"POLS", Record(std::vector<uint16_t>(200, 2))}}));
    EXPECT_EQ(ok.polygons.fault, PolygonFault::kNone);
    EXPECT_EQ(ok.polygons.max_vertices, 200);
}

TEST(Report, SearchInsideAnotherChunkAndChunkOverruns) {
    // "PNTS" spelled in the SRFS data comes before the real chunk.
    const Bytes srfs = {'P', 'N', 'T', 'S', 0, 0};
    const ObjectReport r = Examine(Object({{"SRFS", srfs}, {"PNTS", Points(2)}, {"POLS", Record({0, 1})}}));
    EXPECT_EQ(r.search_pnts.offset, 20u);
    EXPECT_EQ(r.real_pnts, 26u);
    ASSERT_TRUE(r.search_pnts.in_chunk);
    EXPECT_EQ(std::memcmp(r.search_pnts.container.tag, "SRFS", 4), 0);
    Message where;
    DescribeHit(r.search_pnts, "PNTS", &where);
    EXPECT_STREQ(where.text, "inside the data of the SRFS chunk at byte 12, not a chunk");
    EXPECT_EQ(ExpectedDrawStatus(r), status::kCorrupt);  // 0x0000504E bytes of "points" do not fit

    // A tag in the FORM length field, and a real chunk whose length overruns.
    Bytes odd = Object({{"PNTS", Points(1)}});
    std::memcpy(odd.data() + 4, "PNTS", 4);
    const ObjectReport h = Examine(odd);
    EXPECT_EQ(h.search_pnts.offset, 4u);
    DescribeHit(h.search_pnts, "PNTS", &where);
    EXPECT_STREQ(where.text, "inside the FORM header, not a chunk");

    Bytes overrun = Object({{"PNTS", Points(2)}, {"POLS", Record({0, 1})}});
    overrun[12 + 8 + 24 + 7] = 40;  // POLS states 40 bytes, 8 follow
    const ObjectReport o = Examine(overrun);
    EXPECT_EQ(o.chunk_count, 2u);
    EXPECT_TRUE(o.chunks[1].overruns);
    EXPECT_EQ(Fault(o), "corrupt object: the POLS chunk at byte 44 states 40 bytes of data, but only 8 follow");
}

TEST(Report, NotesFacts) {
    Bytes pnts = Points(2);
    pnts.push_back(7);  // one byte beyond the last whole point
    const Bytes detail = Join({Record({0, 1}, 0xFFFF), Bytes{0, 1}, Record({1, 0})});
    const ObjectReport r = Examine(Object({{"PNTS", pnts}, {"POLS", detail}}));
    EXPECT_EQ(r.points.leftover_bytes, 1u);
    EXPECT_EQ(r.polygons.detail_markers, 1u);

    Bytes far;
    for (float v : {20000.f, 20001.f, 0.f, 20003.f, -5.f, 1.f}) LwoWriter::PutF32(far, v);
    const float nan = std::nanf("");
    for (float v : {nan, 0.f, 0.f}) LwoWriter::PutF32(far, v);
    const ObjectReport f = Examine(Object({{"PNTS", far}, {"POLS", {}}}));
    EXPECT_TRUE(f.points.off_centre);  // every x beyond +10000
    EXPECT_EQ(f.points.non_finite, 1u);
    EXPECT_EQ(f.points.min[0], 20000.f);
    EXPECT_EQ(f.points.max[1], 20001.f);
    EXPECT_EQ(ExpectedDrawStatus(f), status::kOk);

    const ObjectReport wide = Examine(Object({{"PNTS", Points(3)}, {"POLS", {}}}));
    EXPECT_FALSE(wide.points.off_centre);
}

TEST(Report, OtherFormsAreWalkedButNotSearched) {
    const ObjectReport r = Examine(Object({{"LAYR", Bytes(4)}, {"PNTS", Points(1)}}, "LWLO"));
    EXPECT_EQ(r.form, status::kLayered);
    EXPECT_EQ(r.chunk_count, 2u);
    EXPECT_EQ(r.search_pnts.offset, kChunkNotFound);
    EXPECT_EQ(ExpectedDrawStatus(r), status::kOk);
    EXPECT_EQ(PlugInCode(r, 0), 2);
    EXPECT_EQ(PlugInCode(r, 1), 0);
    const ObjectReport four = Examine(Object({{"TAGS", Bytes(2)}}, "LWO4"));
    EXPECT_EQ(Fault(four), "is a LightWave object of a form not known here (FORM LWO4); LWOB, LWLO, LWO2 and LWO3 can "
                           "be drawn");
}

// The report's verdict is the renderers' own: for a cube cut at every
// length, and for every single-byte corruption of its POLS data, the status
// ExpectedDrawStatus foresees is what DrawPicture returns, in both modes.
TEST(Report, VerdictAgreesWithTheRenderers) {
    const Bytes cube = tools::MakeCube().Build();
    std::vector<Bytes> variants;
    for (size_t n = 0; n <= cube.size(); ++n) variants.emplace_back(cube.begin(), cube.begin() + n);
    for (size_t at = 138; at < 210; ++at) {
        variants.push_back(cube);
        variants.back()[at] ^= 0x81;
    }
    // The same for a layered object: two layers, one hidden, 4-byte indices.
    tools::LayeredWriter w("LWO2");
    w.AddLayer(1, 1, "hidden");
    w.AddPoint(0, 0, 0);
    w.AddPolygon({0, 0, 0});
    w.AddLayer(0, 0, "shown");
    for (int k = 0; k < 4; ++k) w.AddPoint(float(k & 1), float(k >> 1), 0);
    w.AddPolygon({0, 1, 3, 2}, "FACE", true);
    w.AddPolygon({3, 0});
    const Bytes layered = w.Build();
    for (size_t n = 12; n <= layered.size(); ++n) variants.emplace_back(layered.begin(), layered.begin() + n);
    for (size_t at = 12; at < layered.size(); ++at) {
        variants.push_back(layered);
        variants.back()[at] ^= 0x81;
    }
    PictureLayout layout;
    ASSERT_TRUE(ComputeLayout(40, 30, &layout));
    Bytes bits(layout.image_size);
    for (const Bytes& v : variants) {
        ObjectBuffer buffer;
        if (!v.empty()) {
            ASSERT_EQ(buffer.LoadFromMemory(v.data(), static_cast<uint32_t>(v.size())), 0);
        }
        ObjectReport r;
        ExamineObject(buffer, &r);
        const Status expected = ExpectedDrawStatus(r);
        Message m;
        EXPECT_EQ(DescribeFault(r, &m), Failed(expected)) << v.size();
        if (!r.known_form) continue;
        for (int32_t mode : {0, 1}) {
            RenderSettings s;
            s.mode = mode;
            EXPECT_EQ(DrawPicture(buffer, RequestOf(s), layout, bits.data()), expected) << v.size() << " mode " << mode;
        }
    }
    EXPECT_EQ(ExpectedDrawStatus(Examine(Bytes(cube.begin(), cube.begin() + 209))), status::kCorrupt);
    EXPECT_EQ(ExpectedDrawStatus(Examine(Bytes(cube.begin(), cube.begin() + 210))), status::kOk);
}

// A point number past its own layer's points is the fault, even where the
// object holds that many points in all: the report names the layer and
// its count, for every form and a bad record in each layer.
TEST(Report, PointNumbersAreCheckedAgainstTheirLayer) {
    const uint32_t sizes[] = {5, 7, 11};
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        for (int bad = 0; bad < 3; ++bad) {
            SCOPED_TRACE(std::string(form) + ", bad record in layer " + std::to_string(bad));
            tools::LayeredWriter w(form);
            for (int l = 0; l < 3; ++l) {
                w.AddLayer(static_cast<uint16_t>(10 + l));
                for (uint32_t k = 0; k < sizes[l]; ++k) w.AddPoint(float(k), float(l), 0);
                w.AddPolygon({0, 1, 2});
                if (l == bad) w.AddPolygon({1, sizes[l], 0});
            }
            const ObjectReport r = Examine(w.Build());
            EXPECT_EQ(r.polygons.fault, PolygonFault::kPointNumber);
            EXPECT_EQ(r.polygons.fault_value, sizes[bad]);
            EXPECT_EQ(r.polygons.fault_points, sizes[bad]);
            EXPECT_EQ(r.polygons.fault_layer, 10 + bad);
            const std::string words = "uses point " + std::to_string(sizes[bad]) + ", but there are only " +
                                      std::to_string(sizes[bad]) + " points, in the POLS chunk at byte ";
            EXPECT_NE(Fault(r).find(words), std::string::npos) << Fault(r);
            EXPECT_NE(Fault(r).find(" of layer " + std::to_string(10 + bad)), std::string::npos) << Fault(r);
        }
    }
}

// The counts of `qavren info` against the corpus manifest's table, which an
// independent reader wrote: layers, points and polygons by type, for every
// object of the newer forms.
TEST(Report, CountsAgreeWithTheCorpusManifest) {
    const std::string dir = std::string(QAVREN_SOURCE_DIR) + "/../shared/corpus/lwo2/";
    std::ifstream manifest(dir + "MANIFEST.txt");
    if (!manifest) GTEST_SKIP() << "no corpus beside the checkout";
    const std::regex row(R"(^(\S+\.lwo) +\d+ (LWO2|LWO3|LWLO) +(\d+) +(\d+)  (\S+)  \[.*$)");
    const std::regex type(R"(([A-Z]{4}):(\d+)\()");
    int rows = 0;
    for (std::string line; std::getline(manifest, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        SCOPED_TRACE(line);
        std::ifstream file(dir + m[1].str(), std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const ObjectReport r = Examine(bytes);
        EXPECT_EQ(r.layered.layer_count, std::stoul(m[3]));
        EXPECT_EQ(r.layered.points, std::stoul(m[4]));
        uint32_t expected[kTypeCount] = {};
        const std::string types = m[5];
        for (auto t = std::sregex_iterator(types.begin(), types.end(), type); t != std::sregex_iterator(); ++t) {
            int k = kLwloRecord;
            while (k > 0 && (*t)[1] != PolygonTypeName(k)) --k;
            if ((*t)[1] == "LWOB") k = kLwloRecord;
            expected[k] = static_cast<uint32_t>(std::stoul((*t)[2]));
        }
        for (int k = 0; k < kTypeCount; ++k) EXPECT_EQ(r.layered.polygons[k], expected[k]) << PolygonTypeName(k);
        ++rows;
    }
    EXPECT_EQ(rows, 41);
}

struct Parsed {
    std::vector<std::pair<int, std::string>> options;
    std::vector<std::string> operands;
    std::string error;
};

Parsed Parse(std::vector<std::string> args) {
    static constexpr OptionRule kRules[] = {{'s', "size", true}, {'h', "help", false}, {0, "polygons", false}};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    ArgParser parser(static_cast<int>(argv.size()), argv.data(), kRules, 3);
    Parsed p;
    Message error;
    int option;
    const char* value;
    int got;
    while ((got = parser.Next(&option, &value, &error)) == 1) p.options.emplace_back(option, value ? value : "-");
    if (got < 0) p.error = error.text;
    for (int i = 0; i < parser.operand_count(); ++i) p.operands.push_back(parser.operands()[i]);
    return p;
}

TEST(Options, ValueSpellingsOperandOrderAndErrors) {
    const Parsed p = Parse({"a", "-s", "1", "b", "-s2", "--size", "3", "--size=4", "--polygons", "-", "--", "-h", "c"});
    EXPECT_EQ(p.error, "");
    const std::vector<std::pair<int, std::string>> expected = {{0, "1"}, {0, "2"}, {0, "3"}, {0, "4"}, {2, "-"}};
    EXPECT_EQ(p.options, expected);
    EXPECT_EQ(p.operands, (std::vector<std::string>{"a", "b", "-", "-h", "c"}));

    EXPECT_EQ(Parse({"--size"}).error, "option '--size' needs a value");
    EXPECT_EQ(Parse({"-s"}).error, "option '-s' needs a value");
    EXPECT_EQ(Parse({"--help=yes"}).error, "option '--help' takes no value");
    EXPECT_EQ(Parse({"-hv"}).error, "option '-h' takes no value (in '-hv')");
    EXPECT_EQ(Parse({"--sizes=1"}).error, "unknown option '--sizes'");
    EXPECT_EQ(Parse({"-x"}).error, "unknown option '-x'");
}

// Only plain characters reach the text: controls, DEL, NUL and high bytes
// show as '?', and a name too long is cut with "...".
TEST(Printable, OnlyPlainCharactersReachTheText) {
    EXPECT_STREQ(PrintableTag("\x1b[2J").text, "?[2J");
    EXPECT_STREQ(PrintableTag(std::string(" ~\x7f\0", 4).data()).text, " ~??");
    EXPECT_STREQ(PrintableTag("\x1f\x80\xff" "A").text, "???A");
    char out[8];
    CopyPrintable("ab\x7f\x20", 4, out, sizeof out);
    EXPECT_STREQ(out, "ab? ");
    CopyPrintable("abcdefgh", 8, out, sizeof out);
    EXPECT_STREQ(out, "abcd...");
}

}  // namespace
}  // namespace qavren::cli
