// ProjectPoints: decodes the object's points (of any of the four forms),
// turns them as the view asks (render/view.h), finds the model's x-y extent
// and maps every point into canvas pixels, centred and fitted, with points
// further along +z drawn closer to the centre.
#pragma once

#include <cstdint>

#include "object/geometry.h"
#include "object/object_buffer.h"
#include "platform/status.h"
#include "render/surface.h"
#include "render/view.h"

namespace qavren {

// One entry a point: canvas X and Y (y down) and the model's own z.
struct ProjectedPoint {
    float x;
    float y;
    float z;
};

// The projected points of one renderer call, in a fixed zero-initialised
// block that is freed on destruction.
class ProjectedPoints {
public:
    ProjectedPoints() = default;
    ProjectedPoints(const ProjectedPoints&) = delete;
    ProjectedPoints& operator=(const ProjectedPoints&) = delete;
    ~ProjectedPoints();

    uint32_t count() const { return count_; }
    const ProjectedPoint& operator[](uint32_t k) const { return points_[k]; }

private:
    friend Status ProjectPoints(const ObjectBuffer&, int32_t, int32_t, const ModelTurn&, ProjectedPoints*);
    ProjectedPoint* points_ = nullptr;
    uint32_t count_ = 0;
};

// The canvas pixel of a projected point, each coordinate truncated toward
// zero (saturating, as ToCoordinate says).
inline Point CanvasPoint(const ProjectedPoint& p) { return {ToCoordinate(p.x), ToCoordinate(p.y)}; }

// -5 without points to find (ObjectPoints::Find: an LWOB object without a
// PNTS chunk, a layered one whose chunks are broken), -4 when the block
// cannot be allocated; 0 otherwise. Each point is turned first (not at all
// for the identity), and everything after works on the turned points:
// bounds, fit, depth factor, z.
Status ProjectPoints(const ObjectBuffer& buffer, int32_t width, int32_t height, const ModelTurn& turn,
                     ProjectedPoints* out);
// The front view.
Status ProjectPoints(const ObjectBuffer& buffer, int32_t width, int32_t height, ProjectedPoints* out);

// The start both renderers share: the form check (any of the four forms is
// drawn; other data gets CheckForm's result unchanged), the projected
// points and the polygons. 0 when the model is ready to draw, else the
// Status that ends the renderer.
Status PrepareModel(const ObjectBuffer& buffer, int32_t width, int32_t height, const ModelTurn& turn,
                    ProjectedPoints* points, ObjectPolygons* polygons);

}  // namespace qavren
