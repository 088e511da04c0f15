// The form check, the chunk search and the polygon walk, on hand-made and
// truncated objects.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "object/geometry.h"
#include "object/lwob.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using tools::LwoWriter;

Bytes Header(const char* form, const char* length = "\0\0\0\0") {
    Bytes b = {'F', 'O', 'R', 'M'};
    b.insert(b.end(), length, length + 4);
    b.insert(b.end(), form, form + 4);
    return b;
}

struct Loaded {
    explicit Loaded(const Bytes& bytes) { EXPECT_EQ(buffer.LoadFromMemory(bytes.data(), uint32_t(bytes.size())), 0); }
    ObjectBuffer buffer;
};

// Walks every record; returns the walk's final status and counts records.
Status WalkAll(const ObjectBuffer& b, int* records) {
    ByteReader pnts, pols;
    if (Status s = LocateChunk(b, "PNTS", &pnts); s < 0) return s;
    if (Status s = LocateChunk(b, "POLS", &pols); s < 0) return s;
    PolygonWalk walk(ObjectPolygons(pols), PointList(pnts).count());
    Polygon p;
    Status s;
    *records = 0;
    while ((s = walk.Next(&p)) == 1) ++*records;
    return s;
}

TEST(CheckForm, TellsTheFormsApart) {
    ObjectBuffer empty;
    EXPECT_EQ(CheckForm(empty), status::kNoData);
    EXPECT_EQ(CheckForm(Loaded(Header("LWOB")).buffer), status::kLwob);
    EXPECT_EQ(CheckForm(Loaded(Header("LWLO")).buffer), status::kLayered);
    EXPECT_EQ(CheckForm(Loaded(Header("LWO2")).buffer), status::kOtherForm);
    EXPECT_EQ(CheckForm(Loaded(Header("lwob")).buffer), status::kOtherForm);
    Bytes not_form = Header("LWOB");
    not_form[0] = 'X';
    EXPECT_EQ(CheckForm(Loaded(not_form).buffer), status::kCorrupt);
    Bytes short_one = Header("LWOB");
    short_one.pop_back();
    EXPECT_EQ(CheckForm(Loaded(short_one).buffer), status::kCorrupt);
    EXPECT_EQ(CheckForm(Loaded(Bytes{}).buffer), status::kCorrupt);
}

TEST(FindChunk, ScansEveryByteFromTheStartAndTakesTheFirstMatch) {
    EXPECT_EQ(FindChunk(Loaded(Header("LWOB")).buffer, "PNTS"), kChunkNotFound);
    // The container length spelling the tag is found at offset 4.
    EXPECT_EQ(FindChunk(Loaded(Header("LWOB", "PNTS")).buffer, "PNTS"), 4u);

    // A surface name spelling PNTS before the real chunk is taken for it,
    // and the four bytes after it are read as the length.
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddSurface("xPNTS");
    w.AddPolygon({0});
    const Bytes bytes = w.Build();
    Loaded l(bytes);
    const uint32_t at = FindChunk(l.buffer, "PNTS");
    EXPECT_EQ(at, 12u + 8u + 1u);  // inside SRFS data: "xPNTS"
    ByteReader pnts;
    // Its "length" is 0x00000050 ("\0\0PO" ... from the following bytes):
    // whatever it is, the reader must stay inside the buffer.
    const Status s = LocateChunk(l.buffer, "PNTS", &pnts);
    if (s == 0) {
        EXPECT_LE(pnts.position() + pnts.remaining(), l.buffer.data() + l.buffer.size());
    }
}

TEST(FindChunk, FindsNothingInOtherForms) {
    Bytes layered = Header("LWLO");
    LwoWriter::AppendChunk(layered, "PNTS", Bytes(12, 0));
    EXPECT_EQ(FindChunk(Loaded(layered).buffer, "PNTS"), kChunkNotFound);
    ObjectBuffer empty;
    EXPECT_EQ(FindChunk(empty, "PNTS"), kChunkNotFound);
}

TEST(FindChunk, MatchAtTheVeryEnd) {
    Bytes b = Header("LWOB");
    b.insert(b.end(), {'P', 'O', 'L', 'S'});
    Loaded l(b);
    EXPECT_EQ(FindChunk(l.buffer, "POLS"), 12u);
    ByteReader pols;
    EXPECT_EQ(LocateChunk(l.buffer, "POLS", &pols), status::kCorrupt);  // no length bytes
}

TEST(LocateChunk, LengthPastTheEndIsCorrupt) {
    Bytes b = Header("LWOB");
    LwoWriter::AppendChunk(b, "PNTS", Bytes(24, 0));
    ByteReader r;
    EXPECT_EQ(LocateChunk(Loaded(b).buffer, "PNTS", &r), 0);
    EXPECT_EQ(r.remaining(), 24u);
    b[12 + 7] = 25;  // one byte more than there is
    EXPECT_EQ(LocateChunk(Loaded(b).buffer, "PNTS", &r), status::kCorrupt);
    b[12 + 4] = 0xFF, b[12 + 5] = 0xFF, b[12 + 6] = 0xFF, b[12 + 7] = 0xFF;
    EXPECT_EQ(LocateChunk(Loaded(b).buffer, "PNTS", &r), status::kCorrupt);
}

TEST(PointList, CountsWholeRecordsOnly) {
    Bytes data(25, 0);
    for (int i = 0; i < 4; ++i) data[12 + i] = "\x3f\x80\x00\x00"[i];  // x of point 1 = 1.0f
    Bytes b = Header("LWOB");
    LwoWriter::AppendChunk(b, "PNTS", data);
    Loaded l(b);
    ByteReader r;
    ASSERT_EQ(LocateChunk(l.buffer, "PNTS", &r), 0);
    PointList points(r);
    ASSERT_EQ(points.count(), 2u);
    float x, y, z;
    points.Get(1, &x, &y, &z);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, 0.0f);
}

Bytes WithPolygon(uint16_t vertices) {
    LwoWriter w;
    for (int i = 0; i < 210; ++i) w.AddPoint(float(i), 0, 0);
    std::vector<uint16_t> idx;
    for (uint16_t i = 0; i < vertices; ++i) idx.push_back(i);
    w.AddPolygon(idx);
    return w.Build();
}

TEST(PolygonWalk, VertexCountsFromOneTo200) {
    int records = 0;
    EXPECT_EQ(WalkAll(Loaded(WithPolygon(200)).buffer, &records), 0);
    EXPECT_EQ(records, 1);
    EXPECT_EQ(WalkAll(Loaded(WithPolygon(1)).buffer, &records), 0);
    EXPECT_EQ(WalkAll(Loaded(WithPolygon(201)).buffer, &records), status::kCorrupt);
    EXPECT_EQ(WalkAll(Loaded(WithPolygon(0)).buffer, &records), status::kCorrupt);
}

TEST(PolygonWalk, EmptyChunkIsCompleteAtOnce) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    int records = -1;
    EXPECT_EQ(WalkAll(Loaded(w.Build()).buffer, &records), 0);
    EXPECT_EQ(records, 0);
}

TEST(PolygonWalk, StopsAtTheFirstBadRecordInFileOrder) {
    LwoWriter w;
    for (int i = 0; i < 4; ++i) w.AddPoint(float(i), 0, 0);
    w.AddPolygon({0, 1, 2});
    w.AddPolygon({1, 2, 3});
    w.AddPolygon(std::vector<uint16_t>{});
    w.AddPolygon({0, 1, 2});
    int records = 0;
    EXPECT_EQ(WalkAll(Loaded(w.Build()).buffer, &records), status::kCorrupt);
    EXPECT_EQ(records, 2);
}

TEST(PolygonWalk, PointNumbersMustNameAPoint) {
    LwoWriter w;
    for (int i = 0; i < 3; ++i) w.AddPoint(float(i), 0, 0);
    w.AddPolygon({0, 1, 2});
    int records = 0;
    EXPECT_EQ(WalkAll(Loaded(w.Build()).buffer, &records), 0);
    w.AddPolygon({0, 1, 3});
    EXPECT_EQ(WalkAll(Loaded(w.Build()).buffer, &records), status::kCorrupt);
    LwoWriter many;
    many.AddPoint(0, 0, 0);
    many.AddPolygon({65535});
    EXPECT_EQ(WalkAll(Loaded(many.Build()).buffer, &records), status::kCorrupt);
}

TEST(PolygonWalk, RecordOverrunningItsChunkIsCorrupt) {
    // POLS holds n = 3 but only two point numbers and no surface number.
    Bytes b = Header("LWOB");
    LwoWriter::AppendChunk(b, "PNTS", Bytes(36, 0));
    LwoWriter::AppendChunk(b, "POLS", Bytes{0, 3, 0, 0, 0, 1});
    LwoWriter::AppendChunk(b, "SURF", Bytes(16, 0));  // bytes that the walk must not borrow
    int records = 0;
    EXPECT_EQ(WalkAll(Loaded(b).buffer, &records), status::kCorrupt);
    // A single odd byte left over.
    Bytes odd = Header("LWOB");
    LwoWriter::AppendChunk(odd, "PNTS", Bytes(36, 0));
    LwoWriter::AppendChunk(odd, "POLS", Bytes{0, 1, 0, 0, 0, 1, 0});
    EXPECT_EQ(WalkAll(Loaded(odd).buffer, &records), status::kCorrupt);
}

// Every prefix of a valid object, in a buffer of exactly that size, must be
// handled cleanly (the sanitized build catches any read past the end).
TEST(Truncation, EveryPrefixFailsCleanlyOrSucceeds) {
    tools::LwoWriter w = tools::MakeCube();
    const Bytes full = w.Build();
    for (size_t n = 0; n <= full.size(); ++n) {
        Bytes prefix(full.begin(), full.begin() + static_cast<long>(n));
        ObjectBuffer b;
        ASSERT_EQ(b.LoadFromMemory(prefix.empty() ? nullptr : prefix.data(), uint32_t(n)), 0);
        int records = 0;
        const Status s = WalkAll(b, &records);
        if (n == full.size()) {
            EXPECT_EQ(s, 0);
            EXPECT_EQ(records, 6);
        } else {
            EXPECT_TRUE(s == 0 || s == status::kCorrupt) << n;
        }
    }
}

}  // namespace
}  // namespace qavren
