// ProjectPoints: one pass over the points for the model's x-y extent, one
// to map every point into canvas pixels.
//
// Precision: all arithmetic below is double. The quantities that are floats
// (bounds, xr, cx, cy, sx, the scale used for X, stored X and Y) are rounded
// to float exactly where a static_cast<float> says so, and only there.
//
// Coordinates that are not finite: a NaN is skipped by the bounds and makes
// its point's X or Y NaN, which the surface puts far off the top-left corner,
// so lines and triangles towards it run off the canvas. An infinite x or y,
// or x values spanning more than a float holds (yr is a double), make that
// range infinite and then every point's X (through the depth factor) or Y
// NaN: the whole model collapses onto one off-canvas point and nothing is
// drawn. An infinite z only clamps its point's depth factor. Nothing is
// converted to an integer here.
#include "render/projection.h"

#include <cstddef>

#include "render/view.h"

namespace qavren {
namespace {

static_assert(sizeof(ProjectedPoint) == sizeof(ModelPoint), "one projected point a model point");

constexpr float kTinyRange = 0.000001f;    // stands in for a range of 0
constexpr double kMinDepthFactor = 0.000001;

// The model's x-y extent. It starts at ±10000, not at the float limits, and
// the comparisons are strict: a model lying wholly beyond ±10000 keeps a
// starting value as one bound and is fitted off-centre.
struct Bounds {
    float min_x = 10000.0f, max_x = -10000.0f;
    float min_y = 10000.0f, max_y = -10000.0f;

    void Add(float x, float y) {
        if (x > max_x) max_x = x;
        if (x < min_x) min_x = x;
        if (y > max_y) max_y = y;
        if (y < min_y) min_y = y;
    }
};

// What the mapping pass needs. scale_x is the chosen scale rounded to float;
// scale_y is sy unrounded when sy is chosen, else that same float.
struct Mapping {
    double hw, hh;
    float cx, cy;
    float xr;
    float scale_x;
    double scale_y;

    ProjectedPoint Map(const ProjectedPoint& p) const {
        double d = (double{xr} - double{p.z} * 0.5) / xr;
        if (d < kMinDepthFactor) {
            d = kMinDepthFactor;
        } else if (d > 1.0) {
            d = 1.0;
        }
        const double x = hw + d * ((double{p.x} - cx) * scale_x);
        const double y = hh - d * (scale_y * (double{p.y} - cy));
        return {static_cast<float>(x), static_cast<float>(y), p.z};
    }
};

// Kept out of line: inlined into ProjectPoints, GCC 12's basic-block
// vectoriser has been seen to carry cy into the mapping unrounded (the
// laserbeam object of the corpus then lands 0.0016 px off on every row),
// and the golden pictures hold the rounded value on every build.
[[gnu::noinline]] Mapping MakeMapping(const Bounds& b, int32_t width, int32_t height) {
    Mapping m{};
    m.xr = static_cast<float>(double{b.max_x} - b.min_x);
    if (m.xr == 0.0f) m.xr = kTinyRange;
    double yr = double{b.max_y} - b.min_y;
    if (yr == 0.0) yr = kTinyRange;
    m.cx = static_cast<float>((double{b.max_x} + b.min_x) * 0.5);
    m.cy = static_cast<float>((double{b.max_y} + b.min_y) * 0.5);
    m.hw = width / 2;  // integer halves, truncated toward zero
    m.hh = height / 2;
    const float sx = static_cast<float>(static_cast<double>(width) / m.xr);
    const double sy = static_cast<double>(height) / yr;
    if (sx > sy) {
        m.scale_x = static_cast<float>(sy);
        m.scale_y = sy;
    } else {
        m.scale_x = sx;
        m.scale_y = sx;
    }
    return m;
}

// Every point of the model, in order, turned when the view asks for it (the
// front view's loop has no turn in it at all), and the bounds of the turned
// points.
template <bool kTurned>
Bounds TurnPoints(const ObjectModel& model, const ModelTurn& turn, ProjectedPoint* p) {
    Bounds bounds;
    for (const ModelPoint& m : model.points) {
        *p = {m.x, m.y, m.z};
        if constexpr (kTurned) turn.Apply(&p->x, &p->y, &p->z);
        bounds.Add(p->x, p->y);
        ++p;
    }
    return bounds;
}

}  // namespace

Status ProjectPoints(const ObjectModel& model, int32_t width, int32_t height, const ModelTurn& turn,
                     ProjectedPoints* out) {
    if (const Status s = out->points_.Allocate(model.point_count()); Failed(s)) return s;
    ProjectedPoint* points = out->points_.data();
    const Bounds bounds = turn.identity() ? TurnPoints<false>(model, turn, points)
                                          : TurnPoints<true>(model, turn, points);
    const Mapping mapping = MakeMapping(bounds, width, height);
    for (uint32_t k = 0; k < model.point_count(); ++k) points[k] = mapping.Map(points[k]);
    return status::kOk;
}

}  // namespace qavren
