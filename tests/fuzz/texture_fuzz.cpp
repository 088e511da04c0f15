// Fuzz target for the texture records: any bytes loaded as an object whose
// polygons pass the walk, its surfaces read with their colour layers, clips
// and vertex maps, and every record read back, so that a name or value
// pointing outside the object or its records is caught by the sanitizers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "object/model.h"

using namespace qavren;

namespace {

volatile uint32_t g_sink;

void Touch(const TextName& name) {
    uint32_t sum = 0;
    for (uint32_t k = 0; k < name.length; ++k) sum += name.bytes[k];
    g_sink = g_sink + sum;
}

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX) return 0;
    ObjectBuffer buffer;
    if (buffer.LoadFromMemory(data, static_cast<uint32_t>(size)) != status::kOk) return 0;
    ObjectModel model;
    if (Failed(ReadModel(buffer, kEveryForm, ModelParts::kWithSurfaces, &model)) || Failed(model.polygon_status)) {
        return 0;
    }
    const ObjectSurfaces& surfaces = model.surfaces;
    const TextureRecords& records = surfaces.texture_records();
    for (uint32_t n = 0; n < surfaces.surface_count(); ++n) {
        const SurfaceTextures& t = surfaces.textures(n);
        Touch(t.vertex_colours.map);
        Check(t.vertex_colours.intensity >= 0 && t.vertex_colours.intensity <= 1);
        for (uint32_t k = 0; k < t.count; ++k) {
            const TextureLayer& l = surfaces.layer(n, k);
            Touch(l.image);
            Touch(l.uv_map);
            Touch(l.ordinal);
            Check(l.image.length > 0 && l.axis < 3 && l.opacity >= 0 && l.opacity <= 1);
            for (int a = 0; a < 3; ++a) {
                Check(std::isfinite(l.centre[a]) && std::isfinite(l.size[a]) && l.size[a] != 0);
                Check(std::isfinite(l.rotation[a]));
            }
        }
    }
    for (uint32_t k = 0; k < records.clip_count(); ++k) Touch(records.clip(k).name);
    for (uint32_t m = 0; m < records.map_count(); ++m) {
        const VertexMapValues& v = records.map(m);
        Touch(v.name);
        for (uint32_t k = 0; k < v.point_count; ++k) {
            Check(v.points[k].point < model.point_count() && (k == 0 || v.points[k - 1].point < v.points[k].point));
        }
        for (uint32_t k = 0; k < v.corner_count; ++k) {
            Check(v.corners[k].polygon < model.polygons.count && v.corners[k].point < model.point_count());
        }
    }
    return 0;
}
