// DrawPolygons: fans every polygon into triangles, sorts them by depth
// and paints them deepest first, white when their corners turn clockwise on
// the canvas and grey otherwise, outlined with the surface's current pen;
// or, where they overlap enough and the surface has a coverage, nearest
// first into the pixels not yet written, to the same picture.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "platform/owned_array.h"
#include "render/coverage.h"
#include "render/depth_sort.h"
#include "render/parallel.h"
#include "render/projection.h"
#include "render/renderers.h"
#include "render/triangle_passes.h"

namespace qavren {
namespace {

// Not an exact third: the float nearest it, widened to double.
constexpr float kThird = 0.33333334f;
static_assert(__builtin_bit_cast(uint32_t, kThird) == 0x3EAAAAABu, "the depth factor is float 0x3EAAAAAB");

constexpr Brush kFrontBrush{Rgb(255, 255, 255)};
constexpr Brush kBackBrush{Rgb(128, 128, 128)};

// The block's byte size must fit 32 bits (size_t in the DLL; the same limit
// natively, so both builds refuse the same files), which also keeps T - 1
// within the sort's int32 indices.
constexpr uint64_t kMaxTriangles = UINT32_MAX / sizeof(Triangle);

uint32_t TrianglesOf(const Polygon& polygon) { return polygon.count >= 3 ? polygon.count - 2u : 1u; }

// Sums and product in double; the depth is rounded to float when stored.
float MeanDepth(double z_sum) { return static_cast<float>(z_sum * double{kThird}); }

// n = 1: (p0, p0, p0); n = 2: (p0, p0, p1); n >= 3: (p0, pk, pk+1).
Triangle* AddFan(const ProjectedPoints& points, const Polygon& polygon, Triangle* out) {
    const uint32_t p0 = polygon.Index(0);
    const double z0 = points[p0].z;
    if (polygon.count == 1) {
        *out = {{p0, p0, p0}, points[p0].z};
        return out + 1;
    }
    if (polygon.count == 2) {
        const uint32_t p1 = polygon.Index(1);
        *out = {{p0, p0, p1}, MeanDepth(z0 + z0 + points[p1].z)};
        return out + 1;
    }
    for (uint32_t k = 1; k + 1 < polygon.count; ++k, ++out) {
        const uint32_t a = polygon.Index(k), b = polygon.Index(k + 1);
        *out = {{p0, a, b}, MeanDepth(double{points[a].z} + points[b].z + z0)};
    }
    return out;
}

// facing > 0: clockwise on the canvas (y runs down). 0 and NaN count as back.
void PaintTriangle(Surface& surface, const ProjectedPoints& points, const Triangle& t) {
    const ProjectedPoint& a = points[t.corner[0]];
    const ProjectedPoint& b = points[t.corner[1]];
    const ProjectedPoint& c = points[t.corner[2]];
    const double facing = (double{b.x} - a.x) * (double{c.y} - a.y) - (double{c.x} - a.x) * (double{b.y} - a.y);
    const Brush previous = surface.SelectBrush(facing > 0.0 ? kFrontBrush : kBackBrush);
    surface.Triangle(CanvasPoint(a), CanvasPoint(b), CanvasPoint(c));
    surface.SelectBrush(previous);
}

// Nearest first costs a look at the coverage for every band, row and pixel a
// triangle reaches, and saves writing the pixels that nearer ones hide. On
// the benchmark objects it pays once the triangles' areas add up to about
// eight canvases and more (docs/PERFORMANCE.md); below that the painter's
// order is up to three times faster. The sum is taken over every 16th
// triangle, each counted as at most the canvas.
constexpr uint32_t kSampleStep = 16;
constexpr double kCanvasesCovered = 8.0;

bool OverlapPays(const Surface& surface, const ProjectedPoints& points, const Triangle* records, uint32_t count) {
    const double canvas = static_cast<double>(surface.width()) * surface.height();
    double area = 0.0;
    for (uint32_t k = 0; k < count; k += kSampleStep) {
        const ProjectedPoint& a = points[records[k].corner[0]];
        const ProjectedPoint& b = points[records[k].corner[1]];
        const ProjectedPoint& c = points[records[k].corner[2]];
        const double twice = (double{b.x} - a.x) * (double{c.y} - a.y) - (double{c.x} - a.x) * (double{b.y} - a.y);
        const double own = std::fabs(twice) / 2;
        if (own > 0.0) area += std::min(own, canvas);  // NaN adds nothing
    }
    return area * kSampleStep > kCanvasesCovered * canvas;
}

// Whether a record's corners all lie above or all below the surface's rows,
// so that it draws nothing there: told from the projected y in double,
// with a row to spare, since a corner's canvas row is its y truncated
// toward zero (or saturated), within one row of it. NaN is never set aside.
class RowFilter {
public:
    explicit RowFilter(const Surface& surface) : above_(surface.top() - 1.0), below_(surface.bottom() + 1.0) {}
    bool Misses(const ProjectedPoints& points, const Triangle& t) const {
        const double a = points[t.corner[0]].y, b = points[t.corner[1]].y, c = points[t.corner[2]].y;
        return (a < above_ && b < above_ && c < above_) || (a > below_ && b > below_ && c > below_);
    }

private:
    double above_, below_;
};

// Nearest first with a coverage: each pixel keeps what the first triangle to
// reach it writes, which the painter's order would have written last. A
// band of rows first sets aside the records that lie beside it.
void PaintRecords(Surface& surface, const ProjectedPoints& points, const Triangle* records, uint32_t count,
                  bool band) {
    const RowFilter rows(surface);
    if (const Coverage* coverage = surface.coverage()) {
        for (uint32_t k = 0; k < count && !coverage->Full(); ++k) {
            if (!band || !rows.Misses(points, records[k])) PaintTriangle(surface, points, records[k]);
        }
        return;
    }
    for (uint32_t k = count; k-- > 0;) {
        if (!band || !rows.Misses(points, records[k])) PaintTriangle(surface, points, records[k]);
    }
}

// Bands of rows are painted apart, each by one thread going through every
// record (a record outside the band's rows costs its three corners and a
// comparison). Threads start only where the work clearly exceeds their
// start-up: a record is worth one unit, 64 canvas pixels one more (the
// backdrop, the coverage), and each thread needs kWorkPerThread units.
// Twice as many bands as threads let a free thread take over where the
// model is dense. Band edges fall on the coverage's bands of eight rows.
constexpr uint64_t kWorkPerThread = 8192;
constexpr int32_t kBandsPerThread = 2;

int32_t BandsFor(const Surface& surface, uint32_t count, int32_t threads) {
    if (threads <= 1) return 1;
    const uint64_t pixels = static_cast<uint64_t>(surface.width()) * static_cast<uint64_t>(surface.height());
    const uint64_t work = count + pixels / 64;
    const uint64_t useful = std::min<uint64_t>(static_cast<uint64_t>(threads), work / kWorkPerThread);
    if (useful <= 1) return 1;
    const int32_t rows = surface.bottom() - surface.top() + 1;
    const int32_t most = (rows + (1 << Coverage::kBandShift) - 1) >> Coverage::kBandShift;
    return std::min(static_cast<int32_t>(useful) * kBandsPerThread, most);
}

int32_t PaintInBands(Surface& surface, const ProjectedPoints& points, const Triangle* records, uint32_t count,
                     bool nearest, int32_t bands, int32_t threads) {
    constexpr int32_t kRowGroup = 1 << Coverage::kBandShift;
    const int32_t top = surface.top(), rows = surface.bottom() - top + 1;
    const int32_t groups = (rows + kRowGroup - 1) / kRowGroup;
    const Coverage* whole = nearest ? surface.coverage() : nullptr;
    auto band = [&](int32_t k, int32_t /*worker*/) {
        // Groups of eight rows shared out as evenly as they go.
        const int32_t first = top + kRowGroup * static_cast<int32_t>(int64_t{groups} * k / bands);
        const int32_t end = top + kRowGroup * static_cast<int32_t>(int64_t{groups} * (k + 1) / bands);
        const int32_t last = std::min(end, top + rows) - 1;
        Coverage view;
        if (whole) view.ViewRows(*whole, first, last);
        Surface part = surface.Rows(first, last, whole ? &view : nullptr);
        if (!whole) part.PaintInOrder();  // the backdrop first, if still to draw
        PaintRecords(part, points, records, count, true);
        part.FinishBackdrop();
    };
    const int32_t ran = RunPieces(bands, threads, band);
    surface.BackdropDrawnInRows();
    return ran;
}

}  // namespace

uint64_t CountTriangles(const ModelPolygons& polygons) {
    uint64_t total = 0;
    for (uint32_t k = 0; k < polygons.count; ++k) total += TrianglesOf(polygons[k]);
    return total;
}

void FillTriangles(const ModelPolygons& polygons, const ProjectedPoints& points, Triangle* out) {
    for (uint32_t k = 0; k < polygons.count; ++k) out = AddFan(points, polygons[k], out);
}

void PaintTriangles(Surface& surface, const ProjectedPoints& points, const Triangle* records, uint32_t count,
                    int32_t threads, DrawReport* report) {
    const bool nearest = surface.coverage() && OverlapPays(surface, points, records, count);
    const int32_t bands = BandsFor(surface, count, threads);
    DrawReport ignored;
    if (!report) report = &ignored;
    report->bands = bands;
    report->threads = 1;
    if (bands > 1) {
        report->threads = PaintInBands(surface, points, records, count, nearest, bands, threads);
        return;
    }
    if (!nearest) surface.PaintInOrder();  // nothing to do without a coverage
    PaintRecords(surface, points, records, count, false);
}

Status DrawPolygons(const ObjectModel& model, Surface& surface, int32_t width, int32_t height,
                    const ModelTurn& turn, const DrawingOptions& drawing) {
    ProjectedPoints points;
    if (const Status s = ProjectPoints(model, width, height, turn, &points); Failed(s)) return s;
    if (Failed(model.polygon_status)) return model.polygon_status;
    const ModelPolygons& polygons = model.polygons;
    const uint64_t count = CountTriangles(polygons);
    OwnedArray<Triangle> triangles;
    if (count > kMaxTriangles) return status::kNoMemory;
    if (const Status s = triangles.Allocate(count); Failed(s)) return s;

    Triangle* records = triangles.data();
    FillTriangles(polygons, points, records);
    const auto last = static_cast<int32_t>(count) - 1;  // count <= kMaxTriangles
    const int32_t threads = DrawingThreads(drawing);
    DrawReport report;
    report.allowed = threads;
    const ThreadedSort sorted = SortByDepthOnThreads(records, 0, last, threads);
    report.sort = sorted.exact ? DrawReport::Sort::kExact : DrawReport::Sort::kFellBack;
    report.sort_threads = sorted.threads;
    if (!sorted.exact) {
        // Near the quadratic worst case, where the order depends on where the
        // budget ran out: built again and sorted on one thread.
        FillTriangles(polygons, points, records);
        SortByDepth(records, 0, last);
    }
    PaintTriangles(surface, points, records, static_cast<uint32_t>(count), threads, &report);
    ReportDraw(report);
    return status::kOk;
}

}  // namespace qavren
