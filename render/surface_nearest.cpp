// Surface's triangles drawn nearest first: only the bands of rows, and the
// lines, that reach pixels the coverage does not hold yet.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "render/coverage.h"
#include "render/surface.h"

namespace qavren {
namespace {

// The columns in which a triangle, filled or outlined, may have pixels on
// rows top .. bottom: its extent between the lines y = top - 1 and
// y = bottom + 1, widened by a pixel each way. A filled pixel's centre lies
// in the triangle within half a pixel of its row, and a line's pixel within
// half a pixel of the edge it rounds, so the margins hold both; in double
// the crossings are off by far less than the pixel of slack.
class Strip {
public:
    explicit Strip(const Point (&corner)[3]) {
        for (int k = 0; k < 3; ++k) {
            Point a = corner[k], b = corner[(k + 1) % 3];
            if (a.y > b.y) std::swap(a, b);
            const double ax = a.x, bx = b.x;
            edge_[k] = {a.y, b.y, ax, a.y == b.y ? bx : ax, a.y == b.y ? 0.0 : (bx - ax) / (static_cast<double>(b.y) - a.y)};
        }
    }
    // Empty (lo > hi) when the triangle has no pixel there. Each edge adds
    // its ends within the strip: its corners, or where it crosses the strip.
    // Truncation is within a pixel of the floor or ceiling, hence the two.
    void Columns(int32_t top, int32_t bottom, int32_t* lo, int32_t* hi) const {
        double least = kCoordinateLimit + 4.0, most = -kCoordinateLimit - 4.0;
        for (const EdgeSpan& e : edge_) {
            const int32_t from = std::max(top - 1, e.y0), to = std::min(bottom + 1, e.y1);
            if (from > to) continue;
            const double x_from = e.x0 + (from - e.y0) * e.slope;
            const double x_to = e.y0 == e.y1 ? e.x_level : e.x0 + (to - e.y0) * e.slope;
            least = std::min(least, std::min(x_from, x_to));
            most = std::max(most, std::max(x_from, x_to));
        }
        *lo = static_cast<int32_t>(least) - 2;
        *hi = static_cast<int32_t>(most) + 2;
    }

    // The same for edge k alone, whose line's pixels lie within half a
    // pixel of it; and the rows first .. last of top .. bottom it can reach.
    void EdgeColumns(int k, int32_t top, int32_t bottom, int32_t* lo, int32_t* hi, int32_t* first, int32_t* last) const {
        const EdgeSpan& e = edge_[k];
        *first = std::max(top, e.y0);
        *last = std::min(bottom, e.y1);
        const int32_t from = std::max(top - 1, e.y0), to = std::min(bottom + 1, e.y1);
        if (*first > *last) return;  // then from > to too, and the edge is not there
        const double x_from = e.x0 + (from - e.y0) * e.slope;
        const double x_to = e.y0 == e.y1 ? e.x_level : e.x0 + (to - e.y0) * e.slope;
        *lo = static_cast<int32_t>(std::min(x_from, x_to)) - 2;
        *hi = static_cast<int32_t>(std::max(x_from, x_to)) + 2;
    }

private:
    struct EdgeSpan {
        int32_t y0, y1;  // y0 <= y1
        double x0;       // at y0
        double x_level;  // the other end of a level edge
        double slope;    // dx / dy, 0 when level
    };
    EdgeSpan edge_[3];
};

}  // namespace

// Nearest first, the outline claims its pixels before the fill: drawn last
// in the painter's order, it is what shows where the two meet. Rows go in
// bands of the coverage's height; bands where everything the triangle could
// touch is written are passed over, and the runs of the others drawn, each
// with its lines cut to its rows.
void Surface::CoveredTriangle(const Point (&corner)[3]) {
    const int32_t min_x = std::min({corner[0].x, corner[1].x, corner[2].x});
    const int32_t max_x = std::max({corner[0].x, corner[1].x, corner[2].x});
    const int32_t min_y = std::min({corner[0].y, corner[1].y, corner[2].y});
    const int32_t max_y = std::max({corner[0].y, corner[1].y, corner[2].y});
    const int32_t x0 = std::max(0, min_x), x1 = std::min(width_ - 1, max_x);
    const int32_t y0 = std::max(top_, min_y), y1 = std::min(bottom_, max_y);
    if (x0 > x1 || y0 > y1 || coverage_->Written(x0, x1, y0, y1)) return;
    const Strip strip(corner);
    const auto draw = [&](int32_t top, int32_t bottom) {
        // A line whose pixels on these rows are all written is passed over;
        // lines within the triangle's own rows need no cutting.
        const bool whole = top == y0 && bottom == y1;
        for (int k = 0; k < 3; ++k) {
            int32_t lo, hi, first, last;
            strip.EdgeColumns(k, top, bottom, &lo, &hi, &first, &last);
            if (first > last) continue;
            lo = std::max(lo, x0);
            hi = std::min(hi, x1);
            if (lo > hi || coverage_->Written(lo, hi, first, last)) continue;
            Line(corner[k], corner[(k + 1) % 3], pen_.colour, whole ? top_ : top, whole ? bottom_ : bottom);
        }
        FillTriangle(corner[0], corner[1], corner[2], brush_.colour, top, bottom);
    };
    constexpr int32_t kBand = 1 << Coverage::kBandShift;
    if (y1 - y0 < 2 * kBand) {
        draw(y0, y1);
        return;
    }
    int32_t run = -1;  // first row of the bands being gathered
    for (int32_t top = y0; top <= y1;) {
        const int32_t bottom = std::min(y1, top | (kBand - 1));
        int32_t lo, hi;
        strip.Columns(top, bottom, &lo, &hi);
        lo = std::max(lo, x0);
        hi = std::min(hi, x1);
        const bool open = lo <= hi && !coverage_->Written(lo, hi, top, bottom);
        if (open && run < 0) run = top;
        if (!open && run >= 0) {
            draw(run, top - 1);
            run = -1;
        }
        top = bottom + 1;
    }
    if (run >= 0) draw(run, y1);
}

}  // namespace qavren
