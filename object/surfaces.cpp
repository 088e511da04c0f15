// The surfaces of an object, for all four forms.
//
// Names. LWOB and LWLO list their surfaces in SRFS (NUL-terminated names,
// each padded to an even length); a polygon record's surface word numbers
// them from 1, and a negative word (which announces detail polygons) names
// the surface by its absolute value. LWO2 and LWO3 list tags in TAGS (the
// same layout; several TAGS chunks count on from each other), and a PTAG
// chunk of type SURF gives polygons their tags: pairs of a VX polygon number
// (2 bytes, or 4 with 0xFF on top) within the latest POLS chunk of the
// current layer and a U2 tag number.
//
// Looks. A surface is described by the first SURF chunk that bears its
// name: in LWOB and LWLO the name and sub-chunks with 2-byte lengths: COLR
// (red, green, blue, pad), FLAG (value 4: smoothing; 256: double-sided),
// SMAN (float, the smoothing angle in radians; smoothing without SMAN smooths
// up to 89.5 degrees, LightWave's default), DIFF and LUMI (U2, 256 = 100 %),
// overridden by VDIF and VLUM (floats). In LWO2, SURF holds the name, the
// source name and sub-chunks with 2-byte lengths: COLR (three floats, 0..1,
// and an envelope), DIFF, LUMI and SMAN (floats; smoothing where SMAN > 0),
// SIDE (U2, 3: double-sided). LWO3 wraps a surface in FORM SURF: a chunk of
// blank tag holding the name and source name, then sub-chunks with 4-byte
// lengths: SMAN and SIDE as in LWO2, and FORM NODS, the node graph, which is
// where LWO3 files keep colour, diffuse and luminosity (surface_nodes.cpp).
// Colours 0..1 become bytes as v * 255 rounded, with no colour-space change.
//
// Trust. Every byte is untrusted. Chunks are walked by their stated lengths
// inside the FORM (ChunkWalk), sub-chunks inside their surface (SubChunkWalk);
// a value is decoded only when its sub-chunk holds all its bytes. Surface
// and tag numbers are checked against the names, PTAG polygon numbers against
// the POLS chunk they number. A SURF whose sub-chunks run past it is not
// used at all; a sub-chunk too short for its value is passed over. Values
// are made safe for the renderer: colours clamped to 0..255 (NaN: 0),
// diffuse and luminosity to 0..2 (NaN: the default), angles to 0..pi (NaN:
// flat). The polygons are the model's, which the polygon walk proved. Sizes of the arrays are checked
// against size_t before they are allocated, and Read fails only for memory.
#include "object/surfaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "object/layers.h"
#include "object/surface_nodes.h"
#include "object/tags.h"
#include "object/texture_blocks.h"

namespace qavren {
namespace {

constexpr float kLightWaveSmoothing = 1.562f;  // 89.5 degrees
constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxShare = 2.0;


uint8_t ColourByte(double v) {
    if (!(v > 0)) return 0;
    if (v >= 1) return 255;
    return static_cast<uint8_t>(v * 255.0 + 0.5);
}

float Share(double v, float fallback) {
    if (!std::isfinite(v)) return fallback;
    return static_cast<float>(std::clamp(v, 0.0, kMaxShare));
}

float Angle(double v) {
    if (!(v > 0)) return 0.0f;
    return static_cast<float>(std::min(v, kPi));
}

double F32(const ByteReader& d) { return ByteReader::LoadF32(d.position()); }

// The NUL-terminated names of an SRFS or TAGS chunk, each handed to `take`;
// bytes after the last NUL name nothing.
template <typename Take>
void ForEachName(ByteReader data, Take take) {
    const uint8_t* name = nullptr;
    uint32_t length = 0;
    while (ReadName(&data, &name, &length)) take(name, length);
}

// LWOB's glossiness is the highlight's exponent (16, 64, 256, 1024 for low
// to very high); as the newer forms' 0..1 it is (log2 e - 2) / 10.
float GlossinessOfExponent(uint16_t exponent) {
    if (exponent == 0) return SurfaceLook{}.glossiness;
    return static_cast<float>(std::clamp((std::log2(static_cast<double>(exponent)) - 2) / 10, 0.0, 1.0));
}

float Unit(double v, float fallback) {
    if (!std::isfinite(v)) return fallback;
    return static_cast<float>(std::clamp(v, 0.0, 1.0));
}

// An LWOB or LWLO SURF chunk's sub-chunks, its texture sub-chunks handed to
// `textures`. False when they run past it.
bool DecodeLwobLook(const ByteReader& subchunks, SurfaceLook* look, LwobTextureReader* textures) {
    SurfaceLook l;
    bool smooth = false, has_angle = false, float_diffuse = false, float_luminosity = false, float_specular = false;
    double angle = 0;
    SubChunkWalk walk(subchunks, false);
    const uint8_t* tag = nullptr;
    ByteReader d;
    Status s;
    while ((s = walk.Next(&tag, &d)) == 1) {
        const uint32_t n = d.remaining();
        const uint8_t* p = d.position();
        if (IsTag(tag, "COLR") && n >= 3) {
            l.red = p[0];
            l.green = p[1];
            l.blue = p[2];
        } else if (IsTag(tag, "FLAG") && n >= 2) {
            const uint16_t flags = ByteReader::LoadU16(p);
            smooth = (flags & 4) != 0;
            l.double_sided = (flags & 256) != 0;
        } else if (IsTag(tag, "SMAN") && n >= 4) {
            has_angle = true;
            angle = F32(d);
        } else if (IsTag(tag, "DIFF") && n >= 2 && !float_diffuse) {
            l.diffuse = Share(ByteReader::LoadU16(p) / 256.0, l.diffuse);
        } else if (IsTag(tag, "VDIF") && n >= 4) {
            float_diffuse = true;
            l.diffuse = Share(F32(d), SurfaceLook{}.diffuse);
        } else if (IsTag(tag, "LUMI") && n >= 2 && !float_luminosity) {
            l.luminosity = Share(ByteReader::LoadU16(p) / 256.0, l.luminosity);
        } else if (IsTag(tag, "VLUM") && n >= 4) {
            float_luminosity = true;
            l.luminosity = Share(F32(d), SurfaceLook{}.luminosity);
        } else if (IsTag(tag, "SPEC") && n >= 2 && !float_specular) {
            l.specular = Share(ByteReader::LoadU16(p) / 256.0, l.specular);
        } else if (IsTag(tag, "VSPC") && n >= 4) {
            float_specular = true;
            l.specular = Share(F32(d), SurfaceLook{}.specular);
        } else if (IsTag(tag, "GLOS") && n >= 2) {
            l.glossiness = GlossinessOfExponent(ByteReader::LoadU16(p));
        }
        textures->Take(tag, d);
    }
    if (s != 0) return false;
    l.smoothing = !smooth ? 0.0f : has_angle ? Angle(angle) : kLightWaveSmoothing;
    *look = l;
    return true;
}

// An LWO2 SURF chunk's sub-chunks (2-byte lengths) or an LWO3 FORM SURF's
// (4-byte lengths), its colour layers and vertex colours going to
// `textures`. False when they run past it.
bool DecodeLwo2Look(const ByteReader& subchunks, bool wide, SurfaceLook* look, TextureRecords* textures,
                    uint32_t* skipped, VertexColourMap* vertex_colours) {
    SurfaceLook l;
    SubChunkWalk walk(subchunks, wide);
    const uint8_t* tag = nullptr;
    ByteReader d;
    Status s;
    NodeMaterial material;
    while ((s = walk.Next(&tag, &d)) == 1) {
        const uint32_t n = d.remaining();
        const uint8_t* p = d.position();
        if (IsTag(tag, "COLR") && n >= 12) {
            l.red = ColourByte(ByteReader::LoadF32(p));
            l.green = ColourByte(ByteReader::LoadF32(p + 4));
            l.blue = ColourByte(ByteReader::LoadF32(p + 8));
        } else if (IsTag(tag, "DIFF") && n >= 4) {
            l.diffuse = Share(F32(d), l.diffuse);
        } else if (IsTag(tag, "LUMI") && n >= 4) {
            l.luminosity = Share(F32(d), l.luminosity);
        } else if (IsTag(tag, "SMAN") && n >= 4) {
            l.smoothing = Angle(F32(d));
        } else if (IsTag(tag, "SIDE") && n >= 2) {
            l.double_sided = ByteReader::LoadU16(p) == 3;
        } else if (IsTag(tag, "SPEC") && n >= 4) {
            l.specular = Share(F32(d), l.specular);
        } else if (IsTag(tag, "GLOS") && n >= 4) {
            l.glossiness = Unit(F32(d), l.glossiness);
        } else if (IsTag(tag, "VCOL")) {
            ReadVertexColours(d, vertex_colours);
        } else if (!wide && IsTag(tag, "BLOK")) {
            ReadTextureBlock(d, false, false, textures, skipped);
        } else if (wide && IsTag(tag, "FORM") && n >= 4 && IsTag(p, "BLOK")) {
            ByteReader block = d;
            block.Skip(4);
            ReadTextureBlock(block, true, false, textures, skipped);
        } else if (wide && IsTag(tag, "FORM") && n >= 4 && IsTag(p, "NODS")) {
            ByteReader nodes = d;
            nodes.Skip(4);
            ReadNodeMaterial(nodes, &material, textures);
            *skipped += material.skipped_layers;
        }
    }
    if (s != 0) return false;
    if (material.has_colour) {
        l.red = ColourByte(material.colour[0]);
        l.green = ColourByte(material.colour[1]);
        l.blue = ColourByte(material.colour[2]);
    }
    if (material.has_diffuse) l.diffuse = Share(material.diffuse, l.diffuse);
    if (material.has_luminosity) l.luminosity = Share(material.luminosity, l.luminosity);
    if (material.has_specular) l.specular = Share(material.specular, l.specular);
    if (material.has_glossiness) l.glossiness = Unit(material.glossiness, l.glossiness);
    *look = l;
    return true;
}

// The name of an LWO3 FORM SURF (after its type), and the sub-chunks after
// it. The name and source name sit in a chunk whose tag is four blanks;
// without one they follow the type directly, as in LWO2.
bool SplitLwo3Surface(ByteReader body, const uint8_t** name, uint32_t* length, ByteReader* subchunks) {
    const uint8_t* source = nullptr;
    uint32_t source_length = 0;
    if (body.remaining() >= 8 && IsTag(body.position(), "    ")) {
        ByteReader names;
        uint32_t size = 0;
        body.Skip(4);
        body.ReadU32(&size);
        if (!body.Take(size, &names) || !ReadName(&names, name, length)) return false;
        if (size % 2 && body.remaining() > 0) body.Skip(1);
    } else if (!ReadName(&body, name, length) || !ReadName(&body, &source, &source_length)) {
        return false;
    }
    *subchunks = body;
    return true;
}

// How names compare when sorted: bytes, then length.
bool NameLess(const uint8_t* a, uint32_t an, const uint8_t* b, uint32_t bn) {
    const int c = std::memcmp(a, b, std::min(an, bn));
    return c != 0 ? c < 0 : an < bn;
}

}  // namespace

void ObjectSurfaces::Clear() {
    textures_.Clear();
    looks_.Reset();
    entries_.Reset();
    polygon_surfaces_.Reset();
    surface_count_ = polygon_count_ = 0;
}

Status ObjectSurfaces::AllocateSurfaces(uint32_t count) {
    if (Failed(looks_.Allocate(count)) || Failed(entries_.Allocate(count))) return status::kNoMemory;
    for (uint32_t s = 0; s < count; ++s) looks_[s] = SurfaceLook{};
    surface_count_ = count;
    return status::kOk;
}

Status ObjectSurfaces::Read(const ObjectBuffer& buffer, ObjectForm form, const ModelPolygons& polygons) {
    Clear();
    const bool tagged = form == ObjectForm::kLwo2 || form == ObjectForm::kLwo3;
    const char* list_tag = tagged ? "TAGS" : "SRFS";

    // The names: counted, then kept (LWOB and LWLO use the first SRFS only).
    uint64_t names = 0;
    Chunk chunk;
    {
        ChunkWalk walk(buffer.data(), buffer.size());
        while (walk.Next(&chunk) == 1) {
            if (!IsTag(chunk.tag, list_tag)) continue;
            ForEachName(chunk.data, [&names](const uint8_t*, uint32_t) { ++names; });
            if (!tagged) break;
        }
    }
    if (names >= UINT32_MAX) return status::kNoMemory;  // cannot be numbered
    if (Status s = AllocateSurfaces(static_cast<uint32_t>(names + 1)); Failed(s)) {
        Clear();
        return s;
    }
    if (names) {
        uint32_t next = 1;
        ChunkWalk walk(buffer.data(), buffer.size());
        while (walk.Next(&chunk) == 1) {
            if (!IsTag(chunk.tag, list_tag)) continue;
            ForEachName(chunk.data, [this, &next](const uint8_t* name, uint32_t length) {
                entries_[next].name = name;
                entries_[next++].name_length = length;
            });
            if (!tagged) break;
        }
    }

    polygon_count_ = polygons.count;
    if (names) {
        OwnedArray<uint32_t> order;
        if (Failed(polygon_surfaces_.Allocate(polygon_count_)) || Failed(order.Allocate(names))) {
            Clear();
            return status::kNoMemory;
        }
        // The names in sorted order, so that each SURF finds its own at once.
        for (uint32_t k = 0; k < names; ++k) order[k] = k + 1;
        std::sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
            const Entry& x = entries_[a];
            const Entry& y = entries_[b];
            if (NameLess(x.name, x.name_length, y.name, y.name_length)) return true;
            return !NameLess(y.name, y.name_length, x.name, x.name_length) && a < b;
        });
        ReadDescriptions(buffer, form, order.data());
        order.Reset();
        textures_.ResolveImages();
        textures_.WantMaps();
        ReadPolygonSurfaces(buffer, polygons, tagged);
        textures_.FinishMaps();
        if (textures_.out_of_memory()) {
            Clear();
            return status::kNoMemory;
        }
    }
    entries_[0].polygons = 0;
    for (uint32_t k = 0; k < polygon_count_; ++k) ++entries_[SurfaceOf(k)].polygons;
    return status::kOk;
}

void ObjectSurfaces::Describe(const uint8_t* name, uint32_t length, const SurfaceLook& look, uint32_t textures,
                              const uint32_t* order) {
    const uint32_t names = surface_count_ - 1;
    const uint32_t* end = order + names;
    const uint32_t* at = std::lower_bound(order, end, 0u, [&](uint32_t s, uint32_t) {
        return NameLess(entries_[s].name, entries_[s].name_length, name, length);
    });
    for (; at != end && !NameLess(name, length, entries_[*at].name, entries_[*at].name_length); ++at) {
        Entry& e = entries_[*at];
        if (e.described) continue;  // an earlier SURF of this name rules
        e.described = true;
        e.textures = textures;
        looks_[*at] = look;
    }
}

void ObjectSurfaces::ReadDescriptions(const ObjectBuffer& buffer, ObjectForm form, const uint32_t* order) {
    const bool lwob_layout = form == ObjectForm::kLwob || form == ObjectForm::kLwlo;
    ChunkWalk walk(buffer.data(), buffer.size());
    Chunk chunk;
    while (walk.Next(&chunk) == 1) {
        ByteReader body = chunk.data;
        const uint8_t* name = nullptr;
        uint32_t length = 0;
        ByteReader subchunks;
        SurfaceLook look;
        bool ok = false;
        uint32_t skipped = 0;
        VertexColourMap vertex_colours;
        textures_.BeginSurface();
        if (IsTag(chunk.tag, "SURF")) {
            if (!ReadName(&body, &name, &length)) continue;
            if (lwob_layout) {
                LwobTextureReader textures(&textures_);
                ok = DecodeLwobLook(body, &look, &textures);
                skipped = textures.skipped();
            } else {
                const uint8_t* source = nullptr;
                uint32_t source_length = 0;
                ok = ReadName(&body, &source, &source_length) &&
                     DecodeLwo2Look(body, false, &look, &textures_, &skipped, &vertex_colours);
            }
        } else if (!lwob_layout && IsTag(chunk.tag, "FORM") && body.remaining() >= 4 && IsTag(body.position(), "SURF")) {
            body.Skip(4);
            ok = SplitLwo3Surface(body, &name, &length, &subchunks) &&
                 DecodeLwo2Look(subchunks, true, &look, &textures_, &skipped, &vertex_colours);
        } else if (!lwob_layout && IsTag(chunk.tag, "CLIP")) {
            ReadClip(body, false, &textures_);
        } else if (!lwob_layout && IsTag(chunk.tag, "FORM") && body.remaining() >= 4 && IsTag(body.position(), "CLIP")) {
            body.Skip(4);
            ReadClip(body, true, &textures_);
        }
        if (!ok) {
            textures_.DropSurface();
            continue;
        }
        Describe(name, length, look, textures_.EndSurface(skipped, vertex_colours), order);
    }
}

void ObjectSurfaces::ReadPolygonSurfaces(const ObjectBuffer& buffer, const ModelPolygons& polygons, bool tagged) {
    const uint32_t names = surface_count_ - 1;
    if (!tagged) {
        for (uint32_t k = 0; k < polygon_count_; ++k) {
            const int32_t word = polygons.surface_words[k];
            const uint32_t number = static_cast<uint32_t>(word < 0 ? -word : word);
            polygon_surfaces_[k] = number <= names ? number : 0;
        }
        return;
    }
    // The chunks in file order beside the model's polygon chunks: a POLS
    // chunk's drawn polygons are those the walk handed out from it, none in a
    // hidden layer or of a type that is not drawn.
    // Beside them, the points of the layers that are drawn, as the layer walk
    // counts them, for the vertex maps that the texture records want.
    ChunkWalk chunks(buffer.data(), buffer.size());
    Chunk chunk;
    bool has_list = false, hidden = false;
    uint32_t first = 0, count = 0, total_points = 0, k = 0, next_chunk = 0;
    VertexMapPlace place;
    const bool maps = textures_.map_count() > 0;
    while (chunks.Next(&chunk) == 1) {
        if (IsTag(chunk.tag, "LAYR")) {
            LayerHeader layer;
            hidden = DecodeLayer(chunk.data, ObjectForm::kLwo2, &layer) && layer.hidden;
            has_list = false;
            place = VertexMapPlace{};
        }
        if (!hidden && IsTag(chunk.tag, "PNTS")) {
            place.first_point = total_points;
            place.layer_points = chunk.data.remaining() / 12;
            total_points += place.layer_points;
        }
        if (maps && !hidden && (IsTag(chunk.tag, "VMAP") || IsTag(chunk.tag, "VMAD"))) {
            place.first_polygon = has_list ? first : 0;
            place.polygon_count = has_list ? count : 0;
            ReadVertexMap(chunk.data, IsTag(chunk.tag, "VMAD"), place, &textures_);
        }
        if (IsTag(chunk.tag, "POLS")) {
            const bool drawn = next_chunk < polygons.chunk_count && polygons.chunks[next_chunk].offset == chunk.offset;
            first = k;
            count = drawn ? polygons.chunks[next_chunk++].count : 0;
            k += count;
            has_list = true;
        }
        ByteReader data = chunk.data;
        if (!IsTag(chunk.tag, "PTAG") || !has_list || data.remaining() < 4 || !IsTag(data.position(), "SURF")) continue;
        data.Skip(4);
        uint32_t index = 0;
        uint16_t tag = 0;
        while (data.ReadVx(&index) && data.ReadU16(&tag)) {
            if (index < count && tag < names) polygon_surfaces_[first + index] = tag + 1u;
        }
    }
}

}  // namespace qavren
