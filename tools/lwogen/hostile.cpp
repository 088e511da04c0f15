// The hostile objects, each a small valid shape with one thing bent.
#include "tools/lwogen/hostile.h"

#include <cmath>
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

}  // namespace

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
    Bytes missing = details;
    missing.resize(missing.size() - 10);  // the second detail polygon cut away
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
