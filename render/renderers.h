// The two renderers: the white wireframe (mode 0) and the flat-shaded,
// depth-sorted triangles. Both draw a model (object/model.h) onto a surface that
// already holds the background and grid, or, for the triangles, onto one
// set to draw nearest first whose backdrop comes after them (Surface::
// DrawNearestFirst): the same pixels either way. Both draw any of the four
// forms the same way; which forms a caller accepts is its own check. The
// three angles turn the model before it is fitted (render/view.h); all
// zero (or multiples of 360) give the front view, the points as stored.
// Whether the angles are used at all is the caller's choice (View).
#pragma once

#include <cstdint>

#include "object/model.h"
#include "platform/status.h"
#include "render/parallel.h"
#include "render/surface.h"
#include "render/view.h"

namespace qavren {

// status::kOk; status::kNoMemory; or the model's polygon_status after the
// outlines of the polygons before the bad record are drawn. The surface
// keeps the white pen.
Status DrawWireframe(const ObjectModel& model, Surface& surface, int32_t width, int32_t height,
                     const ModelTurn& turn);

// status::kOk; status::kNoMemory, or the model's polygon_status, before
// anything is drawn. The surface's pen and brush are as they were on entry.
// The sort and the painting run on the threads `drawing` allows.
Status DrawPolygons(const ObjectModel& model, Surface& surface, int32_t width, int32_t height,
                    const ModelTurn& turn, const DrawingOptions& drawing = {});

}  // namespace qavren
