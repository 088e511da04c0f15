// The layering told in texture_shade.h.
#include "render/texture_shade.h"

#include <cmath>
#include <initializer_list>

namespace qavren {
namespace {

// The change of a coordinate between two points; for a longitude, whose
// values repeat every `period`, the shorter way.
float Step(float from, float to, bool periodic, float period) {
    float d = std::fabs(to - from);
    if (periodic && period > 0 && d > period / 2) {
        d = std::fmod(d, period);
        if (d > period / 2) d = period - d;
    }
    return d;
}

}  // namespace

FloatRgb ShadeTextured(const TextureBinding* layers, uint32_t count, FloatRgb base, const float position[3],
                  const float normal[3], const LayerSample* samples) {
    FloatRgb colour = base;
    for (uint32_t k = 0; k < count; ++k) {
        const TextureBinding& b = layers[k];
        if (!b.layer || !b.layer->enabled || !b.image || b.image->empty()) continue;
        const TextureLayer& layer = *b.layer;
        if (layer.blend == BlendMode::kDisplacement) continue;
        const LayerSample& s = samples[k];
        TextureCoordinates uv;
        if (layer.projection == Projection::kUv) {
            if (!s.has_uv) continue;
            uv = s.uv;
        } else {
            uv = b.mapping.Map(position, normal);
        }
        const Texel t = b.image->Sample(uv, s.du, s.dv, layer.wrap_width, layer.wrap_height);
        if (!t.hit) continue;
        if (layer.blend != BlendMode::kAlpha) {
            colour = BlendLayer(layer, colour, t.colour, t.alpha);
            continue;
        }
        FloatRgb grey = t.colour;
        if (layer.negative) grey = {1 - grey.r, 1 - grey.g, 1 - grey.b};
        const float luminance = 0.2126f * grey.r + 0.7152f * grey.g + 0.0722f * grey.b;
        const float opacity = std::isnan(layer.opacity) ? 0.0f : layer.opacity;
        const float mask = 1 + (luminance - 1) * opacity * t.alpha;
        colour = {base.r + (colour.r - base.r) * mask, base.g + (colour.g - base.g) * mask,
                  base.b + (colour.b - base.b) * mask};
    }
    return colour;
}

void ProjectedFootprint(const TextureBinding& binding, const float position[3], const float normal[3],
                        const float step_x[3], const float step_y[3], float* du, float* dv) {
    *du = *dv = 0;
    if (!binding.layer || binding.layer->projection == Projection::kUv) return;
    const TextureLayer& layer = *binding.layer;
    const bool round = layer.projection == Projection::kCylindrical || layer.projection == Projection::kSpherical;
    const TextureCoordinates here = binding.mapping.Map(position, normal);
    for (const float* step : {step_x, step_y}) {
        const TextureCoordinates there = binding.mapping.Map(step, normal);
        const float u = Step(here.u, there.u, round, layer.repeat_width);
        const float v = Step(here.v, there.v, false, 0);
        if (!(u <= *du)) *du = u;  // NaN is kept: the sampler reads level 0
        if (!(v <= *dv)) *dv = v;
    }
}

bool VertexMapAt(const VertexMapValues& map, uint32_t polygon, uint32_t point, float value[4]) {
    // Both lists are sorted (corners by polygon, then point): binary searches.
    uint32_t lo = 0, hi = map.corner_count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const CornerValue& c = map.corners[mid];
        if (c.polygon < polygon || (c.polygon == polygon && c.point < point)) lo = mid + 1;
        else hi = mid;
    }
    if (lo < map.corner_count && map.corners[lo].polygon == polygon && map.corners[lo].point == point) {
        for (int k = 0; k < 4; ++k) value[k] = map.corners[lo].value[k];
        return true;
    }
    lo = 0, hi = map.point_count;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (map.points[mid].point < point) lo = mid + 1;
        else hi = mid;
    }
    if (lo < map.point_count && map.points[lo].point == point) {
        for (int k = 0; k < 4; ++k) value[k] = map.points[lo].value[k];
        return true;
    }
    return false;
}

}  // namespace qavren
