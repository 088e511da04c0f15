// The points and polygons of an object of any of the four forms, as the
// renderers draw them: for LWOB its PNTS and POLS chunks, found by the chunk
// search; for LWLO, LWO2 and LWO3 the PNTS and POLS chunks of every layer
// that is drawn, in file order, the layers' points concatenated. Point
// numbers handed out are numbers into those concatenated points, 32 bits
// wide, and proven smaller than their layer's point count.
#pragma once

#include <cstdint>

#include "object/forms.h"
#include "object/layers.h"
#include "object/lwob.h"
#include "object/object_buffer.h"
#include "object/polygon_records.h"
#include "platform/byte_reader.h"
#include "platform/status.h"

namespace qavren {

// Where an object's points are, and how many there are.
class ObjectPoints {
public:
    // 0; or -5: no data of the four forms, an LWOB object without a PNTS
    // chunk (or one whose length runs past the buffer), a layered object
    // whose chunks fail the layer walk anywhere.
    Status Find(const ObjectBuffer& buffer);
    uint32_t count() const { return count_; }

private:
    friend class PointRuns;
    const ObjectBuffer* buffer_ = nullptr;
    ObjectForm form_ = ObjectForm::kLwob;
    ByteReader lwob_pnts_;
    uint32_t count_ = 0;
};

// The point records in order, a PNTS chunk at a time.
class PointRuns {
public:
    explicit PointRuns(const ObjectPoints& points);
    // True with the next chunk's points; false after the last.
    bool Next(PointList* run);

private:
    const ObjectPoints& points_;
    LayerWalk layers_;
    bool lwob_done_ = false;
};

// Where an object's polygon records are.
class ObjectPolygons {
public:
    ObjectPolygons() = default;
    // An LWOB POLS chunk's data.
    explicit ObjectPolygons(const ByteReader& lwob_pols) : lwob_pols_(lwob_pols) {}
    // 0; -5 for an LWOB object without a POLS chunk (or one whose length
    // runs past the buffer). A layered object's POLS chunks are found by
    // the polygon walk, which reports their faults.
    Status Find(const ObjectBuffer& buffer);

private:
    friend class PolygonWalk;
    const ObjectBuffer* layered_ = nullptr;  // null for LWOB
    ObjectForm form_ = ObjectForm::kLwob;
    ByteReader lwob_pols_;
};

// One polygon: its vertex count and point numbers.
struct Polygon {
    uint16_t count = 0;
    const uint32_t* indices = nullptr;
    uint32_t Index(uint32_t k) const { return indices[k]; }
};

// Visits every drawn polygon in file order. The point numbers of the
// polygon handed out stay valid until the next call.
class PolygonWalk {
public:
    // `point_count` bounds the point numbers of an LWOB object; a layered
    // object's are bounded by their own layer's points.
    PolygonWalk(const ObjectPolygons& polygons, uint32_t point_count);
    PolygonWalk(const PolygonWalk&) = delete;
    PolygonWalk& operator=(const PolygonWalk&) = delete;

    // 1 with the next polygon, 0 when every record is used up exactly, -5
    // for a bad record or a broken layer; records() and layers() then say
    // what was wrong where.
    Status Next(Polygon* polygon) {
        const Status s = records_.Next(&polygon->count, indices_);
        polygon->indices = indices_;
        return s == 0 && layered_ ? NextChunk(polygon) : s;
    }

    const PolygonRecords& records() const { return records_; }
    const LayerWalk& layers() const { return layers_; }

private:
    // On to the next drawn POLS chunk, and its first record.
    Status NextChunk(Polygon* polygon);

    bool layered_;
    LayerWalk layers_;
    PolygonRecords records_;
    uint32_t indices_[kMaxPolygonIndices];
};

}  // namespace qavren
