// Readers of the texture sub-chunks, for the surface reader: an LWOB or
// LWLO surface's texture sub-chunks, an LWO2 BLOK or an LWO3 FORM BLOK,
// VCOL, and the CLIP records of LWO2 and LWO3. Each is handed bytes its
// caller's walk has proven to lie inside their parent; what each decodes and
// checks is told in texture_blocks.cpp.
#pragma once

#include <cstdint>

#include "object/textures.h"
#include "platform/byte_reader.h"

namespace qavren {

// LWOB and LWLO keep a surface's textures as a run of sub-chunks in the
// SURF: a CTEX (or DTEX, STEX, ... for the other channels) starts a
// texture, and the T... sub-chunks after it describe it. Fed every
// sub-chunk of the SURF in order.
class LwobTextureReader {
public:
    explicit LwobTextureReader(TextureRecords* records) : records_(records) {}
    void Take(const uint8_t* tag, const ByteReader& data);
    uint32_t skipped() const { return skipped_; }

private:
    TextureRecords* records_;
    TextureLayer* layer_ = nullptr;  // the colour image map being described, if any
    uint32_t skipped_ = 0;
};

// An LWO2 SURF's BLOK (2-byte lengths) or an LWO3 FORM BLOK's body after
// its type (`wide`: 4-byte lengths, values in FORMs of their own). Adds the
// layer of an image map to `records`; `any_channel` accepts the channel an
// LWO3 node input gives (its CHAN says "txtr"), otherwise only CHAN COLR
// counts. Colour layers that are not image maps count in *skipped.
void ReadTextureBlock(const ByteReader& block, bool wide, bool any_channel, TextureRecords* records,
                      uint32_t* skipped);

// VCOL: intensity, envelope, map type, map name. False when it is damaged
// or names a map type other than RGB and RGBA.
bool ReadVertexColours(const ByteReader& data, VertexColourMap* colours);

// An LWO2 CLIP chunk's data, or an LWO3 FORM CLIP's body after its type
// (`wide`): its index, then STIL or ISEQ.
void ReadClip(const ByteReader& data, bool wide, TextureRecords* records);

// Where a VMAP or VMAD chunk's numbers land: its layer's points are the
// object's from first_point on, and the latest POLS chunk's drawn polygons
// the walk's from first_polygon on.
struct VertexMapPlace {
    uint32_t first_point = 0;
    uint32_t layer_points = 0;
    uint32_t first_polygon = 0;
    uint32_t polygon_count = 0;
};

// A VMAP (per point) or VMAD (`per_corner`) chunk's values, kept when the
// records want its map (TXUV, RGB or RGBA); numbers outside the layer's
// points or the POLS chunk's polygons are passed over, values that are not
// finite become 0.
void ReadVertexMap(const ByteReader& data, bool per_corner, const VertexMapPlace& place, TextureRecords* records);

// LWO3 values: of sub-chunk `tag` with `data`, the value of `name`: the
// data of a plain sub-chunk of that name, or of the first blank-tagged
// sub-chunk inside a FORM of that type. With narrow lengths, plain only.
bool ValueOf(const uint8_t* tag, const ByteReader& data, bool wide, const char* name, ByteReader* value);

// A finite float or `fallback`.
float FiniteOr(float v, float fallback);

}  // namespace qavren
