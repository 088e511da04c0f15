// The blending rules told in texture_blend.h.
#include "object/texture_blend.h"

#include <algorithm>
#include <cmath>

namespace qavren {
namespace {

float Clamp01(float v) { return std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f); }

float BlendOne(BlendMode mode, float below, float layer, float a) {
    switch (mode) {
    case BlendMode::kNormal: return below + (layer - below) * a;
    case BlendMode::kAdditive: return below + layer * a;
    case BlendMode::kSubtractive: return below - layer * a;
    case BlendMode::kDifference: return below + (std::fabs(below - layer) - below) * a;
    case BlendMode::kMultiply: return below + (below * layer - below) * a;
    case BlendMode::kDivide: return below + ((layer > 0 ? below / layer : 1.0f) - below) * a;
    case BlendMode::kAlpha:
    case BlendMode::kDisplacement: return below;
    }
    return below;
}

}  // namespace

FloatRgb BlendLayer(const TextureLayer& layer, FloatRgb below, FloatRgb texel, float texel_alpha) {
    if (!layer.enabled) return below;
    if (layer.negative) texel = {1 - texel.r, 1 - texel.g, 1 - texel.b};
    const float a = Clamp01(layer.opacity) * Clamp01(texel_alpha);
    return {Clamp01(BlendOne(layer.blend, below.r, Clamp01(texel.r), a)),
            Clamp01(BlendOne(layer.blend, below.g, Clamp01(texel.g), a)),
            Clamp01(BlendOne(layer.blend, below.b, Clamp01(texel.b), a))};
}

FloatRgb ApplyVertexColour(FloatRgb colour, FloatRgb vertex, float vertex_alpha, float intensity) {
    const float a = Clamp01(vertex_alpha) * Clamp01(intensity);
    return {Clamp01(colour.r * (1 + (Clamp01(vertex.r) - 1) * a)), Clamp01(colour.g * (1 + (Clamp01(vertex.g) - 1) * a)),
            Clamp01(colour.b * (1 + (Clamp01(vertex.b) - 1) * a))};
}

}  // namespace qavren
