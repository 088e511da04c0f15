// The hostile objects, each a small valid shape with one thing bent.
#include "tools/lwogen/hostile.h"

#include <cmath>
#include <cstring>
#include <limits>

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

}  // namespace

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
