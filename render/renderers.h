// The two renderers: the white wireframe (mode 0) and the flat-shaded,
// depth-sorted triangles (every other mode). Both draw onto a surface that
// already holds the background and grid, or, for the triangles, onto one
// set to draw nearest first whose backdrop comes after them (Surface::
// DrawNearestFirst): the same pixels either way. Both draw any of the four
// forms the same way; which forms a caller accepts is its own check. The
// three angles turn the model before it is fitted (render/view.h); all
// zero (or multiples of 360) give the front view, the points as stored.
// Whether the angles are used at all is the caller's choice (View).
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "render/parallel.h"
#include "render/surface.h"

namespace qavren {

// kOk on success; kNoMemory or kCorrupt on failure; CheckForm's result unchanged for data
// of none of the four forms. Once the polygons are found the surface keeps
// the white pen.
Status DrawWireframe(const ObjectBuffer& buffer, Surface& surface, int32_t width, int32_t height, int32_t angle_x,
                     int32_t angle_y, int32_t angle_z);

// kOk on success; kNoMemory or kCorrupt on failure (a bad record anywhere is found before
// anything is drawn); CheckForm's result unchanged for data of none of the
// four forms. The surface's pen and brush are as they were on entry. The
// sort and the painting run on the threads `drawing` allows.
Status DrawPolygons(const ObjectBuffer& buffer, Surface& surface, int32_t width, int32_t height, int32_t angle_x,
                    int32_t angle_y, int32_t angle_z, const DrawingOptions& drawing);

}  // namespace qavren
