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
//     FORM NCON, one per connection: INME (the node whose input it is), IINM
//       (that input), IINN (the node plugged in), IONM (its output).
// The material is the node plugged into the "Material" input of the node
// named "Surface"; a node that is not plugged in shades nothing.
#include "object/surface_nodes.h"

#include <cstring>

namespace qavren {
namespace {

// Deep enough for the layout above with room to spare; deeper nesting is
// not searched.
constexpr int kMaxDepth = 8;

struct Text {
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
};

bool Is(const uint8_t* tag, const char* name) { return std::memcmp(tag, name, 4) == 0; }

// The S0 string at the start of `data`: the bytes before its NUL, or all.
Text StringOf(const ByteReader& data) {
    const uint8_t* p = data.position();
    const uint32_t left = data.remaining();
    const auto* nul = left ? static_cast<const uint8_t*>(std::memchr(p, 0, left)) : nullptr;
    return {p, nul ? static_cast<uint32_t>(nul - p) : left};
}

bool Same(const Text& a, const Text& b) {
    return a.length == b.length && (a.length == 0 || std::memcmp(a.bytes, b.bytes, a.length) == 0);
}

bool Equals(const Text& a, const char* name) {
    return Same(a, Text{reinterpret_cast<const uint8_t*>(name), static_cast<uint32_t>(std::strlen(name))});
}

// The body of a FORM sub-chunk of the given type, after the type.
bool FormOf(const uint8_t* tag, const ByteReader& data, const char* type, ByteReader* body) {
    if (!Is(tag, "FORM") || data.remaining() < 4 || !Is(data.position(), type)) return false;
    *body = data;
    body->Skip(4);
    return true;
}

double LoadF64(const uint8_t* p) {
    const uint64_t bits = uint64_t{ByteReader::LoadU32(p)} << 32 | ByteReader::LoadU32(p + 4);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The first chunk at or below `data` whose data is exactly the count `n`
// and n doubles.
bool FindDoubles(const ByteReader& data, uint32_t n, int depth, double* out) {
    SubChunkWalk walk(data, true);
    const uint8_t* tag = nullptr;
    ByteReader d;
    while (walk.Next(&tag, &d) == 1) {
        if (Is(tag, "FORM")) {
            ByteReader body = d;
            if (depth < kMaxDepth && body.Skip(4) && FindDoubles(body, n, depth + 1, out)) return true;
            continue;
        }
        if (d.remaining() != 4 + 8 * n || ByteReader::LoadU32(d.position()) != n) continue;
        for (uint32_t k = 0; k < n; ++k) out[k] = LoadF64(d.position() + 4 + 8 * k);
        return true;
    }
    return false;
}

// One input of the material node; the first of each name counts.
void ReadEntry(const ByteReader& entry, NodeMaterial* m) {
    SubChunkWalk walk(entry, true);
    const uint8_t* tag = nullptr;
    ByteReader d, value;
    Text name;
    bool has_value = false;
    while (walk.Next(&tag, &d) == 1) {
        if (Is(tag, "NAME")) name = StringOf(d);
        if (FormOf(tag, d, "VALU", &value)) has_value = true;
    }
    if (!has_value) return;
    double v[3];
    if (Equals(name, "Color") && !m->has_colour && FindDoubles(value, 3, 0, v)) {
        m->has_colour = true;
        std::memcpy(m->colour, v, sizeof v);
    } else if (Equals(name, "Diffuse") && !m->has_diffuse && FindDoubles(value, 1, 0, v)) {
        m->has_diffuse = true;
        m->diffuse = v[0];
    } else if ((Equals(name, "Luminosity") || Equals(name, "Luminous")) && !m->has_luminosity &&
               FindDoubles(value, 1, 0, v)) {
        m->has_luminosity = true;
        m->luminosity = v[0];
    }
}

// Every FORM ENTR at or below `data`.
void ReadEntries(const ByteReader& data, int depth, NodeMaterial* m) {
    SubChunkWalk walk(data, true);
    const uint8_t* tag = nullptr;
    ByteReader d;
    while (walk.Next(&tag, &d) == 1) {
        ByteReader body;
        if (FormOf(tag, d, "ENTR", &body)) {
            ReadEntry(body, m);
        } else if (Is(tag, "FORM") && depth < kMaxDepth && d.remaining() >= 4) {
            body = d;
            body.Skip(4);
            ReadEntries(body, depth + 1, m);
        }
    }
}

// The node a FORM NCON plugs into the Surface node's Material input.
bool MaterialOf(const ByteReader& connection, Text* material) {
    SubChunkWalk walk(connection, true);
    const uint8_t* tag = nullptr;
    ByteReader d;
    Text to_node, input, from_node;
    while (walk.Next(&tag, &d) == 1) {
        if (Is(tag, "INME")) to_node = StringOf(d);
        if (Is(tag, "IINM")) input = StringOf(d);
        if (Is(tag, "IINN")) from_node = StringOf(d);
    }
    if (!Equals(to_node, "Surface") || !Equals(input, "Material") || from_node.length == 0) return false;
    *material = from_node;
    return true;
}

}  // namespace

void ReadNodeMaterial(const ByteReader& nodes, NodeMaterial* material) {
    *material = NodeMaterial{};
    SubChunkWalk walk(nodes, true);
    const uint8_t* tag = nullptr;
    ByteReader d, body, graph;
    Text name;
    bool has_graph = false, connected = false;
    while (walk.Next(&tag, &d) == 1) {
        if (!has_graph && FormOf(tag, d, "NNDS", &graph)) has_graph = true;
        if (!connected && FormOf(tag, d, "NCON", &body)) connected = MaterialOf(body, &name);
    }
    if (!has_graph || !connected) return;
    SubChunkWalk nodes_walk(graph, true);
    while (nodes_walk.Next(&tag, &d) == 1) {
        if (!FormOf(tag, d, "NTAG", &body)) continue;
        SubChunkWalk node(body, true);
        Text node_name;
        ByteReader data;
        bool has_data = false;
        while (node.Next(&tag, &d) == 1) {
            if (Is(tag, "NNME")) node_name = StringOf(d);
            if (FormOf(tag, d, "NDTA", &data)) has_data = true;
        }
        if (has_data && Same(node_name, name)) {
            ReadEntries(data, 0, material);
            return;
        }
    }
}

}  // namespace qavren
