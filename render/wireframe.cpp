// DrawWireframe: every polygon as a closed outline of one-pixel white
// lines, in file order, over whatever the canvas already shows.
#include "render/projection.h"
#include "render/renderers.h"

namespace qavren {
namespace {

// A one-vertex record draws nothing; a two-vertex one draws its segment twice.
void DrawOutline(Surface& surface, const ProjectedPoints& points, const Polygon& polygon) {
    const Point first = CanvasPoint(points[polygon.Index(0)]);
    surface.MoveTo(first.x, first.y);
    for (uint16_t k = 1; k < polygon.count; ++k) {
        const Point p = CanvasPoint(points[polygon.Index(k)]);
        surface.LineTo(p.x, p.y);
    }
    surface.LineTo(first.x, first.y);
}

}  // namespace

Status DrawWireframe(const ObjectModel& model, Surface& surface, int32_t width, int32_t height,
                     const ModelTurn& turn) {
    ProjectedPoints points;
    if (const Status s = ProjectPoints(model, width, height, turn, &points); Failed(s)) return s;
    surface.SelectPen(kWhitePen);  // stays selected: the caller expects it
    for (uint32_t k = 0; k < model.polygons.count; ++k) DrawOutline(surface, points, model.polygons[k]);
    return model.polygon_status;  // a bad record leaves what was drawn before it
}

}  // namespace qavren
