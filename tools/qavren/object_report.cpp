// Gathers an ObjectReport: the IFF walk, the plug-in's chunk search and the
// point and polygon facts, and words the first fault.
#include "tools/qavren/object_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "object/byte_reader.h"
#include "object/lwob.h"

namespace qavren::cli {
namespace {

constexpr uint32_t kFormHeaderSize = 12;

bool Contains(const ChunkEntry& e, uint32_t offset) {
    return offset >= e.offset && uint64_t{offset} < uint64_t{e.offset} + 8 + e.length;
}

void NoteHit(const ChunkEntry& e, SearchHit* hit) {
    if (!hit->in_chunk && hit->offset != kChunkNotFound && Contains(e, hit->offset)) {
        hit->in_chunk = true;
        hit->container = e;
    }
}

void RecordChunk(const ChunkEntry& e, ObjectReport* r) {
    if (r->chunk_count < kMaxListedChunks) r->chunks[r->chunk_count] = e;
    ++r->chunk_count;
    if (r->real_pnts == UINT32_MAX && std::memcmp(e.tag, "PNTS", 4) == 0) r->real_pnts = e.offset;
    if (r->real_pols == UINT32_MAX && std::memcmp(e.tag, "POLS", 4) == 0) r->real_pols = e.offset;
    NoteHit(e, &r->search_pnts);
    NoteHit(e, &r->search_pols);
}

// The chunks as an IFF reader sees them: tag, length, data, a pad byte
// after odd lengths, up to the FORM's stated end (or the file's, if nearer).
void WalkChunks(const ObjectBuffer& buffer, ObjectReport* r) {
    const uint64_t form_end = uint64_t{r->form_length} + 8;
    r->walk_limit = form_end < buffer.size() ? static_cast<uint32_t>(form_end) : buffer.size();
    if (r->walk_limit < kFormHeaderSize) r->walk_limit = kFormHeaderSize;
    ByteReader rest(buffer.data() + kFormHeaderSize, r->walk_limit - kFormHeaderSize);
    while (rest.remaining() >= 8) {
        ChunkEntry e = {};
        std::memcpy(e.tag, rest.position(), 4);
        e.offset = static_cast<uint32_t>(rest.position() - buffer.data());
        rest.Skip(4);
        rest.ReadU32(&e.length);
        e.overruns = e.length > rest.remaining();
        RecordChunk(e, r);
        if (e.overruns) break;
        rest.Skip(e.length);
        if (e.length % 2) rest.Skip(1);  // a missing last pad byte is no fault
    }
    r->walk_end = static_cast<uint32_t>(rest.position() - buffer.data());
}

void GatherPoints(const ByteReader& pnts, PointFacts* f) {
    const PointList list(pnts);
    f->count = list.count();
    f->leftover_bytes = pnts.remaining() % kPointRecordSize;
    bool first = true;
    for (uint32_t k = 0; k < list.count(); ++k) {
        float v[3];
        list.Get(k, &v[0], &v[1], &v[2]);
        if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) {
            ++f->non_finite;
            continue;
        }
        for (int a = 0; a < 3; ++a) {
            if (first || v[a] < f->min[a]) f->min[a] = v[a];
            if (first || v[a] > f->max[a]) f->max[a] = v[a];
        }
        first = false;
    }
    // The fit starts its bounds at ±10000, so a model wholly beyond them on
    // one side keeps a starting value as one bound and is drawn off-centre.
    if (!first) {
        for (int a = 0; a < 2; ++a) f->off_centre |= f->min[a] > 10000.f || f->max[a] < -10000.f;
    }
}

// Says why the record at `at` stopped the walk, checking in the walk's order.
void DiagnoseRecord(const uint8_t* at, const uint8_t* end, const uint8_t* base, uint32_t point_count,
                    PolygonFacts* f) {
    f->fault_offset = static_cast<uint32_t>(at - base);
    ByteReader record(at, static_cast<uint32_t>(end - at));
    uint16_t n = 0;
    if (!record.ReadU16(&n)) {
        f->fault = PolygonFault::kOverrun;
        return;
    }
    if (n == 0 || n > kMaxPolygonVertices) {
        f->fault = PolygonFault::kVertexCount;
        f->fault_value = n;
        return;
    }
    if (record.remaining() < 2u * n + 2u) {
        f->fault = PolygonFault::kOverrun;
        return;
    }
    for (uint16_t k = 0; k < n; ++k) {
        const uint16_t index = ByteReader::LoadU16(record.position() + 2 * k);
        if (index >= point_count) {
            f->fault = PolygonFault::kPointNumber;
            f->fault_value = index;
            return;
        }
    }
}

// Walks POLS with the renderers' own walk, so its verdict is theirs.
void GatherPolygons(const ByteReader& pols, const uint8_t* base, uint32_t point_count, PolygonFacts* f) {
    PolygonWalk walk(pols, point_count);
    const uint8_t* next = pols.position();
    Polygon p;
    Status st;
    while ((st = walk.Next(&p)) == 1) {
        f->min_vertices = f->count == 0 || p.count < f->min_vertices ? p.count : f->min_vertices;
        f->max_vertices = p.count > f->max_vertices ? p.count : f->max_vertices;
        ++f->count;
        // A negative surface number announces detail polygons, which the
        // walk reads as ordinary records.
        if (p.Index(p.count) & 0x8000) ++f->detail_markers;
        next = p.indices + 2u * p.count + 2u;
    }
    if (Failed(st)) DiagnoseRecord(next, pols.position() + pols.remaining(), base, point_count, f);
}

void GatherPlugInView(const ObjectBuffer& buffer, ObjectReport* r) {
    ByteReader pnts;
    r->pnts_status = LocateChunk(buffer, "PNTS", &pnts);
    if (!Failed(r->pnts_status)) GatherPoints(pnts, &r->points);
    ByteReader pols;
    r->pols_status = LocateChunk(buffer, "POLS", &pols);
    if (!Failed(r->pnts_status) && !Failed(r->pols_status)) {
        GatherPolygons(pols, buffer.data(), r->points.count, &r->polygons);
    }
}

void FindHit(const ObjectBuffer& buffer, const char tag[4], SearchHit* hit) {
    hit->offset = FindChunk(buffer, tag);
    if (hit->offset != kChunkNotFound && uint64_t{hit->offset} + 8 <= buffer.size()) {
        hit->stated_length = ByteReader::LoadU32(buffer.data() + hit->offset + 4);
    }
}

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

void DescribePolygonFault(const PolygonFacts& f, uint32_t point_count, Message* out) {
    switch (f.fault) {
    case PolygonFault::kVertexCount:
        Format(out, "corrupt object: polygon %u (at byte %u) has %u vertices; 1 to 200 are allowed", f.count,
               f.fault_offset, f.fault_value);
        break;
    case PolygonFault::kOverrun:
        Format(out, "corrupt object: polygon %u (at byte %u) runs past the end of the POLS chunk", f.count,
               f.fault_offset);
        break;
    case PolygonFault::kPointNumber:
        Format(out, "corrupt object: polygon %u (at byte %u) uses point %u, but there are only %u points",
               f.count, f.fault_offset, f.fault_value, point_count);
        break;
    case PolygonFault::kNone: break;
    }
}

bool DescribeForm(const ObjectReport& r, Message* out) {
    switch (r.form) {
    case status::kLwob: return false;
    case status::kNoData: Format(out, "holds no data"); return true;
    case status::kLayered:
        Format(out, "is a layered LightWave object (FORM LWLO); only LWOB objects can be drawn");
        return true;
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
        Format(out, "is a newer LightWave object (FORM %.4s); only the older LWOB objects can be drawn", r.form_type);
        return true;
    }
    char type[4];
    for (int i = 0; i < 4; ++i) type[i] = r.form_type[i] >= 0x20 && r.form_type[i] < 0x7F ? r.form_type[i] : '?';
    Format(out, "is an IFF file of type '%.4s', not a LightWave object", type);
    return true;
}

}  // namespace

void ExamineObject(const ObjectBuffer& buffer, ObjectReport* report) {
    *report = ObjectReport{};
    report->file_size = buffer.size();
    report->form = CheckForm(buffer);
    if (buffer.size() >= kFormHeaderSize) {
        std::memcpy(report->form_type, buffer.data() + 8, 4);
        report->form_length = ByteReader::LoadU32(buffer.data() + 4);
    }
    // FindChunk answers only for LWOB, so the hits stay empty otherwise.
    FindHit(buffer, "PNTS", &report->search_pnts);
    FindHit(buffer, "POLS", &report->search_pols);
    const Status f = report->form;
    if (f == status::kLwob || f == status::kLayered || f == status::kOtherForm) WalkChunks(buffer, report);
    if (report->form == status::kLwob) GatherPlugInView(buffer, report);
}

Status ExpectedDrawStatus(const ObjectReport& r) {
    if (r.form != status::kLwob) return r.form;
    if (Failed(r.pnts_status)) return r.pnts_status;
    if (Failed(r.pols_status)) return r.pols_status;
    return r.polygons.fault == PolygonFault::kNone ? status::kOk : status::kCorrupt;
}

bool DescribeFault(const ObjectReport& r, Message* out) {
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
    DescribePolygonFault(r.polygons, r.points.count, out);
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
        Format(out, "inside the %s of the %.4s chunk at byte %u, not a chunk", in_header ? "header" : "data",
               hit.container.tag, hit.container.offset);
    } else {
        Format(out, "outside every chunk, not a chunk");
    }
}

}  // namespace qavren::cli
