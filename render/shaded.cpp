// DrawShaded: one walk to check the polygons and count them, the surfaces,
// the face normals and which polygons share each point (only when a surface
// is smooth), then a walk that lights each polygon's corners and keeps its
// fan's triangles (and the dots and lines) as shapes, with the bands of rows
// each reaches. The picture is then drawn a band of rows at a time into a
// sample block of a few hundred kilobytes, each band's shapes taken in the
// order they were kept, so that ties in depth go the same way in every band
// and on any thread; each band is resolved into the picture once drawn.
//
// Rasterising: corners are fixed point, 1/16 of a sample. A sample is
// inside a triangle when all three edge functions (exact 64-bit integers)
// are positive, or zero on a top-left edge (an edge running down the
// canvas, or exactly left along it), so two triangles sharing an edge never
// both take, nor both miss, a sample on it. Each row's span is solved from
// the edge functions; depth and colour are taken exactly at the span's first
// sample and stepped along the row, so a sample's value depends on its row
// alone, not on where a band starts. Corners must lie within one pixel of
// the picture, which the fit guarantees for finite coordinates; a triangle
// with a corner elsewhere (a NaN point) is left out.
#include "render/shaded.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <utility>

#include "object/model.h"
#include "platform/memory.h"
#include "render/parallel.h"
#include "render/projection.h"

namespace qavren {
namespace {

constexpr int32_t kSubBits = 4;
constexpr int64_t kOne = int64_t{1} << kSubBits;  // one sample in fixed point
constexpr int64_t kHalf = kOne / 2;               // a sample's centre
// Smooth normals look at every polygon that shares a corner's point; a
// point shared by very many polygons would make that quadratic, so the
// looks are limited to this many a corner on average (then faces are flat).
constexpr uint64_t kSmoothLooksPerCorner = 64;
// A band's sample block is about this size (at least one row of pixels), so
// that it stays in the cache while its shapes are drawn and it is resolved.
constexpr uint64_t kBandBytes = 256 * 1024;
std::atomic<int32_t> band_rows_set{0};

// A block of `count` T, zeroed, freed on destruction.
template <typename T>
class Block {
public:
    Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block() { platform::Free(data_); }
    bool Allocate(uint64_t count) {
        const uint64_t bytes = count * sizeof(T);
        if (count > SIZE_MAX / sizeof(T) || static_cast<size_t>(bytes) != bytes) return false;
        data_ = static_cast<T*>(platform::AllocateZeroed(static_cast<size_t>(bytes ? bytes : 1)));
        return data_ != nullptr;
    }
    T& operator[](uint64_t k) const { return data_[k]; }

private:
    T* data_ = nullptr;
};

struct Vec3 {
    double x, y, z;
};

double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The unit vector along v, or (0, 0, 0) when v has no length (or is not finite).
Vec3 Normalised(const Vec3& v) {
    const double length = std::sqrt(Dot(v, v));
    if (!(length > 0.0) || !(length < HUGE_VAL)) return {0.0, 0.0, 0.0};
    return {v.x / length, v.y / length, v.z / length};
}

// 0xRRGGBB.
uint32_t Packed(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

uint32_t Channel(double v) {
    if (!(v > 0.0)) return 0;  // NaN too
    if (v >= 254.5) return 255;
    return static_cast<uint32_t>(v + 0.5);
}

// A share read from a file: NaN and negative values count as none.
double Share(float v) { return v >= 0.0f ? double{v} : 0.0; }

class Light {
public:
    Light() : to_light_(Normalised({ShadedLight::kToLight[0], ShadedLight::kToLight[1], ShadedLight::kToLight[2]})) {}

    // The lit colour of `look` for a unit normal facing the viewer.
    uint32_t Lit(const SurfaceLook& look, const Vec3& normal) const {
        double cosine = Dot(normal, to_light_);
        if (!(cosine > 0.0)) cosine = 0.0;
        const double k = ShadedLight::kAmbient + ShadedLight::kLight * Share(look.diffuse) * cosine +
                         Share(look.luminosity);
        return Packed(Channel(look.red * k), Channel(look.green * k), Channel(look.blue * k));
    }

private:
    Vec3 to_light_;
};

// Corners lie within a pixel of a picture of at most 2^24 pixels a side:
// their fixed-point coordinates fit 32 bits, their products are taken in 64.
struct Vertex {
    int32_t x, y;  // fixed point, in samples
    float z;
    uint32_t colour;
};

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Where the picture's samples lie: the fit's margin, and the picture's
// sample columns and rows.
class Fit {
public:
    Fit(int32_t width, int32_t height, int32_t margin)
        : offset_(margin), columns_(ShadedSamples::kSide * width), rows_(ShadedSamples::kSide * height) {}

    int32_t columns() const { return columns_; }
    int32_t rows() const { return rows_; }

    // The point in samples; false when it lies off the picture by more than
    // a pixel (or is not a number).
    bool InSamples(const ProjectedPoint& p, double* sx, double* sy) const {
        *sx = (double{p.x} + offset_) * ShadedSamples::kSide;
        *sy = (double{p.y} + offset_) * ShadedSamples::kSide;
        const double w = columns_ + ShadedSamples::kSide, h = rows_ + ShadedSamples::kSide;
        return *sx >= -ShadedSamples::kSide && *sx <= w && *sy >= -ShadedSamples::kSide && *sy <= h;
    }

    bool ToVertex(const ProjectedPoint& p, uint32_t colour, Vertex* v) const {
        double sx, sy;
        if (!InSamples(p, &sx, &sy)) return false;
        *v = {static_cast<int32_t>(std::floor(sx * kOne + 0.5)), static_cast<int32_t>(std::floor(sy * kOne + 0.5)),
              p.z, colour};
        return true;
    }

private:
    double offset_;
    int32_t columns_;
    int32_t rows_;
};

// The samples a triangle may take within columns 0 .. columns - 1 and rows
// top .. bottom - 1: false when none, or when it has no area.
bool TriangleBounds(const Vertex& a, const Vertex& b, const Vertex& c, int32_t columns, int32_t top, int32_t bottom,
                    int64_t* i0, int64_t* i1, int64_t* j0, int64_t* j1) {
    const int64_t min_x = std::min(a.x, std::min(b.x, c.x)), max_x = std::max(a.x, std::max(b.x, c.x));
    const int64_t min_y = std::min(a.y, std::min(b.y, c.y)), max_y = std::max(a.y, std::max(b.y, c.y));
    *i0 = std::max<int64_t>(0, FloorDiv(min_x - kHalf + kOne - 1, kOne));
    *i1 = std::min<int64_t>(columns - 1, FloorDiv(max_x - kHalf, kOne));
    *j0 = std::max<int64_t>(top, FloorDiv(min_y - kHalf + kOne - 1, kOne));
    *j1 = std::min<int64_t>(bottom - 1, FloorDiv(max_y - kHalf, kOne));
    if (*i0 > *i1 || *j0 > *j1) return false;
    return (int64_t{b.x} - a.x) * (int64_t{c.y} - a.y) - (int64_t{b.y} - a.y) * (int64_t{c.x} - a.x) != 0;
}

// The first sample of the pixel that sample i belongs to.
int32_t PixelStart(int32_t i) { return static_cast<int32_t>(FloorDiv(i, ShadedSamples::kSide) * ShadedSamples::kSide); }
int64_t PixelStart64(int64_t i) { return FloorDiv(i, ShadedSamples::kSide) * ShadedSamples::kSide; }

class Rasteriser {
public:
    Rasteriser(ShadedSamples* samples, const Fit& fit)
        : samples_(samples),
          fit_(fit),
          columns_(fit.columns()),
          top_(samples->band_top()),
          bottom_(samples->band_bottom()) {}

    void Triangle(const Vertex& a, Vertex b, Vertex c) {
        int64_t area = Edge(a, b, c.x, c.y);
        if (area == 0) return;
        if (area < 0) {
            std::swap(b, c);
            area = -area;
        }
        int64_t i0, i1, j0, j1;
        if (!TriangleBounds(a, b, c, columns_, top_, bottom_, &i0, &i1, &j0, &j1)) return;
        samples_->Reach(static_cast<int32_t>(i0), static_cast<int32_t>(i1), static_cast<int32_t>(j0),
                        static_cast<int32_t>(j1));

        // Edge k is opposite corner k; its function weighs that corner.
        const Vertex* from[3] = {&b, &c, &a};
        const Vertex* to[3] = {&c, &a, &b};
        int64_t step[3], bias[3];
        for (int k = 0; k < 3; ++k) {
            const int64_t dx = int64_t{to[k]->x} - from[k]->x, dy = int64_t{to[k]->y} - from[k]->y;
            step[k] = -dy * kOne;
            bias[k] = dy > 0 || (dy == 0 && dx < 0) ? 0 : 1;  // ties count on top-left edges only
        }
        const bool flat = a.colour == b.colour && a.colour == c.colour;
        const double inverse = 1.0 / static_cast<double>(area);
        const double dz1 = double{b.z} - a.z, dz2 = double{c.z} - a.z;
        const int32_t ca[3] = {int32_t(a.colour >> 16), int32_t(a.colour >> 8 & 0xFF), int32_t(a.colour & 0xFF)};
        const int32_t cb[3] = {int32_t(b.colour >> 16), int32_t(b.colour >> 8 & 0xFF), int32_t(b.colour & 0xFF)};
        const int32_t cc[3] = {int32_t(c.colour >> 16), int32_t(c.colour >> 8 & 0xFF), int32_t(c.colour & 0xFF)};

        for (int64_t j = j0; j <= j1; ++j) {
            const int64_t py = j * kOne + kHalf, px = i0 * kOne + kHalf;
            // The row's span: the samples where every edge function, stepping
            // by step[k] a sample from its value at i0, reaches its bias.
            int64_t w[3], lo = i0, hi = i1;
            for (int k = 0; k < 3; ++k) {
                w[k] = Edge(*from[k], *to[k], px, py);
                const int64_t need = bias[k] - w[k];  // (i - i0) * step[k] >= need
                if (step[k] == 0) {
                    if (need > 0) hi = lo - 1;
                } else if (step[k] > 0) {
                    if (need > 0) lo = std::max(lo, i0 + FloorDiv(need + step[k] - 1, step[k]));
                } else {
                    hi = std::min(hi, i0 + FloorDiv(-need, -step[k]));
                }
            }
            if (lo > hi) continue;
            // Depth and colour are linear along the row: taken exactly at the
            // span's first sample, then stepped, so a row's values depend on
            // the row alone.
            const double b1 = static_cast<double>(w[1] + (lo - i0) * step[1]);
            const double b2 = static_cast<double>(w[2] + (lo - i0) * step[2]);
            const double s1 = static_cast<double>(step[1]), s2 = static_cast<double>(step[2]);
            const double depth0 = a.z + (b1 * dz1 + b2 * dz2) * inverse;
            const double depth_step = (s1 * dz1 + s2 * dz2) * inverse;
            double colour0[3], colour_step[3];
            for (int k = 0; k < 3; ++k) {
                colour0[k] = ca[k] + (b1 * (cb[k] - ca[k]) + b2 * (cc[k] - ca[k])) * inverse;
                colour_step[k] = (s1 * (cb[k] - ca[k]) + s2 * (cc[k] - ca[k])) * inverse;
            }
            ShadedSamples::Sample* row = &samples_->At(static_cast<int32_t>(lo), static_cast<int32_t>(j));
            for (int64_t i = lo; i <= hi; ++i, ++row) {
                const double t = static_cast<double>(i - lo);
                const auto depth = static_cast<float>(depth0 + t * depth_step);
                if (row->colour ? !(depth < row->depth) : depth != depth) continue;  // nearer wins; NaN never
                row->depth = depth;
                if (flat) {
                    row->colour = a.colour | ShadedSamples::kDrawn;
                    continue;
                }
                row->colour = Packed(Channel(colour0[0] + t * colour_step[0]), Channel(colour0[1] + t * colour_step[1]),
                                     Channel(colour0[2] + t * colour_step[2])) |
                              ShadedSamples::kDrawn;
            }
        }
    }

    // A line one pixel wide, from a to b both included: stepped a sample at
    // a time along its longer axis, and across it both samples of the pixel
    // it passes through, so that it shows whole in its colour.
    void Line(const ProjectedPoint& a, const ProjectedPoint& b, uint32_t colour) {
        double ax, ay, bx, by;
        if (!fit_.InSamples(a, &ax, &ay) || !fit_.InSamples(b, &bx, &by)) return;
        const double dx = bx - ax, dy = by - ay, dz = double{b.z} - a.z;
        const bool x_major = std::fabs(dx) >= std::fabs(dy);
        const auto steps = static_cast<int64_t>(std::ceil(x_major ? std::fabs(dx) : std::fabs(dy)));
        // Only the steps whose rows can fall in the band (y moves steadily
        // with t), with three samples and a step to spare for rounding.
        int64_t first = 0, last = steps;
        if (dy != 0.0 && steps > 0) {
            const double f0 = (top_ - 3 - ay) / dy, f1 = (bottom_ + 3 - ay) / dy;
            const double low = std::floor(std::min(f0, f1) * static_cast<double>(steps)) - 1.0;
            const double high = std::ceil(std::max(f0, f1) * static_cast<double>(steps)) + 1.0;
            if (low > static_cast<double>(first)) first = low < static_cast<double>(steps) ? static_cast<int64_t>(low) : steps + 1;
            if (high < static_cast<double>(last)) last = high > 0.0 ? static_cast<int64_t>(high) : -1;
        }
        for (int64_t t = first; t <= last; ++t) {
            const double f = steps ? static_cast<double>(t) / static_cast<double>(steps) : 0.0;
            const auto depth = static_cast<float>(a.z + dz * f);
            const auto ix = static_cast<int32_t>(std::floor(ax + dx * f));
            const auto iy = static_cast<int32_t>(std::floor(ay + dy * f));
            if (x_major) {
                const int32_t row = PixelStart(iy);
                Put(ix, row, depth, colour);
                Put(ix, row + 1, depth, colour);
            } else {
                const int32_t column = PixelStart(ix);
                Put(column, iy, depth, colour);
                Put(column + 1, iy, depth, colour);
            }
        }
    }

    // A square of two by two whole pixels: the one the point lies in and
    // those to its upper left.
    void Dot(const ProjectedPoint& p, uint32_t colour) {
        double sx, sy;
        if (!fit_.InSamples(p, &sx, &sy)) return;
        const int32_t x0 = PixelStart(static_cast<int32_t>(std::floor(sx))) - ShadedSamples::kSide;
        const int32_t y0 = PixelStart(static_cast<int32_t>(std::floor(sy))) - ShadedSamples::kSide;
        for (int32_t j = y0; j < y0 + 2 * ShadedSamples::kSide; ++j) {
            for (int32_t i = x0; i < x0 + 2 * ShadedSamples::kSide; ++i) Put(i, j, p.z, colour);
        }
    }

private:
    // Positive when p lies to the inside of from -> to for a triangle whose
    // corners give a positive area.
    static int64_t Edge(const Vertex& from, const Vertex& to, int64_t px, int64_t py) {
        return (int64_t{to.x} - from.x) * (py - from.y) - (int64_t{to.y} - from.y) * (px - from.x);
    }

    void Put(int32_t i, int32_t j, float depth, uint32_t colour) {
        if (i < 0 || i >= columns_ || j < top_ || j >= bottom_) return;
        samples_->Reach(i, i, j, j);
        ShadedSamples::Sample& s = samples_->At(i, j);
        if (s.colour ? !(depth < s.depth) : depth != depth) return;
        s.depth = depth;
        s.colour = colour | ShadedSamples::kDrawn;
    }

    ShadedSamples* samples_;
    const Fit& fit_;
    int32_t columns_;
    int32_t top_;
    int32_t bottom_;
};

// The points as turned for the view, before the fit: what the normals are
// taken from. The same turn as ProjectPoints.
Status TurnPoints(const ObjectModel& model, const ModelTurn& turn, Block<float>* out) {
    if (!out->Allocate(uint64_t{model.point_count()} * 3)) return status::kNoMemory;
    float* p = &(*out)[0];
    for (const ModelPoint& m : model.points) {
        p[0] = m.x;
        p[1] = m.y;
        p[2] = m.z;
        if (!turn.identity()) turn.Apply(&p[0], &p[1], &p[2]);
        p += 3;
    }
    return status::kOk;
}

// The normal of a polygon by Newell's method (any winding, any number of
// corners, planar or not), unit length or zero.
Vec3 FaceNormal(const float* turned, const Polygon& polygon) {
    Vec3 n{0.0, 0.0, 0.0};
    for (uint32_t k = 0; k < polygon.count; ++k) {
        const float* u = turned + 3 * uint64_t{polygon.Index(k)};
        const float* v = turned + 3 * uint64_t{polygon.Index(k + 1 < polygon.count ? k + 1 : 0)};
        n.x += (double{u[1]} - v[1]) * (double{u[2]} + v[2]);
        n.y += (double{u[2]} - v[2]) * (double{u[0]} + v[0]);
        n.z += (double{u[0]} - v[0]) * (double{u[1]} + v[1]);
    }
    const Vec3 unit = Normalised(n);
    // Rounded to float, as the neighbours keep them, so a face reads the same
    // normal whether or not smoothing is on anywhere.
    return {static_cast<float>(unit.x), static_cast<float>(unit.y), static_cast<float>(unit.z)};
}

// Which polygons share each point, and every polygon's unit face normal:
// what smooth normals are averaged from.
class Neighbours {
public:
    Status Build(const ModelPolygons& polygons, const float* turned, uint32_t point_count, uint32_t polygon_count,
                 uint64_t corners) {
        if (!first_.Allocate(uint64_t{point_count} + 1) || !list_.Allocate(corners) ||
            !normals_.Allocate(uint64_t{polygon_count} * 3)) {
            return status::kNoMemory;
        }
        {
            for (uint32_t k = 0; k < polygon_count; ++k) {
                const Polygon polygon = polygons[k];
                const Vec3 n = FaceNormal(turned, polygon);
                normals_[3 * uint64_t{k}] = static_cast<float>(n.x);
                normals_[3 * uint64_t{k} + 1] = static_cast<float>(n.y);
                normals_[3 * uint64_t{k} + 2] = static_cast<float>(n.z);
                if (polygon.count < 3) continue;
                for (uint32_t c = 0; c < polygon.count; ++c) ++first_[polygon.Index(c) + uint64_t{1}];
            }
        }
        for (uint32_t p = 0; p < point_count; ++p) first_[p + uint64_t{1}] += first_[p];
        Block<uint64_t> fill;
        if (!fill.Allocate(point_count)) return status::kNoMemory;
        for (uint32_t k = 0; k < polygon_count; ++k) {
            const Polygon polygon = polygons[k];
            if (polygon.count < 3) continue;
            for (uint32_t c = 0; c < polygon.count; ++c) {
                const uint32_t p = polygon.Index(c);
                list_[first_[p] + fill[p]++] = k;  // a polygon through p twice is listed twice
            }
        }
        looks_left_ = corners * kSmoothLooksPerCorner;
        return status::kOk;
    }

    Vec3 Normal(uint32_t polygon) const {
        const float* n = &normals_[3 * uint64_t{polygon}];
        return {n[0], n[1], n[2]};
    }

    // The smooth normal of `polygon` at `point` (before it is turned to the
    // viewer): the mean of the face normals of the polygons at the point
    // that use the same surface and lie within the angle whose cosine is
    // `min_cosine`. The face normal once the looks are spent.
    Vec3 Smooth(uint32_t polygon, uint32_t point, const ObjectSurfaces& surfaces, double min_cosine) {
        const Vec3 own = Normal(polygon);
        const uint64_t begin = first_[point], end = first_[uint64_t{point} + 1];
        if (end - begin > looks_left_) return own;
        looks_left_ -= end - begin;
        const uint32_t surface = surfaces.SurfaceOf(polygon);
        Vec3 sum{0.0, 0.0, 0.0};
        uint64_t others = 0;
        for (uint64_t k = begin; k < end; ++k) {
            const uint32_t other = list_[k];
            if (other == polygon || surfaces.SurfaceOf(other) != surface) continue;
            const Vec3 n = Normal(other);
            if (!(Dot(n, own) >= min_cosine)) continue;
            sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
            ++others;
        }
        if (others == 0) return own;  // alone within the angle: exactly the flat face
        const Vec3 mean = Normalised({sum.x + own.x, sum.y + own.y, sum.z + own.z});
        return mean.x == 0.0 && mean.y == 0.0 && mean.z == 0.0 ? own : mean;
    }

private:
    Block<uint64_t> first_;  // polygons at point p: list_[first_[p] .. first_[p + 1])
    Block<uint32_t> list_;
    Block<float> normals_;
    uint64_t looks_left_ = 0;
};

// Facing the viewer (who looks along +z): the normal of a face that points
// away is turned round, so both sides of a face are lit alike. A face
// without a normal faces the viewer.
Vec3 TowardsViewer(const Vec3& n, bool turn) {
    if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0) return {0.0, 0.0, -1.0};
    return turn ? Vec3{-n.x, -n.y, -n.z} : n;
}

// A triangle, line or dot to draw, in the order the polygons give them,
// and the bands of rows it may reach.
struct Shape {
    enum Kind : uint32_t { kTriangle, kLine, kDot };
    union Geometry {
        Vertex corner[3];
        ProjectedPoint point[2];
    } geometry;
    Kind kind;
    uint32_t colour;  // of a line or dot
    int32_t first_band, last_band;
};

// The sample rows a line (both ends in the picture) may write: those of the
// pixels its ends lie in, and a sample more each way for rounding.
void LineRows(double ay, double by, int64_t* j0, int64_t* j1) {
    *j0 = PixelStart64(static_cast<int64_t>(std::floor(std::min(ay, by))) - 1);
    *j1 = PixelStart64(static_cast<int64_t>(std::floor(std::max(ay, by))) + 1) + 1;
}

// The bands of the picture: `rows` pixel rows each, the last one the rest.
class Bands {
public:
    Bands(int32_t width, int32_t height) : height_(height) {
        const uint64_t row_bytes = uint64_t{ShadedSamples::kBytesPerPixel} * static_cast<uint32_t>(width);
        const int32_t set = band_rows_set.load(std::memory_order_relaxed);
        const uint64_t rows = set > 0 ? static_cast<uint64_t>(set) : std::max<uint64_t>(1, kBandBytes / row_bytes);
        rows_ = static_cast<int32_t>(std::min<uint64_t>(rows, static_cast<uint32_t>(height)));
        count_ = static_cast<int32_t>((int64_t{height} + rows_ - 1) / rows_);
    }
    int32_t rows() const { return rows_; }
    int32_t count() const { return count_; }
    int32_t Top(int32_t band) const { return band * rows_; }
    int32_t RowsOf(int32_t band) const { return std::min(rows_, height_ - band * rows_); }
    // The band of sample row j, which must lie in the picture.
    int32_t Of(int64_t j) const { return static_cast<int32_t>(j / ShadedSamples::kSide / rows_); }

    // Sets the shape's bands from its sample rows j0 .. j1, clipped to the
    // picture's `sample_rows`; false when none are left.
    bool Place(int64_t j0, int64_t j1, int32_t sample_rows, Shape* shape) const {
        j0 = std::max<int64_t>(j0, 0);
        j1 = std::min<int64_t>(j1, sample_rows - 1);
        if (j0 > j1) return false;
        shape->first_band = Of(j0);
        shape->last_band = Of(j1);
        return true;
    }

private:
    int32_t height_;
    int32_t rows_;
    int32_t count_;
};

// Picture drawing with more threads than this many units of work each
// would cost more in starting them than it saves: a shape is one unit, 64
// pixels one more (clearing and resolving). Each thread takes a few runs of
// consecutive bands in turn, so that a free one takes over where the model
// is dense.
constexpr uint64_t kWorkPerThread = 8192;
constexpr int32_t kRunsPerThread = 4;

int32_t DrawingLanes(uint64_t shapes, int32_t width, int32_t height, int32_t bands, int32_t threads) {
    if (threads <= 1) return 1;
    const uint64_t work = shapes + static_cast<uint64_t>(width) * static_cast<uint32_t>(height) / 64;
    const uint64_t useful = std::min<uint64_t>(static_cast<uint64_t>(threads), work / kWorkPerThread);
    return static_cast<int32_t>(std::max<uint64_t>(1, std::min<uint64_t>(useful, static_cast<uint32_t>(bands))));
}

// What one drawing thread holds: its band's samples, and the shapes that
// reach the band, in their order.
struct Lane {
    ShadedSamples samples;
    Block<uint32_t> active;
};

}  // namespace

ShadedSamples::~ShadedSamples() { platform::Free(samples_); }

Status ShadedSamples::Allocate(int32_t width, int32_t rows) {
    platform::Free(samples_);
    samples_ = nullptr;
    width_ = rows_ = band_top_ = band_bottom_ = 0;
    drawn_ = {INT32_MAX, -1, INT32_MAX, -1};
    if (width <= 0 || rows <= 0 || width > kMaxSide || rows > kMaxSide) return status::kNoMemory;
    const uint64_t count = uint64_t{kSide * kSide} * static_cast<uint32_t>(width) * static_cast<uint32_t>(rows);
    const uint64_t bytes = count * sizeof(Sample);
    if (static_cast<size_t>(bytes) != bytes) return status::kNoMemory;
    samples_ = static_cast<Sample*>(platform::AllocateZeroed(static_cast<size_t>(bytes)));
    if (!samples_) return status::kNoMemory;
    width_ = width;
    rows_ = rows;
    band_bottom_ = kSide * rows;
    return status::kOk;
}

void ShadedSamples::Start(int32_t top, int32_t rows) {
    // Only the box the last band drew holds anything.
    if (drawn_.x0 <= drawn_.x1) {
        const int32_t x0 = kSide * (drawn_.x0 / kSide), x1 = kSide * (drawn_.x1 / kSide) + kSide - 1;
        const int32_t y0 = kSide * (drawn_.y0 / kSide), y1 = kSide * (drawn_.y1 / kSide) + kSide - 1;
        for (int32_t j = y0; j <= y1; ++j) {
            std::fill(&At(x0, j), &At(x0, j) + (x1 - x0 + 1), Sample{0.0f, 0});
        }
    }
    drawn_ = {INT32_MAX, -1, INT32_MAX, -1};
    band_top_ = kSide * top;
    band_bottom_ = kSide * (top + std::min(rows, rows_));
}

void SetShadedBandRows(int32_t rows) { band_rows_set.store(rows > 0 ? rows : 0, std::memory_order_relaxed); }

double SeriesCosine(double radians) {
    if (radians != radians) return radians;
    double x = std::fabs(radians);
    if (x >= 3.141592653589793) return -1.0;
    // 1 - x^2/2! + x^4/4! - ...: below pi the terms past x^30 are under 1e-16.
    const double square = x * x;
    double term = 1.0, sum = 1.0;
    for (int k = 1; k <= 15; ++k) {
        term = -term * square / ((2.0 * k - 1.0) * (2.0 * k));
        sum += term;
    }
    return sum;
}

Status DrawShaded(const ObjectModel& model, int32_t width, int32_t height, int32_t margin, const ModelTurn& turn,
                  ResolveBand resolve, void* context) {
    if (width <= 0 || height <= 0 || width > ShadedSamples::kMaxSide || height > ShadedSamples::kMaxSide) {
        return status::kNoMemory;
    }
    if (margin < 0 || 2 * int64_t{margin} >= width || 2 * int64_t{margin} >= height) margin = 0;
    ProjectedPoints points;
    if (const Status s = ProjectPoints(model, width - 2 * margin, height - 2 * margin, turn, &points); Failed(s)) {
        return s;
    }
    // A bad record anywhere fails before anything is drawn.
    if (Failed(model.polygon_status)) return model.polygon_status;
    const ModelPolygons& polygons = model.polygons;
    const uint32_t polygon_count = polygons.count;
    uint64_t corners = 0, most_shapes = 0;
    for (uint32_t k = 0; k < polygon_count; ++k) {
        const uint16_t n = polygons[k].count;
        if (n >= 3) corners += n;
        most_shapes += n >= 3 ? n - 2 : 1;
    }
    const ObjectSurfaces& surfaces = model.surfaces;
    if (surfaces.polygon_count() != polygon_count) return status::kCorrupt;  // read without its surfaces
    bool smooth = false;
    for (uint32_t k = 0; k < surfaces.surface_count(); ++k) smooth = smooth || surfaces.look(k).smoothing > 0.0f;

    Block<float> turned;
    if (const Status s = TurnPoints(model, turn, &turned); Failed(s)) return s;
    Neighbours neighbours;
    if (smooth) {
        if (const Status s = neighbours.Build(polygons, &turned[0], points.count(), polygon_count, corners); Failed(s)) {
            return s;
        }
    }
    // Shapes are counted in 32 bits (a polygon has fewer than 2^16 corners,
    // so this holds any object of under 2^16 polygons whatever their size).
    if (most_shapes > UINT32_MAX) return status::kNoMemory;
    Block<Shape> shapes;
    if (!shapes.Allocate(most_shapes)) return status::kNoMemory;

    const Light light;
    const Fit fit(width, height, margin);
    const Bands bands(width, height);
    Vertex* corner = nullptr;
    Block<Vertex> corner_block;
    if (!corner_block.Allocate(kMaxPolygonIndices)) return status::kNoMemory;
    corner = &corner_block[0];
    bool* off = nullptr;
    Block<bool> off_block;
    if (!off_block.Allocate(kMaxPolygonIndices)) return status::kNoMemory;
    off = &off_block[0];

    // The shapes, lit, in the polygons' order; those that reach no sample
    // of the picture are left out.
    uint32_t shape_count = 0;
    for (uint32_t k = 0; k < polygon_count; ++k) {
        const Polygon polygon = polygons[k];
        const SurfaceLook& look = surfaces.LookOf(k);
        const uint32_t own = Packed(look.red, look.green, look.blue);
        if (polygon.count <= 2) {
            Shape& shape = shapes[shape_count];
            const ProjectedPoint& a = points[polygon.Index(0)];
            const ProjectedPoint& b = points[polygon.Index(polygon.count - 1)];
            double ax, ay, bx, by;
            if (!fit.InSamples(a, &ax, &ay) || !fit.InSamples(b, &bx, &by)) continue;
            int64_t j0, j1;
            if (polygon.count == 1) {
                shape.kind = Shape::kDot;  // two by two pixels, the point's and those above
                j0 = PixelStart64(static_cast<int64_t>(std::floor(ay))) - ShadedSamples::kSide;
                j1 = j0 + 2 * ShadedSamples::kSide - 1;
            } else {
                shape.kind = Shape::kLine;
                LineRows(ay, by, &j0, &j1);
            }
            shape.geometry.point[0] = a;
            shape.geometry.point[1] = b;
            shape.colour = own;
            if (bands.Place(j0, j1, fit.rows(), &shape)) ++shape_count;
            continue;
        }
        const Vec3 face = smooth ? neighbours.Normal(k) : FaceNormal(&turned[0], polygon);
        const bool turn_round = face.z > 0.0;
        const bool smooth_here = smooth && look.smoothing > 0.0f;
        const uint32_t flat = light.Lit(look, TowardsViewer(face, turn_round));
        const double min_cosine = smooth_here ? SeriesCosine(look.smoothing) : 0.0;
        for (uint32_t c = 0; c < polygon.count; ++c) {
            const uint32_t p = polygon.Index(c);
            uint32_t colour = flat;
            if (smooth_here) {
                colour = light.Lit(look, TowardsViewer(neighbours.Smooth(k, p, surfaces, min_cosine), turn_round));
            }
            off[c] = !fit.ToVertex(points[p], colour, &corner[c]);
        }
        for (uint32_t c = 1; c + 1 < polygon.count; ++c) {
            if (off[0] || off[c] || off[c + 1]) continue;
            int64_t i0, i1, j0, j1;
            if (!TriangleBounds(corner[0], corner[c], corner[c + 1], fit.columns(), 0, fit.rows(), &i0, &i1, &j0,
                                &j1)) {
                continue;
            }
            Shape& shape = shapes[shape_count];
            shape.kind = Shape::kTriangle;
            shape.geometry.corner[0] = corner[0];
            shape.geometry.corner[1] = corner[c];
            shape.geometry.corner[2] = corner[c + 1];
            if (bands.Place(j0, j1, fit.rows(), &shape)) ++shape_count;
        }
    }

    // The shapes by first band, in their order within it (a counting sort),
    // and the most shapes any band reaches.
    const int32_t band_count = bands.count();
    Block<uint32_t> first, order;
    Block<int64_t> change;
    if (!first.Allocate(uint64_t{static_cast<uint32_t>(band_count)} + 1) || !order.Allocate(shape_count) ||
        !change.Allocate(uint64_t{static_cast<uint32_t>(band_count)} + 1)) {
        return status::kNoMemory;
    }
    for (uint32_t k = 0; k < shape_count; ++k) {
        ++first[static_cast<uint32_t>(shapes[k].first_band) + uint64_t{1}];
        ++change[static_cast<uint32_t>(shapes[k].first_band)];
        --change[static_cast<uint32_t>(shapes[k].last_band) + uint64_t{1}];
    }
    int64_t reaching = 0, most_reaching = 0;
    for (int32_t b = 0; b < band_count; ++b) {
        first[b + uint64_t{1}] += first[static_cast<uint32_t>(b)];
        reaching += change[static_cast<uint32_t>(b)];
        most_reaching = std::max(most_reaching, reaching);
    }
    {
        Block<uint32_t> fill;
        if (!fill.Allocate(static_cast<uint32_t>(band_count))) return status::kNoMemory;
        for (uint32_t k = 0; k < shape_count; ++k) {
            const auto b = static_cast<uint32_t>(shapes[k].first_band);
            order[first[b] + fill[b]++] = k;
        }
    }

    // Every thread's block and list is had before any band is drawn, so a
    // failure leaves the picture untouched.
    const int32_t lane_count = DrawingLanes(shape_count, width, height, band_count, DrawingThreads());
    Lane lanes[kMaxThreads];
    for (int32_t k = 0; k < lane_count; ++k) {
        if (const Status s = lanes[k].samples.Allocate(width, bands.rows()); Failed(s)) return s;
        if (!lanes[k].active.Allocate(static_cast<uint64_t>(most_reaching))) return status::kNoMemory;
    }
    const int32_t runs = lane_count == 1 ? 1 : std::min(band_count, lane_count * kRunsPerThread);
    std::atomic<uint64_t> free_lanes{lane_count == 64 ? ~uint64_t{0} : (uint64_t{1} << lane_count) - 1};

    auto run = [&](int32_t piece) {
        // A lane no other thread holds: at most lane_count runs are drawn at once.
        uint64_t mask = free_lanes.load();
        int32_t k = 0;
        for (;;) {
            k = 0;
            while (!(mask >> k & 1)) ++k;
            if (free_lanes.compare_exchange_weak(mask, mask & ~(uint64_t{1} << k))) break;
        }
        Lane& lane = lanes[k];
        uint32_t* active = &lane.active[0];
        const int32_t begin = static_cast<int32_t>(int64_t{band_count} * piece / runs);
        const int32_t end = static_cast<int32_t>(int64_t{band_count} * (piece + 1) / runs);
        // The shapes reaching the run's first band, in their order.
        uint32_t count = 0;
        for (uint32_t n = 0; n < shape_count; ++n) {
            if (shapes[n].first_band < begin && shapes[n].last_band >= begin) active[count++] = n;
        }
        for (int32_t b = begin; b < end; ++b) {
            // Those still reaching this band, merged with those starting in
            // it, from the back: both lists are in the shapes' order.
            uint32_t kept = 0;
            for (uint32_t n = 0; n < count; ++n) {
                if (shapes[active[n]].last_band >= b) active[kept++] = active[n];
            }
            const uint32_t* added = &order[first[static_cast<uint32_t>(b)]];
            uint32_t from_added = first[b + uint64_t{1}] - first[static_cast<uint32_t>(b)];
            count = kept + from_added;
            for (uint32_t to = count; from_added > 0;) {
                if (kept > 0 && active[kept - 1] > added[from_added - 1]) {
                    active[--to] = active[--kept];
                } else {
                    active[--to] = added[--from_added];
                }
            }
            lane.samples.Start(bands.Top(b), bands.RowsOf(b));
            Rasteriser raster(&lane.samples, fit);
            for (uint32_t n = 0; n < count; ++n) {
                const Shape& shape = shapes[active[n]];
                if (shape.kind == Shape::kTriangle) {
                    raster.Triangle(shape.geometry.corner[0], shape.geometry.corner[1], shape.geometry.corner[2]);
                } else if (shape.kind == Shape::kLine) {
                    raster.Line(shape.geometry.point[0], shape.geometry.point[1], shape.colour);
                } else {
                    raster.Dot(shape.geometry.point[0], shape.colour);
                }
            }
            resolve(context, lane.samples);
        }
        free_lanes.fetch_or(uint64_t{1} << k);
    };
    DrawReport report;
    report.allowed = DrawingThreads();
    report.bands = band_count;
    report.threads = RunPieces(runs, lane_count, run);
    ReportDraw(report);
    return status::kOk;
}

}  // namespace qavren
