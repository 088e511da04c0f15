// The surfaces of an object of any of the four forms: what each surface
// looks like, and which surface each drawn polygon uses, in the order the
// polygon walk hands the polygons out. Every byte is untrusted, and damaged
// surface data never refuses an object: a polygon without a surface, a name
// with no SURF chunk and a SURF chunk that cannot be read all get the
// default surface.
#pragma once

#include <cstdint>

#include "object/geometry.h"
#include "object/object_buffer.h"
#include "object/status.h"

namespace qavren {

// One surface as the shaded style draws it.
struct SurfaceLook {
    uint8_t red = 200;  // COLR; LightWave's default grey
    uint8_t green = 200;
    uint8_t blue = 200;
    float diffuse = 1.0f;     // DIFF: the share of the light the surface returns
    float luminosity = 0.0f;  // LUMI: light of its own, added to the lit colour
    float smoothing = 0.0f;   // the smoothing angle in radians; 0: flat faces
};

// The surfaces of one object, for one renderer call; freed on destruction.
class ObjectSurfaces {
public:
    ObjectSurfaces() = default;
    ObjectSurfaces(const ObjectSurfaces&) = delete;
    ObjectSurfaces& operator=(const ObjectSurfaces&) = delete;
    ~ObjectSurfaces();

    // Reads the surfaces of `buffer`, whose polygons have passed the walk
    // (CountTriangles): `polygon_count` polygons, `point_count` points.
    // 0, or -4 when memory cannot be had.
    Status Read(const ObjectBuffer& buffer, const ObjectPolygons& polygons, uint32_t point_count,
                uint32_t polygon_count);

    // Surface 0 is the default surface; the object's own follow it.
    uint32_t surface_count() const { return surface_count_; }
    const SurfaceLook& look(uint32_t surface) const { return looks_[surface]; }
    // The surface of polygon k of the walk (k < polygon_count()).
    uint32_t polygon_count() const { return polygon_count_; }
    uint32_t SurfaceOf(uint32_t polygon) const { return polygon_surfaces_ ? polygon_surfaces_[polygon] : 0; }
    const SurfaceLook& LookOf(uint32_t polygon) const { return looks_[SurfaceOf(polygon)]; }

private:
    SurfaceLook* looks_ = nullptr;
    uint32_t* polygon_surfaces_ = nullptr;  // null: every polygon uses surface 0
    uint32_t surface_count_ = 0;
    uint32_t polygon_count_ = 0;
};

}  // namespace qavren
