// The material of an LWO3 surface's node graph. LWO3 surfaces keep their
// colour nowhere else: the LWO2 COLR, DIFF and LUMI sub-chunks are gone,
// and real files (written by three different exporters) lay the graph out
// like this, every length 4 bytes:
//   FORM NODS
//     FORM NNDS: per node, NSRV (its kind: "Standard", "Principled BSDF",
//       "Surface", ...) and FORM NTAG, which holds NNME (the node's name,
//       "Standard (1)") and FORM NDTA > FORM ATTR (or SATR) > FORM META >
//       FORM ADAT > FORM ENTR, one per input: NAME ("Color") and FORM VALU,
//       in which, below a chunk naming the value's type ("vparam3") and
//       perhaps another FORM VALU, a chunk of blank tag holds a U4 count and
//       that many doubles: the input's value, colours as 0..1.
//     FORM NCON, holding connections: INME (the node whose input it is), IINM
//       (that input), IINN (the node plugged in), IONM (its output).
//     One FORM NCON may hold several connections in a row; each INME starts
//     the next one.
// The material is the node plugged into the "Material" input of the node
// named "Surface"; a node that is not plugged in shades nothing. Besides
// colour, diffuse and luminosity it gives the specular highlight: the
// Standard node's "Specular" and "Glossiness", the Principled BSDF node's
// "Specular" and 1 - "Roughness".
//
// Textures of the material's colour, as the corpus files hold them:
//   - layers in the Color input itself: its FORM ENTR's FORM VALU holds,
//     after the value, FORM TXTR with one FORM BLOK per layer, laid out as
//     an LWO2 BLOK with 4-byte lengths (texture_blocks.cpp); the CHAN there
//     says "txtr", the input says which channel it is;
//   - an Image node wired to it: a connection whose INME is the material,
//     IINM "Color" and IINN the Image node ("Image (1)"). That node's FORM
//     NDTA holds, each length 4 bytes: IMAP (U4 projection, numbered as
//     LWO2's PROJ), IAXS (U4 axis), IUVI (S0 UV map), IUTL and IVTL (U4
//     wrap, numbered as LWO2's WRAP), IINV (U4 negative), IPIX (U4 pixel
//     blending), IWRL (U4 world coordinates), IMOD (U4 blending; 0 in every
//     file, not read: the image is the input's colour), FORM IIMG > FORM
//     CLIP > FORM STIL around a blank-tagged image name (the name itself,
//     no CLIP index), and FORM ISCL (size), IPOS (centre), IROT (rotation),
//     IUTD and IVTD (repeats) and IOPC (opacity), each as FORM VPRM > FORM
//     VPVL around a blank-tagged chunk of floats and an envelope. The Image
//     node's layer lies on top of the input's own.
#include "object/surface_nodes.h"
#include "object/tags.h"

#include <cstring>

#include "object/texture_blocks.h"

namespace qavren {
namespace {

// Deep enough for the layout above with room to spare; deeper nesting is
// not searched.
constexpr int kMaxDepth = 8;

struct Text {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
};

// The S0 string at the start of `data`: the bytes before its NUL, or all.
Text StringOf(ByteReader data) {
    Text text;
    ReadName(&data, &text.bytes, &text.length);
    return text;
}

bool Same(const Text& a, const Text& b) {
    return a.length == b.length && (a.length == 0 || std::memcmp(a.bytes, b.bytes, a.length) == 0);
}

bool Equals(const Text& a, const char* name) {
    return Same(a, Text{reinterpret_cast<const uint8_t*>(name), static_cast<uint32_t>(std::strlen(name))});
}

// The body of a FORM sub-chunk of the given type, after the type.
bool FormOf(const uint8_t* tag, const ByteReader& data, const char* type, ByteReader* body) {
    if (!IsTag(tag, "FORM") || data.remaining() < 4 || !IsTag(data.position(), type)) return false;
    *body = data;
    body->Skip(4);
    return true;
}

// The first chunk at or below `data` whose data is exactly the count `n`
// and n doubles.
bool FindDoubles(const ByteReader& data, uint32_t n, int depth, double* out) {
    SubChunkWalk walk(data, true);
    const uint8_t* tag = nullptr;
    ByteReader d;
    while (walk.Next(&tag, &d) == 1) {
        if (IsTag(tag, "FORM")) {
            ByteReader body = d;
            if (depth < kMaxDepth && body.Skip(4) && FindDoubles(body, n, depth + 1, out)) return true;
            continue;
        }
        if (d.remaining() != 4 + 8 * n || ByteReader::LoadU32(d.position()) != n) continue;
        for (uint32_t k = 0; k < n; ++k) out[k] = ByteReader::LoadF64(d.position() + 4 + 8 * k);
        return true;
    }
    return false;
}

// The FORM BLOKs inside the FORM TXTR of an input's FORM VALU.
void ReadInputLayers(const ByteReader& value, NodeMaterial* m, TextureRecords* textures) {
    SubChunkWalk walk(value, true);
    const uint8_t* tag = nullptr;
    ByteReader d, layers, block;
    while (walk.Next(&tag, &d) == 1) {
        if (!FormOf(tag, d, "TXTR", &layers)) continue;
        SubChunkWalk blocks(layers, true);
        while (blocks.Next(&tag, &d) == 1) {
            if (FormOf(tag, d, "BLOK", &block)) ReadTextureBlock(block, true, true, textures, &m->skipped_layers);
        }
        return;
    }
}

// One input of the material node; the first of each name counts.
void ReadEntry(const ByteReader& entry, NodeMaterial* m, TextureRecords* textures) {
    SubChunkWalk walk(entry, true);
    const uint8_t* tag = nullptr;
    ByteReader d, value;
    Text name;
    bool has_value = false;
    while (walk.Next(&tag, &d) == 1) {
        if (IsTag(tag, "NAME")) name = StringOf(d);
        if (FormOf(tag, d, "VALU", &value)) has_value = true;
    }
    if (!has_value) return;
    double v[3];
    if (Equals(name, "Color") && !m->has_colour && FindDoubles(value, 3, 0, v)) {
        m->has_colour = true;
        std::memcpy(m->colour, v, sizeof v);
        if (textures) ReadInputLayers(value, m, textures);
    } else if (Equals(name, "Diffuse") && !m->has_diffuse && FindDoubles(value, 1, 0, v)) {
        m->has_diffuse = true;
        m->diffuse = v[0];
    } else if ((Equals(name, "Luminosity") || Equals(name, "Luminous")) && !m->has_luminosity &&
               FindDoubles(value, 1, 0, v)) {
        m->has_luminosity = true;
        m->luminosity = v[0];
    } else if (Equals(name, "Specular") && !m->has_specular && FindDoubles(value, 1, 0, v)) {
        m->has_specular = true;
        m->specular = v[0];
    } else if ((Equals(name, "Glossiness") || Equals(name, "Roughness")) && !m->has_glossiness &&
               FindDoubles(value, 1, 0, v)) {
        m->has_glossiness = true;
        m->glossiness = Equals(name, "Roughness") ? 1 - v[0] : v[0];
    }
}

// Every FORM ENTR at or below `data`.
void ReadEntries(const ByteReader& data, int depth, NodeMaterial* m, TextureRecords* textures) {
    SubChunkWalk walk(data, true);
    const uint8_t* tag = nullptr;
    ByteReader d;
    while (walk.Next(&tag, &d) == 1) {
        ByteReader body;
        if (FormOf(tag, d, "ENTR", &body)) {
            ReadEntry(body, m, textures);
        } else if (IsTag(tag, "FORM") && depth < kMaxDepth && d.remaining() >= 4) {
            body = d;
            body.Skip(4);
            ReadEntries(body, depth + 1, m, textures);
        }
    }
}

// The connections of a FORM NCON, each handed to `take` (the node whose
// input it is, that input, the node plugged in); each INME starts one.
template <typename Take>
void ForEachConnection(const ByteReader& connections, Take take) {
    SubChunkWalk walk(connections, true);
    const uint8_t* tag = nullptr;
    ByteReader d;
    Text to_node, input, from_node;
    bool open = false;
    while (walk.Next(&tag, &d) == 1) {
        if (IsTag(tag, "INME")) {
            if (open) take(to_node, input, from_node);
            to_node = StringOf(d);
            input = from_node = Text{};
            open = true;
        }
        if (IsTag(tag, "IINM")) input = StringOf(d);
        if (IsTag(tag, "IINN")) from_node = StringOf(d);
    }
    if (open) take(to_node, input, from_node);
}

// The first n floats an Image node keeps in FORM VPRM > FORM VPVL > a
// blank-tagged chunk.
bool ImageValue(const ByteReader& form, uint32_t n, float* out) {
    SubChunkWalk walk(form, true);
    const uint8_t* tag = nullptr;
    ByteReader d, inner, v;
    while (walk.Next(&tag, &d) == 1) {
        if (!FormOf(tag, d, "VPRM", &inner)) continue;
        SubChunkWalk nested(inner, true);
        while (nested.Next(&tag, &d) == 1) {
            if (!IsTag(tag, "FORM") || !ValueOf(tag, d, true, "VPVL", &v) || v.remaining() < 4 * n) continue;
            for (uint32_t k = 0; k < n; ++k) out[k] = ByteReader::LoadF32(v.position() + 4 * k);
            return true;
        }
    }
    return false;
}

// The image name in FORM IIMG > FORM CLIP > FORM STIL.
TextName ImageName(const ByteReader& image) {
    SubChunkWalk walk(image, true);
    const uint8_t* tag = nullptr;
    ByteReader d, clip, v;
    while (walk.Next(&tag, &d) == 1) {
        if (!FormOf(tag, d, "CLIP", &clip)) continue;
        SubChunkWalk inner(clip, true);
        while (inner.Next(&tag, &d) == 1) {
            if (!ValueOf(tag, d, true, "STIL", &v)) continue;
            const Text name = StringOf(v);
            return {name.bytes, name.length};
        }
    }
    return {};
}

uint32_t U4Of(const ByteReader& d, uint32_t fallback) {
    return d.remaining() >= 4 ? ByteReader::LoadU32(d.position()) : fallback;
}

// An Image node's FORM NDTA as a layer on top of the input's own; none
// without an image name or with a projection out of range.
void ReadImageNode(const ByteReader& data, NodeMaterial* m, TextureRecords* textures) {
    static const uint8_t kTop[] = {0xFF};
    TextureLayer l;
    l.ordinal = {kTop, 1};
    l.projection = Projection::kUv;
    uint32_t projection = static_cast<uint32_t>(Projection::kUv);
    SubChunkWalk walk(data, true);
    const uint8_t* tag = nullptr;
    ByteReader d, body;
    float v[3];
    while (walk.Next(&tag, &d) == 1) {
        if (IsTag(tag, "IMAP")) projection = U4Of(d, projection);
        if (IsTag(tag, "IAXS") && U4Of(d, 3) <= 2) l.axis = static_cast<uint8_t>(U4Of(d, 0));
        if (IsTag(tag, "IUVI")) l.uv_map = {StringOf(d).bytes, StringOf(d).length};
        if (IsTag(tag, "IUTL") && U4Of(d, 4) <= 3) l.wrap_width = static_cast<WrapMode>(U4Of(d, 1));
        if (IsTag(tag, "IVTL") && U4Of(d, 4) <= 3) l.wrap_height = static_cast<WrapMode>(U4Of(d, 1));
        if (IsTag(tag, "IINV")) l.negative = U4Of(d, 0) != 0;
        if (IsTag(tag, "IPIX")) l.pixel_blending = U4Of(d, 0) != 0;
        if (IsTag(tag, "IWRL")) l.world_coordinates = U4Of(d, 0) != 0;
        if (FormOf(tag, d, "IIMG", &body)) l.image = ImageName(body);
        if (FormOf(tag, d, "ISCL", &body) && ImageValue(body, 3, v)) {
            for (int k = 0; k < 3; ++k) l.size[k] = FiniteOr(v[k], 0) != 0 ? v[k] : 1;
        }
        if (FormOf(tag, d, "IPOS", &body) && ImageValue(body, 3, v)) {
            for (int k = 0; k < 3; ++k) l.centre[k] = FiniteOr(v[k], 0);
        }
        if (FormOf(tag, d, "IROT", &body) && ImageValue(body, 3, v)) {
            for (int k = 0; k < 3; ++k) l.rotation[k] = FiniteOr(v[k], 0);
        }
        if (FormOf(tag, d, "IUTD", &body) && ImageValue(body, 1, v) && FiniteOr(v[0], 0) != 0) l.repeat_width = v[0];
        if (FormOf(tag, d, "IVTD", &body) && ImageValue(body, 1, v) && FiniteOr(v[0], 0) != 0) l.repeat_height = v[0];
        if (FormOf(tag, d, "IOPC", &body) && ImageValue(body, 1, v)) {
            l.opacity = FiniteOr(v[0], 1) < 0 ? 0 : FiniteOr(v[0], 1) > 1 ? 1 : FiniteOr(v[0], 1);
        }
    }
    if (projection > static_cast<uint32_t>(Projection::kUv) || l.image.length == 0) {
        ++m->skipped_layers;
        return;
    }
    l.projection = static_cast<Projection>(projection);
    TextureLayer* kept = textures->AddLayer();
    if (kept) *kept = l;
}

}  // namespace

void ReadNodeMaterial(const ByteReader& nodes, NodeMaterial* material, TextureRecords* textures) {
    *material = NodeMaterial{};
    SubChunkWalk walk(nodes, true);
    const uint8_t* tag = nullptr;
    ByteReader d, body, graph;
    Text name, image;
    bool has_graph = false, connected = false;
    while (walk.Next(&tag, &d) == 1) {
        if (!has_graph && FormOf(tag, d, "NNDS", &graph)) has_graph = true;
        if (connected || !FormOf(tag, d, "NCON", &body)) continue;
        ForEachConnection(body, [&](const Text& to_node, const Text& input, const Text& from_node) {
            if (connected || !Equals(to_node, "Surface") || !Equals(input, "Material") || !from_node.length) return;
            connected = true;
            name = from_node;
        });
        // The Image node wired to the material's colour, wherever it is listed.
        ForEachConnection(body, [&](const Text& to_node, const Text& input, const Text& from_node) {
            if (connected && !image.length && Same(to_node, name) && Equals(input, "Color")) image = from_node;
        });
    }
    if (!has_graph || !connected) return;
    // The material's own layers first, then the Image node's on top.
    for (int pass = 0; pass < (textures && image.length ? 2 : 1); ++pass) {
        SubChunkWalk nodes_walk(graph, true);
        const Text& wanted = pass == 0 ? name : image;
        while (nodes_walk.Next(&tag, &d) == 1) {
            if (!FormOf(tag, d, "NTAG", &body)) continue;
            SubChunkWalk node(body, true);
            Text node_name;
            ByteReader data;
            bool has_data = false;
            while (node.Next(&tag, &d) == 1) {
                if (IsTag(tag, "NNME")) node_name = StringOf(d);
                if (FormOf(tag, d, "NDTA", &data)) has_data = true;
            }
            if (!has_data || !Same(node_name, wanted)) continue;
            if (pass == 0) ReadEntries(data, 0, material, textures);
            if (pass == 1) ReadImageNode(data, material, textures);
            break;
        }
    }
}

}  // namespace qavren
