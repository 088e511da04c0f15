// The surfaces of an object of any of the four forms: what each surface
// looks like, and which surface each drawn polygon uses, in the order the
// polygon walk hands the polygons out. Every byte is untrusted, and damaged
// surface data never refuses an object: a polygon without a surface, a name
// with no SURF chunk, a SURF chunk that cannot be read and a surface number
// or tag out of range all get the default surface. How each form is read,
// and what is checked, is told at the top of surfaces.cpp.
#pragma once

#include <cstdint>

#include "object/forms.h"
#include "object/model_polygons.h"
#include "object/object_buffer.h"
#include "object/textures.h"
#include "platform/status.h"

namespace qavren {

// One surface as the shaded style draws it.
struct SurfaceLook {
    uint8_t red = 200;  // COLR; LightWave's default grey
    uint8_t green = 200;
    uint8_t blue = 200;
    float diffuse = 1.0f;     // DIFF: the share of the light the surface returns
    float luminosity = 0.0f;  // LUMI: light of its own, added to the lit colour
    float smoothing = 0.0f;   // the smoothing angle in radians; 0: flat faces
    bool double_sided = false;  // SIDE 3 (LWO2, LWO3), FLAG bit value 256 (LWOB, LWLO)
    float specular = 0.0f;      // SPEC: the share of the light the highlight returns, 0..2
    float glossiness = 0.4f;    // GLOS, 0..1: how small the highlight is (exponent 2^(10 g + 2))
};

// A surface's name as the file spells it: the bytes before its NUL, inside
// the object's buffer (empty for the default surface).
struct SurfaceName {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
};

// The surfaces of one object, for one renderer call; freed on destruction.
class ObjectSurfaces {
public:
    ObjectSurfaces() = default;
    ObjectSurfaces(const ObjectSurfaces&) = delete;
    ObjectSurfaces& operator=(const ObjectSurfaces&) = delete;

    // Reads the surfaces of `buffer`, an object of `form` whose polygons,
    // every record sound, are `polygons`. status::kOk, or status::kNoMemory.
    Status Read(const ObjectBuffer& buffer, ObjectForm form, const ModelPolygons& polygons);

    // Surface 0 is the default surface; the object's own follow it.
    uint32_t surface_count() const { return surface_count_; }
    const SurfaceLook& look(uint32_t surface) const { return looks_[surface]; }
    // The surface of polygon k of the walk (k < polygon_count()).
    uint32_t polygon_count() const { return polygon_count_; }
    uint32_t SurfaceOf(uint32_t polygon) const { return polygon_surfaces_.empty() ? 0 : polygon_surfaces_[polygon]; }
    const SurfaceLook& LookOf(uint32_t polygon) const { return looks_[SurfaceOf(polygon)]; }

    // Of surface s < surface_count(): its name, which points into the buffer
    // given to Read and lives as long as it; whether a SURF chunk of that name
    // was read (otherwise its look is the default); how many polygons use it.
    SurfaceName name(uint32_t surface) const { return {entries_[surface].name, entries_[surface].name_length}; }
    bool described(uint32_t surface) const { return entries_[surface].described; }
    uint32_t polygons_using(uint32_t surface) const { return entries_[surface].polygons; }

    // Of surface s < surface_count(): its colour layers (bottom first) and
    // vertex colours; layer k < textures(s).count is layer(s, k).
    const SurfaceTextures& textures(uint32_t surface) const { return textures_.surface(entries_[surface].textures); }
    const TextureLayer& layer(uint32_t surface, uint32_t k) const {
        return textures_.layer(textures(surface).first + k);
    }
    // The CLIPs and the values of the vertex maps the layers use.
    const TextureRecords& texture_records() const { return textures_; }

private:
    struct Entry {
        const uint8_t* name;
        uint32_t name_length;
        uint32_t polygons;
        uint32_t textures;  // the SURF's number in textures_
        bool described;
    };
    void Clear();
    Status AllocateSurfaces(uint32_t count);
    void ReadDescriptions(const ObjectBuffer& buffer, ObjectForm form, const uint32_t* order);
    void Describe(const uint8_t* name, uint32_t length, const SurfaceLook& look, uint32_t textures,
                  const uint32_t* order);
    void ReadPolygonSurfaces(const ObjectBuffer& buffer, const ModelPolygons& polygons, bool tagged);

    TextureRecords textures_;

    OwnedArray<SurfaceLook> looks_;
    OwnedArray<Entry> entries_;
    OwnedArray<uint32_t> polygon_surfaces_;  // empty: every polygon uses surface 0
    uint32_t surface_count_ = 0;
    uint32_t polygon_count_ = 0;
};

}  // namespace qavren
