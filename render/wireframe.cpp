// DrawWireframe: every polygon as a closed outline of one-pixel white
// lines, in file order, over whatever the canvas already shows.
#include "object/geometry.h"
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

Status DrawWireframe(const ObjectBuffer& buffer, Surface& surface, int32_t width, int32_t height,
                     int32_t angle_x, int32_t angle_y, int32_t angle_z) {
    ProjectedPoints points;
    ObjectPolygons polygons;
    if (const Status s = PrepareModel(buffer, width, height, ModelTurn(angle_x, angle_y, angle_z), &points, &polygons); s != status::kOk) return s;

    surface.SelectPen(kWhitePen);  // stays selected: the caller expects it
    PolygonWalk walk(polygons, points.count());
    Polygon polygon;
    Status s;
    while ((s = walk.Next(&polygon)) == 1) DrawOutline(surface, points, polygon);
    return s;  // 0 when the records are used up exactly; -5 leaves what was drawn
}

}  // namespace qavren
