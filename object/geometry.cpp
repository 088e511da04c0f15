// Finding the points and walking the polygons of any of the four forms.
#include "object/geometry.h"

namespace qavren {

Status ObjectPoints::Find(const ObjectBuffer& buffer) {
    buffer_ = &buffer;
    count_ = 0;
    if (!IdentifyForm(buffer, &form_)) return status::kCorrupt;
    if (form_ == ObjectForm::kLwob) {
        if (const Status s = LocateChunk(buffer, "PNTS", &lwob_pnts_); Failed(s)) return s;
        count_ = PointList(lwob_pnts_).count();
        return status::kOk;
    }
    // The whole structure is proven here, before any point is decoded.
    LayerWalk walk(buffer, form_);
    LayerWalk::Kind kind;
    ByteReader data;
    Status s;
    while ((s = walk.Next(&kind, &data)) == 1) {}
    if (Failed(s)) return s;
    count_ = walk.total_points();
    return status::kOk;
}

PointRuns::PointRuns(const ObjectPoints& points) : points_(points) {
    if (points.form_ != ObjectForm::kLwob) layers_ = LayerWalk(*points.buffer_, points.form_);
}

bool PointRuns::Next(PointList* run) {
    if (points_.form_ == ObjectForm::kLwob) {
        if (lwob_done_) return false;
        lwob_done_ = true;
        *run = PointList(points_.lwob_pnts_);
        return true;
    }
    LayerWalk::Kind kind;
    ByteReader data;
    while (layers_.Next(&kind, &data) == 1) {
        if (kind != LayerWalk::Kind::kPoints) continue;
        *run = PointList(data);
        return true;
    }
    return false;
}

Status ObjectPolygons::Find(const ObjectBuffer& buffer) {
    layered_ = nullptr;
    if (!IdentifyForm(buffer, &form_)) return status::kCorrupt;
    if (form_ == ObjectForm::kLwob) return LocateChunk(buffer, "POLS", &lwob_pols_);
    layered_ = &buffer;
    return status::kOk;
}

PolygonWalk::PolygonWalk(const ObjectPolygons& polygons, uint32_t point_count)
    : layered_(polygons.layered_ != nullptr) {
    if (layered_) {
        layers_ = LayerWalk(*polygons.layered_, polygons.form_);
    } else {
        records_ = PolygonRecords(polygons.lwob_pols_, RecordLayout::kLwob, 0, point_count);
    }
}

Status PolygonWalk::NextChunk(Polygon* polygon) {
    for (;;) {
        LayerWalk::Kind kind;
        ByteReader data;
        Status next;
        while ((next = layers_.Next(&kind, &data)) == 1 && kind != LayerWalk::Kind::kPolygons) {}
        if (next != 1) return next;
        records_ = PolygonRecords(data, layers_.layout(), layers_.first_point(), layers_.layer_points());
        const Status s = records_.Next(&polygon->count, indices_);
        if (s != 0) return s;  // a record, or a fault; an empty chunk goes on to the next
    }
}

}  // namespace qavren
