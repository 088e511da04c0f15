// ObjectReport: what an object file holds and what is wrong with it, as
// facts gathered once from the loaded bytes. Two views of the chunks sit
// side by side: the IFF chunk list as the file is laid out, and the plug-in's
// first-match byte search, which can land somewhere else (a tag spelled
// inside a surface name, say). The points and polygons are read through the
// plug-in's own chunk search and polygon walk, so the verdict is the viewer's.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "object/status.h"
#include "tools/qavren/message.h"

namespace qavren::cli {

struct ChunkEntry {
    char tag[4];
    uint32_t offset;  // of the tag
    uint32_t length;  // as stated
    bool overruns;    // the stated length runs past the end of the file
};

// Where the plug-in's search for one tag landed, and the IFF chunk holding
// that spot when it is not the chunk itself.
struct SearchHit {
    uint32_t offset = UINT32_MAX;  // FindChunk's result
    uint32_t stated_length = 0;    // the four bytes after the tag, when present
    bool in_chunk = false;         // container below is valid
    ChunkEntry container = {};
};

// Why the polygon walk stopped early.
enum class PolygonFault { kNone, kVertexCount, kOverrun, kPointNumber };

struct PolygonFacts {
    uint32_t count = 0;            // records walked successfully
    uint16_t min_vertices = 0;
    uint16_t max_vertices = 0;
    uint32_t detail_markers = 0;   // records with a negative surface number
    PolygonFault fault = PolygonFault::kNone;
    uint32_t fault_offset = 0;     // file offset of the failing record
    uint32_t fault_value = 0;      // its vertex count or point number
};

struct PointFacts {
    uint32_t count = 0;
    uint32_t leftover_bytes = 0;   // PNTS length beyond whole 12-byte records
    uint32_t non_finite = 0;       // points with a NaN or infinite coordinate
    bool off_centre = false;       // every x or every y beyond 10000 on one side,
                                   // past the fit's starting bounds
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};      // over the finite points only
};

constexpr int kMaxListedChunks = 48;

struct ObjectReport {
    uint32_t file_size = 0;
    Status form = status::kNoData;  // CheckForm's result
    char form_type[4] = {};         // bytes 8..11, when there are 12 bytes
    uint32_t form_length = 0;       // as the FORM header states it

    // The IFF walk from byte 12.
    ChunkEntry chunks[kMaxListedChunks] = {};
    uint32_t chunk_count = 0;        // all chunks walked, listed or not
    uint32_t walk_limit = 0;         // the FORM's end or the file's, the nearer
    uint32_t walk_end = 0;           // where the walk stopped
    uint32_t real_pnts = UINT32_MAX; // first PNTS and POLS chunk the walk met
    uint32_t real_pols = UINT32_MAX;

    // The plug-in's view (LWOB only).
    SearchHit search_pnts;
    SearchHit search_pols;
    Status pnts_status = status::kCorrupt;  // LocateChunk's results
    Status pols_status = status::kCorrupt;
    PointFacts points;
    PolygonFacts polygons;
};

void ExamineObject(const ObjectBuffer& buffer, ObjectReport* report);

// The Status the renderers would return for this object: CheckForm's
// failure, -5 for a chunk or polygon fault, 0 when it draws (memory aside).
Status ExpectedDrawStatus(const ObjectReport& report);

// Why the object cannot be drawn, in plain words; false when nothing is wrong.
bool DescribeFault(const ObjectReport& report, Message* out);

// Where the search for `tag` landed, in words: "the PNTS chunk", "inside the
// data of the SRFS chunk at byte 12", ...
void DescribeHit(const SearchHit& hit, const char tag[4], Message* out);

}  // namespace qavren::cli
