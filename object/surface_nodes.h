// Pieces of the surface reader: the walk over a surface's sub-chunks, and
// the material of an LWO3 node graph. Every byte is untrusted: a length is
// proven to lie inside its parent before its data is handed out, and the
// node graph is searched to a fixed depth, so hostile nesting costs neither
// stack nor time beyond the bytes it spans.
#pragma once

#include <cstdint>

#include "object/textures.h"
#include "platform/byte_reader.h"
#include "platform/status.h"

namespace qavren {

// Sub-chunks: a 4-byte tag, a length of 2 bytes (LWOB, LWLO and LWO2
// surfaces) or 4 (LWO3 surfaces and their nested FORMs), the data and a pad
// byte after an odd length; a missing last pad byte is no fault.
class SubChunkWalk {
public:
    SubChunkWalk(const ByteReader& data, bool wide_lengths) : rest_(data), wide_(wide_lengths) {}

    // 1 with the next sub-chunk's tag and data; 0 when the data is used up
    // exactly; -5 when a header or a length runs past the data.
    Status Next(const uint8_t** tag, ByteReader* data) {
        if (rest_.remaining() == 0) return 0;
        *tag = rest_.position();
        uint32_t length = 0;
        uint16_t narrow = 0;
        if (!rest_.Skip(4)) return status::kCorrupt;
        if (wide_ ? !rest_.ReadU32(&length) : !rest_.ReadU16(&narrow)) return status::kCorrupt;
        if (!wide_) length = narrow;
        if (!rest_.Take(length, data)) return status::kCorrupt;
        if (length % 2 && rest_.remaining() > 0) rest_.Skip(1);
        return 1;
    }

private:
    ByteReader rest_;
    bool wide_;
};

// What an LWO3 surface's material node says; each value only where found.
struct NodeMaterial {
    bool has_colour = false;
    double colour[3] = {0, 0, 0};  // 0..1 as written
    bool has_diffuse = false;
    double diffuse = 0;
    bool has_luminosity = false;
    double luminosity = 0;
    bool has_specular = false;
    double specular = 0;
    bool has_glossiness = false;
    double glossiness = 0;  // "Glossiness", or 1 - the Principled BSDF node's "Roughness"
    uint32_t skipped_layers = 0;  // colour layers of the material that are not image maps
};

// Reads the node that the FORM NODS data `nodes` (after its type) plugs
// into its Surface node's Material input: its "Color", "Diffuse",
// "Luminosity" (the Principled BSDF node's "Luminous"), "Specular" and
// "Glossiness" (or "Roughness") inputs. The image layers of its Color input
// and an Image node wired to that input go to `textures` (which may be
// null), in that order.
void ReadNodeMaterial(const ByteReader& nodes, NodeMaterial* material, TextureRecords* textures);

}  // namespace qavren
