// How a colour layer and a vertex colour map change the colour beneath
// them, as small pure functions of 0..1 colour values.
//
// Layers (LightWave's blending modes, each then mixed with what lies below
// by the layer's opacity times the image's alpha, `a`):
//   normal       below + (layer - below) a
//   additive     below + layer a
//   subtractive  below - layer a
//   difference   below + (|below - layer| - below) a
//   multiply     below + (below layer - below) a
//   divide       below + (below / layer - below) a; a black layer divides to white
// Results are clamped to 0..1. A negative layer is 1 - its colour first.
// Alpha and displacement layers give no colour of their own: an alpha
// layer masks the layers below it and a displacement layer moves those
// above, which a single layer's rule cannot say, so both leave the colour
// as it is.
//
// Vertex colours: LightWave multiplies the surface's colour (with its
// textures) by the vertex colour, like a multiply layer whose opacity is
// the map's intensity times the vertex's alpha (1 in an RGB map; a point
// the map does not hold has alpha 0, so its colour is unchanged):
//   colour (1 + (vertex - 1) intensity alpha).
#pragma once

#include "object/textures.h"

namespace qavren {

struct FloatRgb {
    float r, g, b;
};

// `texel` as the image gives it (0..1), with its alpha (1 without one).
FloatRgb BlendLayer(const TextureLayer& layer, FloatRgb below, FloatRgb texel, float texel_alpha);

FloatRgb ApplyVertexColour(FloatRgb colour, FloatRgb vertex, float vertex_alpha, float intensity);

}  // namespace qavren
