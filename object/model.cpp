// Reading an object into its model: the points in one pass, the polygons in
// two (one to prove and count the records, one to copy them into blocks of
// the counted size), then the surfaces.
#include "object/model.h"

#include "object/layers.h"

namespace qavren {
namespace {

Status ReadPoints(const ObjectPoints& source, OwnedArray<ModelPoint>* points) {
    if (const Status s = points->Allocate(source.count()); Failed(s)) return s;
    ModelPoint* p = points->data();
    PointRuns runs(source);
    for (PointList run; runs.Next(&run);) {
        for (uint32_t k = 0; k < run.count(); ++k, ++p) run.Get(k, &p->x, &p->y, &p->z);
    }
    return status::kOk;
}

// The records up to the end or the first fault: how many polygons and point
// numbers, and the walk's last Status (0 or -5).
Status CountPolygons(const ObjectPolygons& list, uint32_t point_count, uint32_t* polygons, uint64_t* indices) {
    PolygonWalk walk(list, point_count);
    Polygon polygon;
    Status s;
    *polygons = 0;
    *indices = 0;
    while ((s = walk.Next(&polygon)) == 1) {
        if (*polygons == UINT32_MAX - 1) return status::kNoMemory;  // cannot be numbered
        ++*polygons;
        *indices += polygon.count;
    }
    return s;
}

// A polygon from the POLS chunk at `offset`, counted in the chunks' list
// (a new entry for each new chunk; the list grows by doubling).
Status AddToChunk(uint32_t offset, ModelPolygons* out) {
    if (out->chunk_count == 0 || out->chunks[out->chunk_count - 1].offset != offset) {
        const size_t size = out->chunks.size();
        if (out->chunk_count == size && Failed(out->chunks.Resize(size ? 2 * uint64_t{size} : 4))) {
            return status::kNoMemory;
        }
        out->chunks[out->chunk_count++] = {offset, 0};
    }
    ++out->chunks[out->chunk_count - 1].count;
    return status::kOk;
}

// The polygons counted, then copied; for the surfaces also each record's
// surface word (LWOB, LWLO) or the POLS chunks the polygons came from.
Status ReadPolygons(const ObjectPolygons& list, uint32_t point_count, bool for_surfaces, ObjectModel* model) {
    uint32_t count = 0;
    uint64_t index_count = 0;
    const Status walked = CountPolygons(list, point_count, &count, &index_count);
    if (walked == status::kNoMemory) return walked;
    ModelPolygons& out = model->polygons;
    const bool tagged = model->form == ObjectForm::kLwo2 || model->form == ObjectForm::kLwo3;
    const bool words = for_surfaces && !tagged, chunks_wanted = for_surfaces && tagged;
    if (index_count > UINT32_MAX) return status::kNoMemory;  // starts are 32-bit
    if (const Status s = out.starts.Allocate(uint64_t{count} + 1); Failed(s)) return s;
    if (const Status s = out.indices.Allocate(index_count); Failed(s)) return s;
    if (words) {
        if (const Status s = out.surface_words.Allocate(count); Failed(s)) return s;
    }
    PolygonWalk walk(list, point_count);
    Polygon polygon;
    uint32_t at = 0;
    for (uint32_t k = 0; k < count && walk.Next(&polygon) == 1; ++k) {
        out.starts[k] = at;
        for (uint16_t c = 0; c < polygon.count; ++c) out.indices[at++] = polygon.indices[c];
        if (words) out.surface_words[k] = walk.records().surface();
        if (chunks_wanted && Failed(AddToChunk(walk.layers().chunk().offset, &out))) return status::kNoMemory;
    }
    out.starts[count] = at;
    out.count = count;
    model->polygon_status = walked;
    return status::kOk;
}

}  // namespace

Status ReadModelPoints(const ObjectBuffer& buffer, ObjectModel* model) {
    ObjectPoints source;
    if (const Status s = source.Find(buffer); Failed(s)) return s;
    IdentifyForm(buffer, &model->form);
    return ReadPoints(source, &model->points);
}

Status ReadModel(const ObjectBuffer& buffer, FormSet accepted, ModelParts parts, ObjectModel* model) {
    const Status form = CheckForm(buffer, accepted);
    if (form != status::kDrawnForm) return form;
    if (const Status s = ReadModelPoints(buffer, model); Failed(s)) return s;
    ObjectPolygons list;
    if (const Status s = list.Find(buffer); Failed(s)) return s;
    const bool surfaces = parts == ModelParts::kWithSurfaces;
    if (const Status s = ReadPolygons(list, model->point_count(), surfaces, model); Failed(s)) return s;
    if (surfaces && model->polygon_status == status::kOk) {
        return model->surfaces.Read(buffer, model->form, model->polygons);
    }
    return status::kOk;
}

}  // namespace qavren
