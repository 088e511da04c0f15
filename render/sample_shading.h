// The shading of the shaded style's visible samples. The rasteriser leaves
// in each sample the nearest shape's value: the colour of a shape whose
// colour is the same everywhere (a flat face without textures or vertex
// colours, a line, a dot), or the number of a face to be shaded where it
// stays visible. ShadeBand then gives each such sample its colour, so that
// what overdraw hides costs no light and no texture work:
//
// - The samples of one face within one pixel are shaded once, at the mean
//   of their centres (inside the face, which is convex), and share the
//   colour: a pixel wholly inside a face costs one shading, not four.
// - At that point the face's corner weights (linear in the picture's
//   coordinates, from the same fixed-point corners the rasteriser drew)
//   interpolate the corners' normals, object positions, UV values and
//   vertex colours. Interpolation is linear across the picture, as the
//   depth is.
// - The surface's colour takes its layers (texture_shade.h), bottom first,
//   then the vertex colours; it is lit with the interpolated normal, made
//   unit length, and the surface's highlight (render/shading.h).
// - A layer's footprint (the texels a pixel spans, which chooses the mip
//   level) is taken once a face, at its centre.
//
// What a face needs is worked out the first time one of its samples is
// shaded and kept in a small cache, so that neighbouring pixels of one face
// reuse it. Every step is double arithmetic in a fixed order: the same
// bytes on every build.
#pragma once

#include <cstdint>

#include "object/model.h"
#include "platform/owned_array.h"
#include "platform/status.h"
#include "render/projection.h"
#include "render/shaded_raster.h"
#include "render/shaded_samples.h"
#include "render/shading.h"
#include "render/texture_bind.h"

namespace qavren::shaded_detail {

// A triangle, line or dot to draw, in the order the polygons give them,
// and the bands of rows it may reach.
struct Shape {
    enum Kind : uint32_t { kTriangle, kLine, kDot };
    union Geometry {
        Vertex corner[3];
        ProjectedPoint point[2];
    } geometry;
    Kind kind;
    uint32_t value;    // what its samples hold (ShadedSamples::Sample)
    // A face shaded where visible: its polygon, the polygon's first corner
    // in Scene::normals, and the fan's corners 0, fan and fan + 1.
    uint32_t polygon;
    uint32_t slot;
    uint32_t fan;
    int32_t first_band, last_band;
};

// What shading reads, the same for every band and thread.
struct Scene {
    const Shape* shapes = nullptr;
    const ObjectModel* model = nullptr;
    const float* normals = nullptr;        // 3 a polygon corner, unit, facing the viewer
    const SurfaceShade* shades = nullptr;  // a surface's light terms
    const BoundTextures* textures = nullptr;
    Light light;
};

// One drawing thread's shading state.
class SampleShader {
public:
    // Room for faces of up to `most_layers` layers: 0, or status::kNoMemory.
    Status Allocate(uint32_t most_layers);

    // Every sample of the band holding a face's number gets its colour.
    void ShadeBand(const Scene& scene, ShadedSamples* band);

private:
    // Faces remembered, by number: enough for the faces a row of pixels
    // crosses to be found again on the next row.
    static constexpr uint32_t kEntries = 64;

    struct LayerCorners {
        float uv[3][2];
        LayerSample sample;  // has_uv, du and dv for the face; uv per sample
    };
    struct Face {
        uint32_t shape = UINT32_MAX;
        double wx[3], wy[3], w0[3];  // weight k = wx sx + wy sy + w0, sx and sy in samples
        Vec3 normal[3];
        const SurfaceShade* shade;
        uint32_t surface;
        uint32_t layer_count;  // 0 unless the surface is textured
        float position[3][3];
        float object_normal[3];
        const VertexMapValues* vertex_colours;
        float intensity;
        float colour[3][4];
        LayerCorners* layers;
    };

    Face& SetUp(const Scene& scene, uint32_t shape);
    uint32_t ShadeAt(const Scene& scene, Face& face, double sx, double sy);

    Face faces_[kEntries];
    OwnedArray<LayerCorners> layers_;
    OwnedArray<LayerSample> samples_;
};

}  // namespace qavren::shaded_detail
