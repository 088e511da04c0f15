// ProjectPoints: takes the model's points (of any of the four forms),
// turns them as the view asks (render/view.h), finds the model's x-y extent
// and maps every point into canvas pixels, centred and fitted, with points
// further along +z drawn closer to the centre.
#pragma once

#include <cstdint>

#include "object/model.h"
#include "platform/owned_array.h"
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

// The projected points of one renderer call, one a model point.
class ProjectedPoints {
public:
    uint32_t count() const { return static_cast<uint32_t>(points_.size()); }
    const ProjectedPoint& operator[](uint32_t k) const { return points_[k]; }

private:
    friend Status ProjectPoints(const ObjectModel&, int32_t, int32_t, const ModelTurn&, ProjectedPoints*);
    OwnedArray<ProjectedPoint> points_;
};

// The canvas pixel of a projected point, each coordinate truncated toward
// zero (saturating, as ToCoordinate says).
inline Point CanvasPoint(const ProjectedPoint& p) { return {ToCoordinate(p.x), ToCoordinate(p.y)}; }

// status::kOk, or status::kNoMemory when the block cannot be had. Each
// point is turned first (not at all for the identity), and everything after
// works on the turned points: bounds, fit, depth factor, z.
Status ProjectPoints(const ObjectModel& model, int32_t width, int32_t height, const ModelTurn& turn,
                     ProjectedPoints* out);

}  // namespace qavren
