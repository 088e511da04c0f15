// Gathers an ObjectReport: the IFF walk, the plug-in's chunk search, the
// point and polygon facts, the layers and the surfaces. (fault_words.cpp
// puts the first fault into words.)
#include "tools/qavren/object_report.h"

#include <cmath>
#include <cstring>

#include "image/texture_source.h"
#include "object/geometry.h"
#include "object/lwob.h"
#include "object/model.h"
#include "platform/byte_reader.h"
#include "plugin/host_codes.h"
#include "plugin/plugin_info.h"
#include "tools/qavren/printable.h"

namespace qavren::cli {
namespace {

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

void AddPoints(const PointList& list, const ModelTurn& turn, PointFacts* f, bool* first) {
    f->count += list.count();
    for (uint32_t k = 0; k < list.count(); ++k) {
        float v[3];
        list.Get(k, &v[0], &v[1], &v[2]);
        if (!turn.identity()) turn.Apply(&v[0], &v[1], &v[2]);
        if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) {
            ++f->non_finite;
            continue;
        }
        for (int a = 0; a < 3; ++a) {
            if (*first || v[a] < f->min[a]) f->min[a] = v[a];
            if (*first || v[a] > f->max[a]) f->max[a] = v[a];
        }
        *first = false;
    }
}

// The points the renderers fit, a PNTS chunk at a time, turned as they turn them.
void GatherPoints(const ObjectPoints& points, const ModelTurn& turn, PointFacts* f) {
    bool first = true;
    PointRuns runs(points);
    for (PointList run; runs.Next(&run);) AddPoints(run, turn, f, &first);
    // The fit starts its bounds at ±10000, so a model wholly beyond them on
    // one side keeps a starting value as one bound and is drawn off-centre.
    if (!first) {
        for (int a = 0; a < 2; ++a) f->off_centre |= f->min[a] > 10000.f || f->max[a] < -10000.f;
    }
}

PolygonFault FaultOf(RecordFault fault) {
    switch (fault) {
    case RecordFault::kVertexCount: return PolygonFault::kVertexCount;
    case RecordFault::kOverrun: return PolygonFault::kOverrun;
    case RecordFault::kPointNumber: return PolygonFault::kPointNumber;
    case RecordFault::kMissingDetails: return PolygonFault::kMissingDetails;
    case RecordFault::kNone: break;
    }
    return PolygonFault::kNone;
}

// Walks the polygons with the renderers' own walk, so its verdict is theirs.
void GatherPolygons(const ObjectPolygons& polygons, const uint8_t* base, uint32_t point_count, bool layered,
                    PolygonFacts* f) {
    PolygonWalk walk(polygons, point_count);
    Polygon p;
    Status st;
    while ((st = walk.Next(&p)) == 1) {
        f->min_vertices = f->count == 0 || p.count < f->min_vertices ? p.count : f->min_vertices;
        f->max_vertices = p.count > f->max_vertices ? p.count : f->max_vertices;
        ++f->count;
        // A negative surface number announces detail polygons, which the
        // LWOB walk reads as ordinary records.
        if (!layered && walk.records().surface() < 0) ++f->detail_markers;
    }
    const PolygonRecords& records = walk.records();
    if (!Failed(st) || records.fault() == RecordFault::kNone) return;
    f->fault = FaultOf(records.fault());
    f->fault_offset = static_cast<uint32_t>(records.record() - base);
    f->fault_value = records.fault_value();
    f->fault_points = layered ? walk.layers().layer_points() : point_count;
    f->fault_chunk = layered ? walk.layers().chunk().offset : 0;
    f->fault_layer = walk.layers().layer_number();
}

void GatherPlugInView(const ObjectBuffer& buffer, const ModelTurn& turn, ObjectReport* r) {
    ByteReader pnts;
    r->pnts_status = LocateChunk(buffer, "PNTS", &pnts);
    ObjectPoints points;
    if (!Failed(r->pnts_status) && !Failed(points.Find(buffer))) {
        GatherPoints(points, turn, &r->points);
        r->points.leftover_bytes = pnts.remaining() % kPointRecordSize;
    }
    ObjectPolygons polygons;
    r->pols_status = polygons.Find(buffer);
    if (!Failed(r->pnts_status) && !Failed(r->pols_status)) {
        GatherPolygons(polygons, buffer.data(), r->points.count, false, &r->polygons);
    }
}

bool TagIs(const char tag[4], const char* name) { return std::memcmp(tag, name, 4) == 0; }

int TypeOf(const uint8_t type[4]) {
    static const char* const kTags[] = {"FACE", "PTCH", "SUBD", "CURV", "BONE", "MBAL"};
    for (int k = 0; k < kOtherType; ++k) {
        if (std::memcmp(type, kTags[k], 4) == 0) return k;
    }
    return kOtherType;
}

// Every layer, hidden ones too, and every POLS chunk of every type, counted
// record by record as far as each is sound.
void CountLayers(const ObjectBuffer& buffer, ObjectForm form, LayeredFacts* f) {
    ChunkWalk chunks(buffer.data(), buffer.size());
    Chunk chunk;
    LayerFacts spare;  // the facts of layers beyond the listed ones
    LayerFacts* layer = nullptr;
    uint32_t layer_points = 0;
    uint32_t scratch[kMaxPolygonIndices];
    while (chunks.Next(&chunk) == 1) {
        const bool starts_layer = TagIs(chunk.tag, "LAYR");
        if (starts_layer || (!layer && (TagIs(chunk.tag, "PNTS") || TagIs(chunk.tag, "POLS")))) {
            layer = f->layer_count < kMaxListedLayers ? &f->layers[f->layer_count] : &spare;
            *layer = LayerFacts{};
            ++f->layer_count;
            layer_points = 0;
            layer->implicit = !starts_layer;
            LayerHeader h;
            if (starts_layer && DecodeLayer(chunk.data, form, &h)) {
                layer->number = h.number;
                layer->hidden = h.hidden;
                layer->has_parent = h.has_parent;
                layer->parent = h.parent;
                CopyPrintable(h.name, h.name_length, layer->name, sizeof layer->name);
            }
            if (starts_layer) continue;
        }
        if (TagIs(chunk.tag, "PNTS")) {
            layer_points = chunk.data.remaining() / kPointRecordSize;
            layer->points += layer_points;
            f->points += layer_points;
            continue;
        }
        if (!TagIs(chunk.tag, "POLS")) continue;
        ByteReader data = chunk.data;
        int type = kLwloRecord;
        if (form != ObjectForm::kLwlo) {
            const uint8_t* tag = data.position();
            if (!data.Skip(4)) {
                layer->damaged = true;
                continue;
            }
            type = TypeOf(tag);
        }
        PolygonRecords records(data, LayoutOf(form), 0, layer_points);
        uint16_t n;
        Status st;
        while ((st = records.Next(&n, scratch)) == 1) {
            ++layer->polygons[type];
            ++f->polygons[type];
        }
        if (Failed(st)) layer->damaged = true;
    }
}

void GatherLayered(const ObjectBuffer& buffer, const ModelTurn& turn, ObjectReport* r) {
    LayeredFacts& f = r->layered;
    CountLayers(buffer, r->object_form, &f);
    // The renderers' walk over the whole structure, as ObjectPoints::Find makes it.
    LayerWalk walk(buffer, r->object_form);
    LayerWalk::Kind kind;
    ByteReader data;
    while ((f.structure = walk.Next(&kind, &data)) == 1) {}
    f.drawn_points = walk.total_points();
    if (Failed(f.structure)) {
        f.fault = walk.fault();
        f.fault_layer = walk.layer_number();
        const Chunk& c = walk.chunk();
        std::memcpy(f.fault_chunk.tag, c.tag, 4);
        f.fault_chunk.offset = c.offset;
        if (uint64_t{c.offset} + 8 <= buffer.size()) {
            f.fault_chunk.length = ByteReader::LoadU32(buffer.data() + c.offset + 4);
        }
        f.fault_chunk.overruns = f.fault == LayerFault::kChunkOverrun;
        return;
    }
    ObjectPoints points;
    ObjectPolygons polygons;
    if (Failed(points.Find(buffer)) || Failed(polygons.Find(buffer))) return;
    GatherPoints(points, turn, &r->points);
    GatherPolygons(polygons, buffer.data(), points.count(), true, &r->polygons);
}

// Surface `s`'s colour layers and vertex colours, its images looked for in
// `source` (when given).
void GatherTextures(const ObjectSurfaces& surfaces, uint32_t s, const TextureSource* source, SurfaceList* list,
                    SurfaceFacts* f) {
    const SurfaceTextures& t = surfaces.textures(s);
    f->first_texture = list->texture_count;
    f->textures = t.count;
    f->skipped_textures = t.skipped;
    f->has_vertex_colours = t.vertex_colours.present;
    CopyPrintable(t.vertex_colours.map.bytes, t.vertex_colours.map.length, f->vertex_colours, sizeof f->vertex_colours);
    for (uint32_t k = 0; k < t.count && list->texture_count < kMaxListedTextures; ++k) {
        const TextureLayer& layer = surfaces.layer(s, k);
        TextureFacts& x = list->textures[list->texture_count++];
        ++f->listed_textures;
        x.projection = layer.projection;
        x.axis = layer.axis;
        x.enabled = layer.enabled;
        CopyPrintable(layer.uv_map.bytes, layer.uv_map.length, x.uv_map, sizeof x.uv_map);
        CopyPrintable(layer.image.bytes, layer.image.length, x.image, sizeof x.image);
        if (!source) continue;
        ImageBytes bytes;
        x.search = source->Find(layer.image.bytes, layer.image.length, &bytes) == status::kOk ? ImageSearch::kFound
                                                                                               : ImageSearch::kNotFound;
        const char* found = bytes.found();
        CopyPrintable(found, std::strlen(found), x.found,
                 sizeof x.found);
    }
}

// The surfaces of an object that draws, read as the shaded style reads them.
void GatherSurfaces(const ObjectBuffer& buffer, const TextureSource* source, ObjectReport* r) {
    ObjectModel model;
    if (Failed(ReadModel(buffer, kEveryForm, ModelParts::kWithSurfaces, &model)) || Failed(model.polygon_status)) {
        return;
    }
    const ObjectSurfaces& surfaces = model.surfaces;
    SurfaceList& list = r->surfaces;
    list.read = true;
    for (uint32_t s = 0; s < surfaces.surface_count(); ++s) {
        if (surfaces.polygons_using(s) == 0 && (s == 0 || !surfaces.described(s))) continue;
        if (list.count < kMaxListedSurfaces) {
            SurfaceFacts& f = list.surfaces[list.count];
            const SurfaceName name = surfaces.name(s);
            CopyPrintable(name.bytes, name.length, f.name, sizeof f.name);
            f.is_default = s == 0;
            f.described = surfaces.described(s);
            f.look = surfaces.look(s);
            f.polygons = surfaces.polygons_using(s);
            GatherTextures(surfaces, s, source, &list, &f);
        }
        ++list.count;
    }
}

void FindHit(const ObjectBuffer& buffer, const char tag[4], SearchHit* hit) {
    hit->offset = FindChunk(buffer, tag);
    if (hit->offset != kChunkNotFound && uint64_t{hit->offset} + 8 <= buffer.size()) {
        hit->stated_length = ByteReader::LoadU32(buffer.data() + hit->offset + 4);
    }
}
}  // namespace

bool IsLayered(const ObjectReport& r) { return r.known_form && r.object_form != ObjectForm::kLwob; }

const char* PolygonTypeName(int type) {
    static const char* const kNames[kTypeCount] = {"FACE", "PTCH", "SUBD",  "CURV",
                                                   "BONE", "MBAL", "other", "LWOB-style"};
    return type >= 0 && type < kTypeCount ? kNames[type] : "?";
}

bool IsDrawnType(int type) { return type == kFace || type == kPatch || type == kSubdivision || type == kLwloRecord; }

void ExamineObject(const ObjectBuffer& buffer, ObjectReport* report) { ExamineObject(buffer, ModelTurn(), report); }

void ExamineObject(const ObjectBuffer& buffer, const ModelTurn& turn, ObjectReport* report) {
    ExamineObject(buffer, turn, nullptr, report);
}

void ExamineObject(const ObjectBuffer& buffer, const ModelTurn& turn, const TextureSource* textures,
                   ObjectReport* report) {
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
    report->known_form = IdentifyForm(buffer, &report->object_form);
    if (report->form == status::kLwob) GatherPlugInView(buffer, turn, report);
    if (report->known_form && report->object_form != ObjectForm::kLwob) GatherLayered(buffer, turn, report);
    if (ExpectedDrawStatus(*report) == status::kOk) GatherSurfaces(buffer, textures, report);
}

Status ExpectedDrawStatus(const ObjectReport& r) {
    if (IsLayered(r)) {
        if (Failed(r.layered.structure)) return r.layered.structure;
        return r.polygons.fault == PolygonFault::kNone ? status::kOk : status::kCorrupt;
    }
    if (r.form != status::kLwob) return r.form;
    if (Failed(r.pnts_status)) return r.pnts_status;
    if (Failed(r.pols_status)) return r.pols_status;
    return r.polygons.fault == PolygonFault::kNone ? status::kOk : status::kCorrupt;
}

int32_t PlugInCode(const ObjectReport& r, int32_t forms_setting) {
    const bool accepted = r.known_form && (AcceptedForms(forms_setting) & FormBit(r.object_form)) != 0;
    if (!accepted) return MapToHostCode(r.form == status::kLwob ? status::kOtherForm : r.form);
    return MapToHostCode(ExpectedDrawStatus(r));
}
}  // namespace qavren::cli
