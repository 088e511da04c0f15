// Texture layers and images as each form writes them.
//
// LWOB and LWLO. A SURF's CTEX sub-chunk (S0) starts a colour texture:
// "Planar Image Map", "Cylindrical Image Map", "Spherical Image Map",
// "Cubic Image Map" and "Front Projection Image Map" are image maps, any
// other name a procedural texture, counted as skipped. DTEX, STEX, RTEX,
// TTEX, LTEX and BTEX start textures of other channels. The sub-chunks after
// a start describe its texture: TIMG (S0, the image's name; "(none)": no
// image), TFLG (U2: 1, 2, 4 the x, y, z axis; 8 world coordinates; 16
// negative image; 32 pixel blending; 64 antialiasing), TSIZ and TCTR
// (VEC12), TWRP (U2 width, U2 height: 0 black, 1 clamp, 2 repeat, 3
// mirror), TOPC (F4 opacity). TAAS (F4, antialiasing strength) adds nothing
// to the TFLG bit and is passed over.
//
// LWO2. A SURF's BLOK starts with its header sub-chunk: IMAP for an image
// map (PROC, GRAD and SHDR for the rest), holding an S0 ordinal and
// sub-chunks: CHAN (ID4), ENAB (U2), OPAC (U2 type, F4 amount, VX
// envelope), NEGA (U2). Then, in any order: TMAP (sub-chunks CNTR, SIZE,
// ROTA: VEC12 and VX; CSYS: U2, 1 world), PROJ (U2: 0 planar ... 5 UV),
// AXIS (U2), IMAG (VX clip index), WRAP (U2 width, U2 height), WRPW and
// WRPH (F4, VX), VMAP (S0), AAST (U2 flags, F4; bit 0 antialiasing), PIXB
// (U2; bit 0 pixel blending). LWO3 writes the same BLOK as FORM BLOK with
// 4-byte lengths: the header as FORM IMAP whose first, blank-tagged
// sub-chunk holds the ordinal, and each value that carries an envelope
// (OPAC, CNTR, SIZE, ROTA, WRPW, WRPH) as a FORM of that type around a
// blank-tagged sub-chunk holding it.
//
// CLIP. LWO2: U4 index, then sub-chunks with 2-byte lengths: STIL (FNAM0)
// or ISEQ (U1 digits, U1 flags, I2 offset, U2 reserved, I2 start, I2 end,
// FNAM0 prefix, S0 suffix); the sequence's first image, prefix + start in
// `digits` digits + suffix, stands for it. LWO3: FORM CLIP, its index in a
// blank-tagged sub-chunk, STIL as FORM STIL around a blank-tagged name.
//
// Checks. Each value is decoded only when its sub-chunk holds all of it;
// a short one is passed over, and a BLOK whose sub-chunks run past it adds
// no layer. Enumerations out of range drop the layer (projection) or keep
// the default (axis, wrap, blend mode); floats are made finite, sizes and
// repeats nonzero, opacities 0..1.
#include "object/texture_blocks.h"
#include "object/tags.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "object/surface_nodes.h"

namespace qavren {
namespace {

TextName NameIn(ByteReader data) {
    TextName name;
    ReadName(&data, &name.bytes, &name.length);
    return name;
}

bool Equals(const TextName& n, const char* text) {
    const size_t length = std::strlen(text);
    return n.length == length && std::memcmp(n.bytes, text, length) == 0;
}

// The bytes after an S0 and its pad byte.
ByteReader AfterName(const ByteReader& data) {
    ByteReader rest = data;
    const TextName n = NameIn(data);
    if (!rest.Skip(n.length + 1)) return ByteReader(data.position() + data.remaining(), 0);
    if ((n.length + 1) % 2 && rest.remaining() > 0) rest.Skip(1);
    return rest;
}

float F32At(const ByteReader& d, uint32_t k) { return ByteReader::LoadF32(d.position() + 4 * k); }

void ReadVector(const ByteReader& d, float out[3], float fallback, bool nonzero) {
    if (d.remaining() < 12) return;
    for (uint32_t k = 0; k < 3; ++k) {
        const float v = FiniteOr(F32At(d, k), fallback);
        out[k] = nonzero && v == 0 ? fallback : v;
    }
}

float Unit(float v, float fallback) { return std::clamp(FiniteOr(v, fallback), 0.0f, 1.0f); }

WrapMode LwobWrap(uint16_t v, WrapMode fallback) {
    switch (v) {
    case 0: return WrapMode::kReset;
    case 1: return WrapMode::kEdge;
    case 2: return WrapMode::kRepeat;
    case 3: return WrapMode::kMirror;
    default: return fallback;
    }
}

WrapMode Lwo2Wrap(uint16_t v, WrapMode fallback) { return v <= 3 ? static_cast<WrapMode>(v) : fallback; }

// The header of a BLOK: ordinal, channel, enable, opacity, negative.
struct BlockHeader {
    bool image_map = false;
    bool colour = false;
};

BlockHeader ReadHeader(const uint8_t* tag, const ByteReader& data, bool wide, TextureLayer* l) {
    BlockHeader h;
    ByteReader body = data;
    if (wide) {
        if (!IsTag(tag, "FORM") || body.remaining() < 4) return h;
        tag = body.position();
        body.Skip(4);
    }
    h.image_map = IsTag(tag, "IMAP");
    if (!h.image_map && !IsTag(tag, "PROC") && !IsTag(tag, "GRAD") && !IsTag(tag, "SHDR")) return h;
    ByteReader rest;
    if (wide) {
        // The ordinal in a blank-tagged sub-chunk first.
        SubChunkWalk first(body, true);
        const uint8_t* t = nullptr;
        ByteReader d;
        if (first.Next(&t, &d) != 1 || !IsTag(t, "    ")) return BlockHeader{};
        l->ordinal = NameIn(d);
        rest = body;
        rest.Skip(static_cast<uint32_t>(d.position() - body.position()) + d.remaining());
        if (d.remaining() % 2 && rest.remaining() > 0) rest.Skip(1);
    } else {
        l->ordinal = NameIn(body);
        rest = AfterName(body);
    }
    SubChunkWalk walk(rest, wide);
    const uint8_t* t = nullptr;
    ByteReader d, v;
    while (walk.Next(&t, &d) == 1) {
        if (IsTag(t, "CHAN") && d.remaining() >= 4) {
            h.colour = IsTag(d.position(), "COLR");
        } else if (IsTag(t, "ENAB") && d.remaining() >= 2) {
            l->enabled = ByteReader::LoadU16(d.position()) != 0;
        } else if (IsTag(t, "NEGA") && d.remaining() >= 2) {
            l->negative = ByteReader::LoadU16(d.position()) != 0;
        } else if (ValueOf(t, d, wide, "OPAC", &v) && v.remaining() >= 6) {
            const uint16_t type = ByteReader::LoadU16(v.position());
            if (type <= static_cast<uint16_t>(BlendMode::kAdditive)) l->blend = static_cast<BlendMode>(type);
            l->opacity = Unit(ByteReader::LoadF32(v.position() + 2), 1);
        }
    }
    return h;
}

void ReadTextureMap(const ByteReader& data, bool wide, TextureLayer* l) {
    SubChunkWalk walk(data, wide);
    const uint8_t* t = nullptr;
    ByteReader d, v;
    while (walk.Next(&t, &d) == 1) {
        if (ValueOf(t, d, wide, "CNTR", &v)) ReadVector(v, l->centre, 0, false);
        if (ValueOf(t, d, wide, "SIZE", &v)) ReadVector(v, l->size, 1, true);
        if (ValueOf(t, d, wide, "ROTA", &v)) ReadVector(v, l->rotation, 0, false);
        if (IsTag(t, "CSYS") && d.remaining() >= 2) l->world_coordinates = ByteReader::LoadU16(d.position()) == 1;
    }
}

// An ID4 map type's number of values, and its kind.
bool ColourMapTypeOf(const uint8_t* id, ColourMapType* type) {
    if (IsTag(id, "RGB ")) *type = ColourMapType::kRgb;
    else if (IsTag(id, "RGBA")) *type = ColourMapType::kRgba;
    else return false;
    return true;
}

}  // namespace

float FiniteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

bool ValueOf(const uint8_t* tag, const ByteReader& data, bool wide, const char* name, ByteReader* value) {
    if (IsTag(tag, name)) {
        *value = data;
        return true;
    }
    if (!wide || !IsTag(tag, "FORM") || data.remaining() < 4 || !IsTag(data.position(), name)) return false;
    ByteReader body = data;
    body.Skip(4);
    SubChunkWalk walk(body, true);
    const uint8_t* t = nullptr;
    ByteReader d;
    while (walk.Next(&t, &d) == 1) {
        if (!IsTag(t, "    ")) continue;
        *value = d;
        return true;
    }
    return false;
}

void LwobTextureReader::Take(const uint8_t* tag, const ByteReader& d) {
    static const char* const kOtherChannels[] = {"DTEX", "STEX", "RTEX", "TTEX", "LTEX", "BTEX"};
    if (IsTag(tag, "CTEX")) {
        layer_ = nullptr;
        const TextName name = NameIn(d);
        static const char* const kMaps[] = {"Planar Image Map", "Cylindrical Image Map", "Spherical Image Map",
                                            "Cubic Image Map", "Front Projection Image Map"};
        for (int k = 0; k < 5; ++k) {
            if (!Equals(name, kMaps[k])) continue;
            layer_ = records_->AddLayer();
            if (layer_) layer_->projection = static_cast<Projection>(k);
            return;
        }
        ++skipped_;
        return;
    }
    for (const char* other : kOtherChannels) {
        if (IsTag(tag, other)) layer_ = nullptr;
    }
    if (!layer_) return;
    TextureLayer& l = *layer_;
    const uint32_t n = d.remaining();
    const uint8_t* p = d.position();
    if (IsTag(tag, "TIMG")) {
        const TextName name = NameIn(d);
        l.image = Equals(name, "(none)") ? TextName{} : name;
    } else if (IsTag(tag, "TFLG") && n >= 2) {
        const uint16_t flags = ByteReader::LoadU16(p);
        l.axis = (flags & 1) ? 0 : (flags & 2) ? 1 : (flags & 4) ? 2 : l.axis;
        l.world_coordinates = (flags & 8) != 0;
        l.negative = (flags & 16) != 0;
        l.pixel_blending = (flags & 32) != 0;
        l.antialiasing = (flags & 64) != 0;
    } else if (IsTag(tag, "TSIZ")) {
        ReadVector(d, l.size, 1, true);
    } else if (IsTag(tag, "TCTR")) {
        ReadVector(d, l.centre, 0, false);
    } else if (IsTag(tag, "TWRP") && n >= 4) {
        l.wrap_width = LwobWrap(ByteReader::LoadU16(p), l.wrap_width);
        l.wrap_height = LwobWrap(ByteReader::LoadU16(p + 2), l.wrap_height);
    } else if (IsTag(tag, "TOPC") && n >= 4) {
        l.opacity = Unit(ByteReader::LoadF32(p), 1);
    }
}

void ReadTextureBlock(const ByteReader& block, bool wide, bool any_channel, TextureRecords* records,
                      uint32_t* skipped) {
    SubChunkWalk walk(block, wide);
    const uint8_t* tag = nullptr;
    ByteReader d, v;
    if (walk.Next(&tag, &d) != 1) return;
    TextureLayer l;
    const BlockHeader header = ReadHeader(tag, d, wide, &l);
    if (!header.colour && !any_channel) return;
    if (!header.image_map) {
        ++*skipped;
        return;
    }
    bool projected = false, sound = true;
    Status s;
    while ((s = walk.Next(&tag, &d)) == 1) {
        const uint32_t n = d.remaining();
        const uint8_t* p = d.position();
        if ((wide && IsTag(tag, "FORM") && n >= 4 && IsTag(p, "TMAP")) || (!wide && IsTag(tag, "TMAP"))) {
            ByteReader body = d;
            if (wide) body.Skip(4);
            ReadTextureMap(body, wide, &l);
        } else if (IsTag(tag, "PROJ") && n >= 2) {
            const uint16_t projection = ByteReader::LoadU16(p);
            projected = projection <= static_cast<uint16_t>(Projection::kUv);
            sound = sound && projected;
            if (projected) l.projection = static_cast<Projection>(projection);
        } else if (IsTag(tag, "AXIS") && n >= 2) {
            const uint16_t axis = ByteReader::LoadU16(p);
            if (axis <= 2) l.axis = static_cast<uint8_t>(axis);
        } else if (IsTag(tag, "IMAG")) {
            ByteReader r = d;
            uint32_t index = 0;
            l.names_clip = r.ReadVx(&index);
            l.clip_index = index;
        } else if (IsTag(tag, "WRAP") && n >= 4) {
            l.wrap_width = Lwo2Wrap(ByteReader::LoadU16(p), l.wrap_width);
            l.wrap_height = Lwo2Wrap(ByteReader::LoadU16(p + 2), l.wrap_height);
        } else if (ValueOf(tag, d, wide, "WRPW", &v) && v.remaining() >= 4) {
            const float w = FiniteOr(F32At(v, 0), 1);
            l.repeat_width = w != 0 ? w : 1;
        } else if (ValueOf(tag, d, wide, "WRPH", &v) && v.remaining() >= 4) {
            const float h = FiniteOr(F32At(v, 0), 1);
            l.repeat_height = h != 0 ? h : 1;
        } else if (IsTag(tag, "VMAP")) {
            l.uv_map = NameIn(d);
        } else if (IsTag(tag, "AAST") && n >= 2) {
            l.antialiasing = (ByteReader::LoadU16(p) & 1) != 0;
        } else if (IsTag(tag, "PIXB") && n >= 2) {
            l.pixel_blending = (ByteReader::LoadU16(p) & 1) != 0;
        }
    }
    if (s != 0 || !projected || !sound) {
        ++*skipped;
        return;
    }
    TextureLayer* kept = records->AddLayer();
    if (kept) *kept = l;
}

bool ReadVertexColours(const ByteReader& data, VertexColourMap* colours) {
    // intensity F4, envelope VX, type ID4, name S0.
    ByteReader r = data;
    if (r.remaining() < 4) return false;
    const float intensity = ByteReader::LoadF32(r.position());
    r.Skip(4);
    uint32_t envelope = 0;
    VertexColourMap v;
    if (!r.ReadVx(&envelope) || r.remaining() < 4 || !ColourMapTypeOf(r.position(), &v.type)) return false;
    r.Skip(4);
    v.map = NameIn(r);
    if (v.map.length == 0) return false;
    v.present = true;
    v.intensity = Unit(intensity, 1);
    *colours = v;
    return true;
}

void ReadClip(const ByteReader& data, bool wide, TextureRecords* records) {
    ByteReader body = data;
    uint32_t index = 0;
    const uint8_t* tag = nullptr;
    ByteReader d, v;
    if (wide) {
        SubChunkWalk first(body, true);
        if (first.Next(&tag, &d) != 1 || !IsTag(tag, "    ") || !d.ReadU32(&index)) return;
        body.Skip(static_cast<uint32_t>(d.position() - body.position()) + d.remaining());
    } else if (!body.ReadU32(&index)) {
        return;
    }
    SubChunkWalk walk(body, wide);
    while (walk.Next(&tag, &d) == 1) {
        if (ValueOf(tag, d, wide, "STIL", &v)) {
            const TextName name = NameIn(v);
            if (name.length) records->AddClip(index, name);
            return;
        }
        if (ValueOf(tag, d, wide, "ISEQ", &v) && v.remaining() >= 10) {
            const uint8_t* p = v.position();
            const uint8_t digits = p[0];
            const auto start = static_cast<int16_t>(ByteReader::LoadU16(p + 6));
            ByteReader names = v;
            names.Skip(10);
            const TextName prefix = NameIn(names);
            const TextName suffix = NameIn(AfterName(names));
            records->AddSequenceClip(index, prefix, start, digits, suffix);
            return;
        }
    }
}

void ReadVertexMap(const ByteReader& data, bool per_corner, const VertexMapPlace& place, TextureRecords* records) {
    // type ID4, dimension U2, name S0, then per record: VX point, (VX
    // polygon,) dimension floats.
    ByteReader r = data;
    uint16_t dimension = 0;
    if (r.remaining() < 6) return;
    const uint8_t* id = r.position();
    VertexMapType type;
    uint16_t needed = 0;
    if (IsTag(id, "TXUV")) type = VertexMapType::kUv, needed = 2;
    else if (IsTag(id, "RGB ") || IsTag(id, "RGBA")) type = VertexMapType::kColour, needed = 3;
    else return;
    r.Skip(4);
    r.ReadU16(&dimension);
    if (dimension < needed) return;
    const TextName name = NameIn(r);
    const int32_t map = records->FindMap(type, name);
    if (map < 0) return;
    r = AfterName(r);
    const uint32_t value_bytes = 4u * dimension;
    uint32_t point = 0, polygon = 0;
    while (r.ReadVx(&point) && (!per_corner || r.ReadVx(&polygon)) && r.remaining() >= value_bytes) {
        float v[4] = {0, 0, 0, 1};
        for (uint32_t k = 0; k < dimension && k < 4; ++k) v[k] = FiniteOr(F32At(r, k), 0);
        r.Skip(value_bytes);
        if (point >= place.layer_points) continue;
        const uint32_t global = place.first_point + point;
        if (!per_corner) {
            records->AddPointValue(map, {global, {v[0], v[1], v[2], v[3]}});
        } else if (polygon < place.polygon_count) {
            records->AddCornerValue(map, {place.first_polygon + polygon, global, {v[0], v[1], v[2], v[3]}});
        }
    }
}

}  // namespace qavren
