// The hostile objects, each a small valid shape with one thing bent.
#include "tools/lwogen/hostile.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::tools {
namespace {

using Bytes = std::vector<uint8_t>;

// Offset of the first occurrence of `tag` in `b` (the objects are made so
// that the real chunk is the first).
size_t FindTag(const Bytes& b, const char* tag) {
    for (size_t i = 0; i + 4 <= b.size(); ++i) {
        if (std::memcmp(&b[i], tag, 4) == 0) return i;
    }
    return b.size();
}

void PutU32At(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

Bytes WithChunkLength(const char* tag, uint32_t length) {
    Bytes b = MakeCube().Build();
    PutU32At(b, FindTag(b, tag) + 4, length);
    return b;
}

// A cube whose corner coordinates are all `v`, or one corner's x.
Bytes CubeWith(float v, bool all) {
    LwoWriter w;
    for (int i = 0; i < 8; ++i) {
        const float x = i & 1 ? 1.f : -1.f, y = i & 2 ? 1.f : -1.f, z = i & 4 ? 1.f : -1.f;
        if (all) {
            w.AddPoint(v, v, v);
        } else {
            w.AddPoint(i == 3 ? v : x, y, z);
        }
    }
    w.AddPolygon({0, 2, 3, 1});
    w.AddPolygon({4, 5, 7, 6});
    w.AddPolygon({0, 1, 5, 4});
    w.AddPolygon({2, 6, 7, 3});
    w.AddPolygon({0, 4, 6, 2});
    w.AddPolygon({1, 3, 7, 5});
    return w.Build();
}

Bytes OnePolygon(std::vector<uint16_t> indices, uint32_t points) {
    LwoWriter w;
    for (uint32_t i = 0; i < points; ++i) w.AddPoint(float(i % 17), float(i % 13), float(i % 7));
    w.AddPolygon(indices);
    return w.Build();
}

// The cube of the samples as one layer of `form`.
LayeredWriter LayeredCube(const char* form = "LWO2") { return LayeredWriter::From(MakeCube(), form); }

// The cube as one layer behind the given chunks of a layer of its own.
Bytes CubeAfter(const std::vector<std::pair<const char*, Bytes>>& chunks, const char* form = "LWO2") {
    Bytes b = LayeredCube(form).Build();
    Bytes extra;
    for (const auto& [tag, data] : chunks) LwoWriter::AppendChunk(extra, tag, data);
    b.insert(b.end(), extra.begin(), extra.end());
    PutU32At(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}

Bytes Layr(uint16_t number, uint16_t flags) {
    Bytes b;
    LwoWriter::PutU16(b, number);
    LwoWriter::PutU16(b, flags);
    for (int k = 0; k < 12; ++k) b.push_back(0);
    b.push_back(0);
    b.push_back(0);
    return b;
}

Bytes Face(std::initializer_list<uint32_t> words) {
    Bytes b = {'F', 'A', 'C', 'E'};
    for (uint32_t w : words) {
        if (w > 0xFFFF) {
            LwoWriter::PutU32(b, w);
        } else {
            LwoWriter::PutU16(b, static_cast<uint16_t>(w));
        }
    }
    return b;
}

Bytes ThreePoints() {
    Bytes b;
    for (int k = 0; k < 9; ++k) LwoWriter::PutF32(b, static_cast<float>(k % 4));
    return b;
}

Bytes WithLength(Bytes b, const char* tag, uint32_t length) {
    const size_t at = FindTag(b, tag);
    PutU32At(b, at + 4, length);
    return b;
}

// The cube with "Red" on its first polygon and "Blue" on the others, in
// `form`. Blue is described by the writer; Red's SURF is `red` (its data, or
// for LWO3 the FORM's data), appended last; none when `red` is empty.
Bytes SurfacedCube(const char* form, const Bytes& red) {
    static const std::vector<uint32_t> kQuads[6] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                    {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    SurfaceRecipe red_name;
    red_name.name = "Red";
    red_name.described = false;
    SurfaceRecipe blue;
    blue.name = "Blue";
    blue.red = blue.green = 0;
    blue.blue = 255;
    Bytes b;
    if (std::strcmp(form, "LWOB") == 0) {
        LwoWriter w;
        for (int i = 0; i < 8; ++i) w.AddPoint(i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f);
        w.AddSurface(red_name);
        w.AddSurface(blue);
        for (int k = 0; k < 6; ++k) {
            w.AddPolygon(std::vector<uint16_t>(kQuads[k].begin(), kQuads[k].end()), static_cast<int16_t>(k ? 2 : 1));
        }
        b = w.Build();
    } else {
        LayeredWriter w(form);
        w.AddLayer(0);
        for (int i = 0; i < 8; ++i) w.AddPoint(i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f);
        w.AddSurface(red_name);
        w.AddSurface(blue);
        for (int k = 0; k < 6; ++k) {
            w.UseSurface(k ? 1 : 0);
            w.AddPolygon(kQuads[k]);
        }
        b = w.Build();
    }
    if (!red.empty()) {
        LwoWriter::AppendChunk(b, std::strcmp(form, "LWO3") == 0 ? "FORM" : "SURF", red);
        PutU32At(b, 4, static_cast<uint32_t>(b.size() - 8));
    }
    return b;
}

// Red's SURF data in `form`, around the given sub-chunks (which use 4-byte
// lengths in LWO3 and 2-byte ones elsewhere).
Bytes RedSurface(const char* form, const Bytes& subchunks) {
    Bytes b;
    if (std::strcmp(form, "LWO3") == 0) {
        b = {'S', 'U', 'R', 'F', ' ', ' ', ' ', ' ', 0, 0, 0, 6, 'R', 'e', 'd', 0, 0, 0};
    } else {
        b = {'R', 'e', 'd', 0};
        if (std::strcmp(form, "LWO2") == 0) b.insert(b.end(), {0, 0});  // the source name
    }
    b.insert(b.end(), subchunks.begin(), subchunks.end());
    return b;
}

// A sub-chunk of `form`'s surfaces with the length stated as `length`.
Bytes SubChunk(const char* form, const char* tag, const Bytes& data, uint32_t length) {
    Bytes b(tag, tag + 4);
    if (std::strcmp(form, "LWO3") == 0) {
        LwoWriter::PutU32(b, length);
    } else {
        LwoWriter::PutU16(b, static_cast<uint16_t>(length));
    }
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// Red's colour sub-chunk in `form`'s encoding, cut to `keep` bytes.
Bytes RedColour(const char* form, size_t keep = SIZE_MAX) {
    Bytes data;
    if (std::strcmp(form, "LWOB") == 0 || std::strcmp(form, "LWLO") == 0) {
        data = {255, 0, 0, 0};
    } else {
        for (float v : {1.f, 0.f, 0.f}) LwoWriter::PutF32(data, v);
        LwoWriter::PutU16(data, 0);
    }
    if (keep < data.size()) data.resize(keep);
    return SubChunk(form, "COLR", data, static_cast<uint32_t>(data.size()));
}

void Join(Bytes& a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

}  // namespace

std::vector<SurfaceCase> DamagedSurfaceObjects() {
    const uint8_t kRed[3] = {255, 0, 0}, kBlue[3] = {0, 0, 255}, kGrey[3] = {200, 200, 200};
    std::vector<SurfaceCase> out;
    auto add = [&out](std::string name, Bytes bytes, const uint8_t* first, const uint8_t* others) {
        out.push_back({std::move(name), std::move(bytes), {first[0], first[1], first[2]},
                       {others[0], others[1], others[2]}});
    };
    for (const char* form : {"LWOB", "LWLO", "LWO2", "LWO3"}) {
        std::string lower(form);
        for (char& c : lower) c = static_cast<char>(c | 0x20);
        const bool lwo3 = std::strcmp(form, "LWO3") == 0;
        const bool tagged = lwo3 || std::strcmp(form, "LWO2") == 0;
        // Sound: Red as its own SURF, after an odd sub-chunk and its pad.
        Bytes sound = SubChunk(form, "XTRA", Bytes{7, 7, 7, 0}, 3);
        Join(sound, RedColour(form));
        add(lower + "-red-surface", SurfacedCube(form, RedSurface(form, sound)), kRed, kBlue);
        // The last sub-chunk odd and without its pad byte, the SURF of odd length.
        Bytes odd = RedColour(form);
        Join(odd, SubChunk(form, "XTRA", Bytes{7}, 1));
        add(lower + "-surf-odd-length", SurfacedCube(form, RedSurface(form, odd)), kRed, kBlue);
        // A sub-chunk whose length runs past the SURF: nothing of it is used.
        Bytes past = RedColour(form);
        Join(past, SubChunk(form, "SMAN", Bytes{0x3F, 0x80}, 100));
        add(lower + "-subchunk-past-the-surf", SurfacedCube(form, RedSurface(form, past)), kGrey, kBlue);
        // The SURF ends inside a sub-chunk's header.
        Bytes cut = RedColour(form);
        Join(cut, Bytes{'S', 'M'});
        add(lower + "-surf-truncated", SurfacedCube(form, RedSurface(form, cut)), kGrey, kBlue);
        add(lower + "-colr-too-short",
            SurfacedCube(form, RedSurface(form, RedColour(form, tagged ? 8 : 2))), kGrey, kBlue);
        add(lower + "-no-surf-for-a-name", SurfacedCube(form, {}), kGrey, kBlue);
        // The names' list ends without the NUL of Blue, its last name.
        Bytes unterminated = SurfacedCube(form, RedSurface(form, RedColour(form)));
        const char* list = tagged ? "TAGS" : "SRFS";
        const size_t at = FindTag(unterminated, list);
        unterminated[at + 8 + 4 + 4] = 'e';  // "Red", "Blue", NUL and pad become "Red", "Blueee"
        unterminated[at + 8 + 4 + 5] = 'e';
        add(lower + "-names-without-nul", unterminated, kRed, kGrey);
        if (!tagged) {
            // Polygon 0's surface word 9 names no surface; -2 names Blue.
            Bytes numbers = SurfacedCube(form, RedSurface(form, RedColour(form)));
            const size_t pols = FindTag(numbers, "POLS") + 8;
            numbers[pols + 10] = 0;
            numbers[pols + 11] = 9;
            add(lower + "-surface-number-9", numbers, kGrey, kBlue);
            if (std::strcmp(form, "LWOB") == 0) {
                numbers[pols + 10] = 0xFF;
                numbers[pols + 11] = 0xFE;
                add(lower + "-surface-number-minus-2", numbers, kBlue, kBlue);
            }
            continue;
        }
        // PTAG: polygon 0 tagged 9 (no such tag); a polygon number past the
        // chunk's polygons; the last pair cut in half.
        Bytes tags = SurfacedCube(form, RedSurface(form, RedColour(form)));
        const size_t ptag = FindTag(tags, "PTAG") + 8 + 4;
        tags[ptag + 3] = 9;
        add(lower + "-ptag-tag-9", tags, kGrey, kBlue);
        tags[ptag + 3] = 0;
        tags[ptag + 1] = 6;  // polygon 6 of 0..5
        add(lower + "-ptag-polygon-6", tags, kGrey, kBlue);
        // A half pair after the whole ones: a polygon number without its tag.
        Bytes halves = SurfacedCube(form, RedSurface(form, RedColour(form)));
        const size_t half = FindTag(halves, "PTAG");
        PutU32At(halves, half + 4, 4 + 6 * 4 + 2);
        halves.insert(halves.begin() + static_cast<std::ptrdiff_t>(half + 8 + 4 + 6 * 4), {0, 0});
        PutU32At(halves, 4, static_cast<uint32_t>(halves.size() - 8));
        add(lower + "-ptag-half-pair", halves, kRed, kBlue);
        if (!lwo3) continue;
        // The material's green colour nested far deeper than any real graph
        // nests it: not searched, so Red keeps its COLR.
        Bytes deep = {'E', 'N', 'T', 'R'};
        Bytes value;
        LwoWriter::PutU32(value, 3);
        for (uint32_t bits : {0u, 0u, 0x3FF00000u, 0u, 0u, 0u}) LwoWriter::PutU32(value, bits);
        Bytes values = {'V', 'A', 'L', 'U'};
        LwoWriter::AppendChunk(values, "    ", value);
        LwoWriter::AppendChunk(deep, "NAME", Bytes{'C', 'o', 'l', 'o', 'r', 0});
        LwoWriter::AppendChunk(deep, "FORM", values);
        for (int k = 0; k < 4000; ++k) {
            Bytes outer = {'A', 'T', 'T', 'R'};
            LwoWriter::AppendChunk(outer, "FORM", deep);
            deep = std::move(outer);
        }
        Bytes ndta = {'N', 'D', 'T', 'A'};
        LwoWriter::AppendChunk(ndta, "FORM", deep);
        Bytes node = {'N', 'T', 'A', 'G'};
        LwoWriter::AppendChunk(node, "NNME", Bytes{'M', 0});
        LwoWriter::AppendChunk(node, "FORM", ndta);
        Bytes graph = {'N', 'N', 'D', 'S'};
        LwoWriter::AppendChunk(graph, "FORM", node);
        Bytes connection = {'N', 'C', 'O', 'N'};
        LwoWriter::AppendChunk(connection, "INME", Bytes{'S', 'u', 'r', 'f', 'a', 'c', 'e', 0});
        LwoWriter::AppendChunk(connection, "IINM", Bytes{'M', 'a', 't', 'e', 'r', 'i', 'a', 'l', 0});
        LwoWriter::AppendChunk(connection, "IINN", Bytes{'M', 0});
        Bytes nodes = {'N', 'O', 'D', 'S'};
        LwoWriter::AppendChunk(nodes, "FORM", graph);
        LwoWriter::AppendChunk(nodes, "FORM", connection);
        Bytes nested = RedColour(form);
        LwoWriter::AppendChunk(nested, "FORM", nodes);
        add("lwo3-nodes-nested-4000-deep", SurfacedCube(form, RedSurface(form, nested)), kRed, kBlue);
        Bytes short_nodes = RedColour(form);
        Join(short_nodes, SubChunk(form, "FORM", Bytes{'N', 'O', 'D', 'S', 'F', 'O', 'R', 'M', 0, 0, 1, 0}, 12));
        add("lwo3-nodes-cut-short", SurfacedCube(form, RedSurface(form, short_nodes)), kRed, kBlue);
    }
    return out;
}

std::vector<LayeredCase> LayeredObjects() {
    std::vector<LayeredCase> out;
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        out.push_back({std::string(form) + "-cube", LayeredCube(form).Build(), 0});
    }
    // Layers in any order, a hidden one, and polygon types that are not drawn.
    LayeredWriter mixed("LWO2");
    mixed.AddLayer(3, 0, "front");
    for (int k = 0; k < 4; ++k) mixed.AddPoint(float(k & 1), float(k >> 1), 0.f);
    mixed.AddPolygon({0, 1, 3, 2});
    mixed.AddPolygon({0, 3}, "CURV");
    mixed.AddPolygon({1}, "PTCH");
    mixed.AddLayer(1, 1, "hidden");
    for (int k = 0; k < 3; ++k) mixed.AddPoint(5.f, float(k), 1.f);
    mixed.AddPolygon({0, 1, 2});
    mixed.AddLayer(2, 0, "back", 3);
    for (int k = 0; k < 3; ++k) mixed.AddPoint(float(k), -1.f, 2.f);
    mixed.AddPolygon({0, 1, 2}, "SUBD", true);
    out.push_back({"lwo2-layers-types-hidden", mixed.Build(), 0});

    LayeredWriter big("LWO2");
    std::vector<uint32_t> ring(1023);
    for (int k = 0; k < 1023; ++k) {
        const double a = 6.283185307179586 * k / 1023;
        big.AddPoint(float(std::cos(a)), float(std::sin(a)), float(k % 7));
        ring[k] = k;
    }
    for (int p = 0; p < 64; ++p) big.AddPolygon(ring, "FACE", p % 2 == 1);
    out.push_back({"lwo2-vertex-count-1023", big.Build(), 0});

    LayeredWriter points("LWO2");
    for (int k = 0; k < 1000; ++k) points.AddPoint(float(k % 37), float(k % 29), float(k % 11));
    for (int k = 0; k < 1000000; ++k) points.AddPolygon({uint32_t(k % 1000)});
    out.push_back({"lwo2-million-one-vertex-polygons", points.Build(), 0});

    out.push_back({"lwo2-index-past-points-4-byte", CubeAfter({{"LAYR", Layr(1, 0)}, {"PNTS", ThreePoints()},
                                                               {"POLS", Face({3, 0, 1, 0xFF000003u})}}), 3});
    out.push_back({"lwo2-index-ffffff",
                   CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Face({3, 0, 1, 0xFFFFFFFFu})}}), 3});
    out.push_back({"lwo2-layer-without-points", CubeAfter({{"LAYR", Layr(1, 0)}, {"POLS", Face({1, 0})}}), 3});
    out.push_back({"lwo2-layer-without-points-empty-pols", CubeAfter({{"LAYR", Layr(1, 0)}, {"POLS", Face({})}}), 3});
    out.push_back({"lwo2-empty-layer", CubeAfter({{"LAYR", Layr(1, 0)}}), 0});
    out.push_back({"lwo2-pnts-length-3gb", WithLength(LayeredCube().Build(), "PNTS", 0xC0000000u), 3});
    out.push_back({"lwo2-pols-length-3gb", WithLength(LayeredCube().Build(), "POLS", 0xC0000000u), 3});
    out.push_back({"lwo2-pols-length-ffffffff", WithLength(LayeredCube().Build(), "POLS", 0xFFFFFFFFu), 3});
    out.push_back({"lwo2-short-layr", CubeAfter({{"LAYR", Bytes{0, 1}}}), 3});
    out.push_back({"lwo2-untyped-pols", CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Bytes{'F', 'A'}}}), 3});
    out.push_back({"lwo2-vertex-count-0", CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Face({0})}}), 3});
    out.push_back({"lwo2-flags-above-the-count",
                   CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Face({0xFC03, 0, 1, 2})}}), 0});
    out.push_back({"lwo2-record-overrun", CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Face({4, 0, 1, 2})}}), 3});
    out.push_back({"lwo2-cut-long-index", CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Face({2, 0, 0xFF00})}}), 3});
    out.push_back({"lwo2-hidden-layer-bad-polygons",
                   CubeAfter({{"LAYR", Layr(1, 1)}, {"POLS", Face({3, 0, 1, 9})}, {"PNTS", Bytes(5)}}), 0});
    out.push_back({"lwo2-curv-bad-indices",
                   CubeAfter({{"PNTS", ThreePoints()}, {"POLS", Bytes{'C', 'U', 'R', 'V', 0, 9}}}), 0});
    Bytes trailing = LayeredCube().Build();
    trailing.insert(trailing.end(), {'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3});
    out.push_back({"lwo2-bytes-after-the-form", trailing, 0});
    Bytes long_form = LayeredCube().Build();
    PutU32At(long_form, 4, 0xFFFFFFF0u);
    out.push_back({"lwo2-form-length-past-the-file", long_form, 0});

    // LWLO: LWOB records with detail polygons after a negative surface.
    Bytes details;
    for (uint16_t w : {3, 0, 1, 2, 0xFFFF, 2, 3, 0, 2, 3, 1, 3, 4, 1, 0, 1}) LwoWriter::PutU16(details, w);
    Bytes lwlo_points;
    for (int k = 0; k < 15; ++k) LwoWriter::PutF32(lwlo_points, static_cast<float>(k % 5));
    out.push_back({"lwlo-detail-polygons", CubeAfter({{"LAYR", Bytes{0, 1, 0, 1, 0, 0}}, {"PNTS", lwlo_points},
                                                      {"POLS", details}}, "LWLO"), 0});
    const Bytes missing(details.begin(), details.end() - 10);  // the second detail polygon cut away
    out.push_back({"lwlo-details-missing", CubeAfter({{"PNTS", lwlo_points}, {"POLS", missing}}, "LWLO"), 3});
    Bytes wide;
    LwoWriter::PutU16(wide, 1024);
    for (int k = 0; k < 1024; ++k) LwoWriter::PutU16(wide, static_cast<uint16_t>(k % 5));
    LwoWriter::PutU16(wide, 1);
    out.push_back({"lwlo-vertex-count-1024", CubeAfter({{"PNTS", lwlo_points}, {"POLS", wide}}, "LWLO"), 3});
    return out;
}

std::vector<NamedObject> HostileObjects() {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Bytes cube = MakeCube().Build();
    std::vector<NamedObject> out = {
        {"cube", cube},
        {"pnts-length-ffffffff", WithChunkLength("PNTS", 0xFFFFFFFFu)},
        {"pols-length-ffffffff", WithChunkLength("POLS", 0xFFFFFFFFu)},
        {"pols-length-one-past-end", WithChunkLength("POLS", uint32_t(cube.size() - FindTag(cube, "POLS") - 8 + 1))},
        {"pnts-length-zero", WithChunkLength("PNTS", 0)},
        {"pols-length-odd", WithChunkLength("POLS", 49)},
        {"nan-corner", CubeWith(nan, false)},
        {"nan-everywhere", CubeWith(nan, true)},
        {"inf-corner", CubeWith(inf, false)},
        {"minus-inf-corner", CubeWith(-inf, false)},
        {"huge-corner", CubeWith(3e38f, false)},
        {"minus-huge-corner", CubeWith(-3e38f, false)},
        {"far-corner", CubeWith(1e7f, false)},
        {"all-points-equal", CubeWith(2.5f, true)},
        {"denormal-corner", CubeWith(1e-42f, false)},
        {"vertex-count-0", OnePolygon({}, 3)},
        {"vertex-count-201", OnePolygon(std::vector<uint16_t>(201, 1), 3)},
        {"point-number-65535", OnePolygon({0, 1, 65535}, 3)},
        {"point-number-equal-to-count", OnePolygon({0, 1, 3}, 3)},
        {"layered", MakeCube().Build("LWLO")},
        {"lwo2", MakeCube().Build("LWO2")},
        {"truncated-header", Bytes(cube.begin(), cube.begin() + 11)},
    };
    // A surface name that spells PNTS before the real chunk.
    LwoWriter named = MakeCube();
    named.AddSurface("PNTS");
    out.push_back({"surface-named-pnts", named.Build()});
    return out;
}

}  // namespace qavren::tools
