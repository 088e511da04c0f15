// The image textures of an object's colour channel as plain records, for
// all four forms: each surface's colour layers in the order they are laid
// on, its vertex colour map, the images (clips) the layers name, and the
// per-point and per-polygon-corner values of the UV and colour maps the
// layers and vertex colour maps use. These are what the file says, made
// safe: the renderer finds, decodes and draws the images.
//
// Trust. Every byte is untrusted. The records are read by the surface
// reader's own walks (surfaces.cpp, surface_nodes.cpp, texture_blocks.cpp);
// a damaged record is dropped, so that its surface stays untextured, and
// reading fails only for memory. Names point into the object's buffer and
// live as long as it, except a clip name formed from an image sequence,
// which these records own. Floats are finite (NaN and infinities become the
// default), sizes are never zero, opacities and intensities lie in 0..1.
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace qavren {

// Bytes of a name as the file spells them, without the NUL; may be empty.
struct TextName {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
};

// How a layer's image is laid onto the surface. LWO2's PROJ numbers them
// in this order.
enum class Projection : uint8_t { kPlanar, kCylindrical, kSpherical, kCubic, kFront, kUv };

// What lies beyond the image's edges: LWO2's WRAP numbers (LWOB's TWRP
// black, clamp, repeat and mirror become reset, edge, repeat and mirror).
enum class WrapMode : uint8_t { kReset, kRepeat, kMirror, kEdge };

// How a layer combines with what lies below it: LWO2's OPAC types.
enum class BlendMode : uint8_t {
    kNormal,
    kSubtractive,
    kDifference,
    kMultiply,
    kDivide,
    kAlpha,          // the layer is the alpha of the layers below
    kDisplacement,   // moves the coordinates of the layers above; no colour
    kAdditive,
};

// One image layer of a surface's colour channel.
struct TextureLayer {
    Projection projection = Projection::kPlanar;
    uint8_t axis = 0;  // 0: x, 1: y, 2: z; the axis of planar, cylindrical and spherical maps
    float centre[3] = {0, 0, 0};
    float size[3] = {1, 1, 1};      // never zero
    float rotation[3] = {0, 0, 0};  // heading, pitch, bank in radians (LWO2 ROTA)
    bool world_coordinates = false;
    // The image: whether the layer names a CLIP by its index (LWO2, LWO3
    // layers; some writers number CLIPs from 0) or holds the name itself
    // (LWOB, LWO3 Image nodes), and the stored name. Layers without a name
    // are not kept.
    bool names_clip = false;
    uint32_t clip_index = 0;
    TextName image;
    WrapMode wrap_width = WrapMode::kRepeat;
    WrapMode wrap_height = WrapMode::kRepeat;
    float repeat_width = 1;   // WRPW, WRPH: image repeats across the projection
    float repeat_height = 1;
    TextName uv_map;  // the TXUV map of a UV layer
    BlendMode blend = BlendMode::kNormal;
    float opacity = 1;  // 0..1
    bool negative = false;
    bool pixel_blending = false;
    bool antialiasing = false;
    bool enabled = true;
    TextName ordinal;  // LWO2, LWO3: the layers sort by these bytes, first at the bottom
};

// VCOL: the vertex colour map that tints a surface.
enum class ColourMapType : uint8_t { kRgb, kRgba };
struct VertexColourMap {
    bool present = false;
    float intensity = 1;  // 0..1; an envelope on it is ignored
    ColourMapType type = ColourMapType::kRgb;
    TextName map;
};

// The texture records of one surface: its colour layers, bottom first, in
// TextureRecords::layer(first + k) for k < count, and its vertex colours.
struct SurfaceTextures {
    uint32_t first = 0;
    uint32_t count = 0;
    uint32_t skipped = 0;  // colour layers not kept: procedural, gradient, shader, no image
    VertexColourMap vertex_colours;
};

// A CLIP: its index and the image's name (STIL, or an ISEQ's first frame).
struct ClipRecord {
    uint32_t index = 0;
    TextName name;
};

// The values of one vertex map a layer or VCOL uses: per point (VMAP) and
// per polygon corner (VMAD), each sorted by point, then polygon; points are
// numbered in the object's drawn points, polygons in the polygon walk's order.
// Colour maps are found by name whatever type VCOL gives: writers name an
// RGBA map with an RGB VCOL.
enum class VertexMapType : uint8_t { kUv, kColour };
struct PointValue {
    uint32_t point;
    float value[4];  // UV: u, v; RGB: r, g, b; RGBA: r, g, b, a (alpha 1 where the map has none)
};
struct CornerValue {
    uint32_t polygon;
    uint32_t point;
    float value[4];
};
struct VertexMapValues {
    VertexMapType type = VertexMapType::kUv;
    TextName name;
    const PointValue* points = nullptr;
    uint32_t point_count = 0;
    const CornerValue* corners = nullptr;
    uint32_t corner_count = 0;
};

// Where the layer readers put what they find. Layers of a SURF are added
// between BeginSurface and EndSurface (which sorts them by ordinal and
// numbers the SURF's records) or DropSurface. An allocation that fails sets
// out_of_memory() and drops the record, so that the readers never stop for
// it; the surface reader then reports the failure.
class TextureRecords {
public:
    TextureRecords() = default;
    TextureRecords(const TextureRecords&) = delete;
    TextureRecords& operator=(const TextureRecords&) = delete;
    ~TextureRecords();
    void Clear();

    void BeginSurface();
    // A new default layer of the current SURF, or null for memory.
    TextureLayer* AddLayer();
    // Takes back the latest layer (a record found damaged after all).
    void DropLayer();
    void DropSurface();
    // The SURF's records, its layers sorted by ordinal (stable, so LWOB's
    // stay in file order): their number for surface(), 0 (no textures) when
    // the SURF has neither layers nor vertex colours or memory ran out.
    uint32_t EndSurface(uint32_t skipped, const VertexColourMap& vertex_colours);

    // A CLIP's name, stored or formed (ISEQ: prefix, the first frame's
    // number in at least `digits` digits, suffix).
    void AddClip(uint32_t index, TextName name);
    void AddSequenceClip(uint32_t index, TextName prefix, int32_t number, uint32_t digits, TextName suffix);
    // Gives every layer that names a clip index that clip's name (the first
    // CLIP of the index), then drops the layers that still have no image,
    // counting them as skipped.
    void ResolveImages();

    // Notes the vertex maps the kept layers and vertex colour maps name;
    // then the values are added by map, and FinishMaps sorts each map's
    // values (the first value read for a point or corner counts).
    void WantMaps();
    int32_t FindMap(VertexMapType type, TextName name) const;  // -1: not wanted
    void AddPointValue(int32_t map, const PointValue& value);
    void AddCornerValue(int32_t map, const CornerValue& value);
    void FinishMaps();

    bool out_of_memory() const { return out_of_memory_; }
    // Of a number EndSurface gave (0: the empty records).
    const SurfaceTextures& surface(uint32_t k) const { return k < surface_count_ ? surfaces_[k] : empty_; }
    const TextureLayer& layer(uint32_t k) const { return layers_[k]; }
    uint32_t clip_count() const { return clip_count_; }
    const ClipRecord& clip(uint32_t k) const { return clips_[k]; }
    // The wanted maps, sorted by type and name, with their values.
    uint32_t map_count() const { return map_count_; }
    const VertexMapValues& map(uint32_t k) const { return maps_[k].values; }

private:
    struct MapStore {
        VertexMapValues values;
        PointValue* points;
        uint32_t point_capacity;
        CornerValue* corners;
        uint32_t corner_capacity;
    };
    void AddWanted(VertexMapType type, TextName name, uint32_t* count);

    SurfaceTextures empty_;
    SurfaceTextures* surfaces_ = nullptr;  // [0] is the empty records
    uint32_t surface_count_ = 0, surface_capacity_ = 0;
    TextureLayer* layers_ = nullptr;
    uint32_t layer_count_ = 0, layer_capacity_ = 0, surface_first_ = 0;
    ClipRecord* clips_ = nullptr;
    uint32_t clip_count_ = 0, clip_capacity_ = 0;
    uint8_t* formed_ = nullptr;  // the names formed for ISEQ clips, chained blocks
    MapStore* maps_ = nullptr;
    uint32_t map_count_ = 0;
    bool out_of_memory_ = false;
};

}  // namespace qavren
