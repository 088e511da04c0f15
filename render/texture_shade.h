// The textured colour of one visible sample: a surface's colour layers laid
// one on another, bottom first, over the surface's own colour, before light.
//
// Each layer reads its image at the sample's coordinates (its projection's,
// or the UV map's for UV layers) and blends by BlendLayer with its opacity
// and the texel's alpha. A layer is skipped where it has nothing to give: it
// is disabled, its image is missing or could not be prepared, its UV map
// holds no value at the sample, or a reset wrap leaves the image. Two modes
// have no colour of their own:
//   alpha         the layer's luminance (0.2126 R + 0.7152 G + 0.0722 B, of
//                 the negative where the layer is negative), mixed towards 1
//                 by its opacity and alpha, becomes the coverage of what the
//                 layers below laid on the surface's colour:
//                 colour = base + (colour - base) · mask
//   displacement  moves coordinates, which a picture of the model does not
//                 show: skipped
#pragma once

#include <cstdint>

#include "object/texture_blend.h"
#include "object/textures.h"
#include "render/texture_image.h"
#include "render/texture_map.h"

namespace qavren {

// One layer ready for drawing: its record, its placement, its image and,
// for a UV layer, its map's values.
struct TextureBinding {
    const TextureLayer* layer = nullptr;
    TextureMapping mapping;
    const MipPyramid* image = nullptr;  // null or empty: the layer is skipped
    const VertexMapValues* uv_map = nullptr;  // null: a UV layer gives nothing
};

// What the renderer knows of one visible sample for one layer.
struct LayerSample {
    TextureCoordinates uv;  // UV layers: the map's interpolated value
    bool has_uv = false;    // UV layers: whether the map holds a value here
    float du = 0, dv = 0;   // the footprint: how far u and v move to the next pixel
};

// The colour of a sample at `position` with `normal` (object coordinates),
// whose surface colour is `base`; `samples` holds one entry per layer.
FloatRgb ShadeTextured(const TextureBinding* layers, uint32_t count, FloatRgb base, const float position[3],
                  const float normal[3], const LayerSample* samples);

// The footprint of a projected layer at a sample: the coordinates' change
// to the points `step_x` and `step_y` (object coordinates) away, which are
// where the next pixel across and down lands. Longitudes are taken the
// short way round the seam.
void ProjectedFootprint(const TextureBinding& binding, const float position[3], const float normal[3],
                        const float step_x[3], const float step_y[3], float* du, float* dv);

// The value of a vertex map at a polygon's corner: the polygon's own value
// for that point (VMAD) if the map holds one, else the point's (VMAP). False
// where the map holds neither (the layer then gives nothing there).
bool VertexMapAt(const VertexMapValues& map, uint32_t polygon, uint32_t point, float value[4]);

}  // namespace qavren
