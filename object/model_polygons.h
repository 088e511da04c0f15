// The drawn polygons of an object as the model holds them: every polygon the
// polygon walk hands out, in its order, with its point numbers (proven to
// name a point of the model) and what the surfaces need to give each its
// surface: the record's surface word (LWOB, LWLO) or the POLS chunk it came
// from (LWO2, LWO3).
#pragma once

#include <cstdint>

#include "object/geometry.h"
#include "platform/owned_array.h"

namespace qavren {

// The polygons one POLS chunk gave, found by the chunk's offset.
struct PolygonChunk {
    uint32_t offset;  // of the chunk's header in the buffer
    uint32_t count;   // its polygons, which follow those of the chunks before it
};

struct ModelPolygons {
    // Polygon k's point numbers are indices[starts[k] .. starts[k + 1]).
    OwnedArray<uint32_t> starts;
    OwnedArray<uint32_t> indices;
    OwnedArray<int16_t> surface_words;  // LWOB and LWLO: one a polygon
    OwnedArray<PolygonChunk> chunks;    // LWO2 and LWO3: those that gave polygons, in file order
    uint32_t chunk_count = 0;
    uint32_t count = 0;

    Polygon operator[](uint32_t k) const {
        return {static_cast<uint16_t>(starts[k + 1] - starts[k]), indices.data() + starts[k]};
    }
};

}  // namespace qavren
