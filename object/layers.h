// The readers of the layered forms (LWLO, LWO2, LWO3): the IFF chunk walk
// and the layers it passes through. Every byte is untrusted. The walk steps
// from chunk to chunk by their stated lengths, each proven to lie inside the
// FORM and the buffer before its data is handed out; a LAYR chunk is decoded
// only as far as its own length holds. What comes out are the PNTS and POLS
// chunks of the layers that are drawn, each with its layer's place in the
// object's points, so that the polygon records can check their point
// numbers against their own layer's points.
#pragma once

#include <cstdint>

#include "object/forms.h"
#include "object/object_buffer.h"
#include "object/polygon_records.h"
#include "platform/byte_reader.h"
#include "platform/status.h"

namespace qavren {

// One chunk: tag, the offset of its header in the buffer, and its data.
struct Chunk {
    char tag[4] = {};
    uint32_t offset = 0;
    ByteReader data;
};

// The chunks of a FORM in file order from byte 12: tag, 4-byte length, the
// data and a pad byte after an odd length (a missing last pad byte is no
// fault). The walk ends at the FORM's stated end or the buffer's, the nearer.
class ChunkWalk {
public:
    ChunkWalk() = default;
    // `data` holds a FORM header (at least 12 bytes).
    ChunkWalk(const uint8_t* data, uint32_t size);

    // 1 with the next chunk; 0 when fewer than 8 bytes are left; -5 for a
    // chunk whose length runs past the end, with *chunk naming it.
    Status Next(Chunk* chunk);

private:
    const uint8_t* base_ = nullptr;
    ByteReader rest_;
};

// What a LAYR chunk says of its layer. LWLO: U2 number, U2 flags, S0 name.
// LWO2 and LWO3: U2 number, U2 flags, VEC12 pivot, S0 name, optional U2 parent.
struct LayerHeader {
    uint16_t number = 0;
    uint16_t flags = 0;
    bool hidden = false;        // flags bit 0, in LWO2 and LWO3 only
    const uint8_t* name = nullptr;
    uint32_t name_length = 0;   // up to the NUL or the chunk's end
    bool has_parent = false;
    uint16_t parent = 0;
};

// False when the chunk is too short for the number and the flags.
bool DecodeLayer(const ByteReader& data, ObjectForm form, LayerHeader* layer);

// How the polygon records of a POLS chunk are laid out in `form`, and for
// LWO2 and LWO3 whether a chunk of that type is drawn: FACE and the control
// cages of PTCH and SUBD are; CURV, BONE, MBAL and other types are not.
RecordLayout LayoutOf(ObjectForm form);
bool IsDrawnPolygonType(const uint8_t type[4]);

// Why a layer walk stopped early.
enum class LayerFault : uint8_t {
    kNone,
    kChunkOverrun,         // a chunk's length runs past the FORM or the buffer
    kShortLayer,           // a LAYR chunk shorter than number and flags
    kUntypedPolygons,      // an LWO2/LWO3 POLS chunk shorter than its type
    kPolygonsBeforePoints, // a POLS chunk in a drawn layer before any PNTS of it
};

// The geometry chunks of a layered object, in file order. Chunks before the
// first LAYR belong to an unnamed layer that is drawn. A layer's polygons
// number the points of its latest PNTS chunk. Hidden layers are passed over
// whole: their chunks are walked by length, their contents are not read.
class LayerWalk {
public:
    enum class Kind { kPoints, kPolygons };

    LayerWalk() = default;
    LayerWalk(const ObjectBuffer& buffer, ObjectForm form);

    // 1 with the next PNTS chunk (kPoints, *data its point records) or drawn
    // POLS chunk (kPolygons, *data its records, after the type in LWO2 and
    // LWO3) of a drawn layer; 0 at the end; -5 with fault() set otherwise.
    Status Next(Kind* kind, ByteReader* data);

    // Of the PNTS chunk the current layer's polygons number: its first
    // point's place in the object's points, and its point count.
    uint32_t first_point() const { return first_point_; }
    uint32_t layer_points() const { return layer_points_; }
    // All points of drawn layers passed so far.
    uint32_t total_points() const { return total_points_; }
    uint16_t layer_number() const { return layer_number_; }
    RecordLayout layout() const { return LayoutOf(form_); }

    LayerFault fault() const { return fault_; }
    // The chunk that was being read: the one at fault after a failure.
    const Chunk& chunk() const { return chunk_; }

private:
    Status Fail(LayerFault fault) {
        fault_ = fault;
        return status::kCorrupt;
    }

    ChunkWalk chunks_;
    Chunk chunk_;
    ObjectForm form_ = ObjectForm::kLwo2;
    bool hidden_ = false;
    bool has_points_ = false;
    uint16_t layer_number_ = 0;
    uint32_t first_point_ = 0;
    uint32_t layer_points_ = 0;
    uint32_t total_points_ = 0;
    LayerFault fault_ = LayerFault::kNone;
};

}  // namespace qavren
