// The polygon renderer's three passes over its triangle records, declared
// apart so that the benchmarks time exactly the code the renderer runs.
#pragma once

#include <cstdint>

#include "object/model_polygons.h"
#include "platform/status.h"
#include "render/depth_sort.h"
#include "render/parallel.h"
#include "render/projection.h"
#include "render/surface.h"

namespace qavren {

// The triangles of every polygon's fan added up: n - 2 for n >= 3, one for
// n = 1 or 2.
uint64_t CountTriangles(const ModelPolygons& polygons);

// Writes the fans of every polygon, in file order, with their depths; `out`
// holds CountTriangles(polygons) records.
void FillTriangles(const ModelPolygons& polygons, const ProjectedPoints& points, Triangle* out);

// Paints records count - 1 down to 0 (deepest first once sorted): white
// when the corners turn clockwise on the canvas, grey otherwise, outlined
// with the surface's pen. The surface's brush is as it was on entry. On a
// surface with a coverage the same pixels come out of records 0 up to
// count - 1, nearest first, each written once, and painting stops as soon
// as the canvas is full. Where the work pays for them, up to `threads`
// threads paint bands of rows at once (the backdrop too, when it is still
// to draw), each band the pixels the whole would have there. *report, when
// given, gets the bands and the threads that painted them.
void PaintTriangles(Surface& surface, const ProjectedPoints& points, const Triangle* records, uint32_t count,
                    int32_t threads = 1, DrawReport* report = nullptr);

}  // namespace qavren
