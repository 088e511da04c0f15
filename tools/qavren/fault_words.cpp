// The words for an object's first fault, from its gathered report: what the
// command prints and the page shows.
#include <cstdio>
#include <cstring>

#include "object/lwob.h"
#include "tools/qavren/object_report.h"
#include "tools/qavren/printable.h"

namespace qavren::cli {
namespace {

// The chunk header at `offset` and what follows it, for a length fault.
uint32_t BytesAfterHeader(const ObjectReport& r, uint32_t offset) {
    const uint64_t data = uint64_t{offset} + 8;
    return data < r.file_size ? static_cast<uint32_t>(r.file_size - data) : 0;
}

bool IsTheChunk(const SearchHit& hit, const char tag[4]) {
    return hit.in_chunk && hit.container.offset == hit.offset && std::memcmp(hit.container.tag, tag, 4) == 0;
}

void DescribeChunkFault(const ObjectReport& r, const SearchHit& hit, const char tag[4], const char* what,
                        Message* out) {
    if (hit.offset == kChunkNotFound) {
        Format(out, "corrupt object: it has no %.4s chunk (%s)", tag, what);
        return;
    }
    // The plug-in reads the length from the four bytes after the match,
    // wherever it landed; there may not even be four.
    Message chunk;
    if (IsTheChunk(hit, tag)) {
        Format(&chunk, "the %.4s chunk at byte %u", tag, hit.offset);
    } else {
        Message where;
        DescribeHit(hit, tag, &where);
        Format(&chunk, "the first '%.4s' in the file, at byte %u (%s), taken for the chunk,", tag, hit.offset,
               where.text);
    }
    if (uint64_t{hit.offset} + 8 > r.file_size) {
        Format(out, "corrupt object: %s is cut off before its length", chunk.text);
        return;
    }
    Format(out, "corrupt object: %s states %u bytes of data, but only %u follow", chunk.text, hit.stated_length,
           BytesAfterHeader(r, hit.offset));
}

void DescribePolygonFault(const PolygonFacts& f, uint16_t max_vertices, Message* out) {
    switch (f.fault) {
    case PolygonFault::kVertexCount:
        Format(out, "corrupt object: polygon %u (at byte %u) has %u vertices; 1 to %u are allowed", f.count,
               f.fault_offset, f.fault_value, max_vertices);
        break;
    case PolygonFault::kOverrun:
        Format(out, "corrupt object: polygon %u (at byte %u) runs past the end of the POLS chunk", f.count,
               f.fault_offset);
        break;
    case PolygonFault::kPointNumber:
        Format(out, "corrupt object: polygon %u (at byte %u) uses point %u, but there are only %u points",
               f.count, f.fault_offset, f.fault_value, f.fault_points);
        break;
    case PolygonFault::kMissingDetails:
        Format(out, "corrupt object: the POLS chunk ends before the last %u of the detail polygons it announces",
               f.fault_value);
        break;
    case PolygonFault::kNone: break;
    }
}

// The layer walk's fault, or the polygon walk's, with where it is.
bool DescribeLayeredFault(const ObjectReport& r, Message* out) {
    const LayeredFacts& f = r.layered;
    const ChunkEntry& c = f.fault_chunk;
    const TagText tag = PrintableTag(c.tag);
    if (Failed(f.structure)) {
        switch (f.fault) {
        case LayerFault::kChunkOverrun: {
            const uint64_t data = uint64_t{c.offset} + 8;
            Format(out, "corrupt object: the %s chunk at byte %u states %u bytes of data, but only %u follow%s",
                   tag.text, c.offset, c.length, data < r.walk_limit ? static_cast<uint32_t>(r.walk_limit - data) : 0,
                   r.walk_limit < r.file_size ? " within the FORM" : "");
            break;
        }
        case LayerFault::kShortLayer:
            Format(out,
                   "corrupt object: the LAYR chunk at byte %u holds %u bytes, too few for a layer's number and flags",
                   c.offset, c.length);
            break;
        case LayerFault::kUntypedPolygons:
            Format(out, "corrupt object: the POLS chunk at byte %u holds %u bytes, too few for its polygon type",
                   c.offset, c.length);
            break;
        case LayerFault::kPolygonsBeforePoints:
            Format(out, "corrupt object: the POLS chunk at byte %u (layer %u) comes before any PNTS chunk of its layer",
                   c.offset, f.fault_layer);
            break;
        case LayerFault::kNone: Format(out, "corrupt object"); break;
        }
        return true;
    }
    if (r.polygons.fault == PolygonFault::kNone) return false;
    const uint16_t limit = r.object_form == ObjectForm::kLwob ? kMaxPolygonVertices : kMaxPolygonIndices;
    DescribePolygonFault(r.polygons, limit, out);
    const size_t used = std::strlen(out->text);
    std::snprintf(out->text + used, sizeof out->text - used, ", in the POLS chunk at byte %u of layer %u",
                  r.polygons.fault_chunk, r.polygons.fault_layer);
    return true;
}

bool DescribeForm(const ObjectReport& r, Message* out) {
    switch (r.form) {
    case status::kLwob: return false;
    case status::kNoData: Format(out, "holds no data"); return true;
    case status::kOtherForm: break;
    default:
        if (r.file_size < kFormHeaderSize) {
            Format(out, "is not a LightWave object: only %u bytes, too short for an IFF FORM header", r.file_size);
        } else {
            Format(out, "is not a LightWave object: it does not begin with an IFF FORM header");
        }
        return true;
    }
    if (std::memcmp(r.form_type, "LWO", 3) == 0) {
        Format(out,
               "is a LightWave object of a form not known here (FORM %s); LWOB, LWLO, LWO2 and LWO3 can be drawn",
               PrintableTag(r.form_type).text);
        return true;
    }
    Format(out, "is an IFF file of type '%s', not a LightWave object", PrintableTag(r.form_type).text);
    return true;
}

}  // namespace

bool DescribeFault(const ObjectReport& r, Message* out) {
    if (IsLayered(r)) return DescribeLayeredFault(r, out);
    if (DescribeForm(r, out)) return true;
    if (Failed(r.pnts_status)) {
        DescribeChunkFault(r, r.search_pnts, "PNTS", "the point list", out);
        return true;
    }
    if (Failed(r.pols_status)) {
        DescribeChunkFault(r, r.search_pols, "POLS", "the polygon list", out);
        return true;
    }
    if (r.polygons.fault == PolygonFault::kNone) return false;
    DescribePolygonFault(r.polygons, kMaxPolygonVertices, out);
    // A point count taken from a false PNTS match explains most such faults.
    if (r.polygons.fault == PolygonFault::kPointNumber && r.search_pnts.offset != r.real_pnts) {
        Message where;
        DescribeHit(r.search_pnts, "PNTS", &where);
        const size_t used = std::strlen(out->text);
        std::snprintf(out->text + used, sizeof out->text - used, " (the points come from the first 'PNTS' in the file, %s)",
                      where.text);
    }
    return true;
}

void DescribeHit(const SearchHit& hit, const char tag[4], Message* out) {
    if (IsTheChunk(hit, tag)) {
        Format(out, "the %.4s chunk", tag);
    } else if (hit.offset < kFormHeaderSize) {
        Format(out, "inside the FORM header, not a chunk");
    } else if (hit.in_chunk) {
        const bool in_header = hit.offset < hit.container.offset + 8;
        Format(out, "inside the %s of the %s chunk at byte %u, not a chunk", in_header ? "header" : "data",
               PrintableTag(hit.container.tag).text, hit.container.offset);
    } else {
        Format(out, "outside every chunk, not a chunk");
    }
}

void DescribeDrawFailure(const char* path, const ObjectBuffer& buffer, Status draw, Message* error) {
    Message why;
    if (draw == status::kNoMemory) {
        Format(&why, "not enough memory to draw it");
    } else {
        ObjectReport report;
        ExamineObject(buffer, &report);
        if (!DescribeFault(report, &why)) Format(&why, "cannot be drawn (status %d)", draw);
    }
    Format(error, "%s: %s", path, why.text);
}

}  // namespace qavren::cli
