// The object's model: the one reading of an object's bytes that every
// renderer and shell draws from. ReadModel checks the form, copies the drawn
// points (x, y, z, the drawn layers' points concatenated in file order) and
// the drawn polygons out of the buffer once, and reads the surfaces when
// asked; nothing after it walks the bytes again. The reading rules are
// those of the readers it uses (lwob.h's chunk search for LWOB, the layer
// walk for the layered forms, PolygonRecords for every record), so that
// every object reads as it always has. Surface and texture names point into
// the buffer: the model lives no longer than the buffer it was read from.
#pragma once

#include <cstdint>

#include "object/forms.h"
#include "object/model_polygons.h"
#include "object/object_buffer.h"
#include "object/surfaces.h"
#include "platform/owned_array.h"
#include "platform/status.h"

namespace qavren {

struct ModelPoint {
    float x, y, z;
};

struct ObjectModel {
    ObjectForm form = ObjectForm::kLwob;
    OwnedArray<ModelPoint> points;
    ModelPolygons polygons;
    // status::kOk when every polygon record was read; status::kCorrupt when
    // a bad record (or a broken layer) ended the walk: `polygons` then holds
    // those before it, which the wireframe draws before it fails.
    Status polygon_status = status::kOk;
    ObjectSurfaces surfaces;  // read only when asked, and only for sound polygons

    uint32_t point_count() const { return static_cast<uint32_t>(points.size()); }
};

// What ReadModel reads beyond the points and polygons.
enum class ModelParts : uint8_t { kGeometry, kWithSurfaces };

// status::kOk with the model read; CheckForm(buffer, accepted)'s result for
// data of no accepted form; status::kCorrupt for an LWOB object without a
// PNTS or POLS chunk (or one whose length runs past the buffer), or a
// layered one whose chunks fail the layer walk; status::kNoMemory. A bad
// polygon record is no failure here: see polygon_status.
Status ReadModel(const ObjectBuffer& buffer, FormSet accepted, ModelParts parts, ObjectModel* model);

// ReadModel's first step alone, for any of the four forms: the points, with
// no polygons (an object without a POLS chunk reads here).
Status ReadModelPoints(const ObjectBuffer& buffer, ObjectModel* model);

}  // namespace qavren
