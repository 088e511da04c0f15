// DrawShaded as four passes over the object, the way DrawPolygons reads:
//
// 1. Count: the model's polygons (every record was checked when it was
//    read), their corners and the most shapes they can make; then the
//    points turned, and where a surface is smooth the polygons that share
//    each point listed, with every face normal.
// 2. Keep: a pass keeps the triangles of each polygon's fan (and the dots
//    and lines) that reach a sample of the picture, in the polygons' order,
//    with the bands of rows each reaches: a face whose colour is the same
//    everywhere lit once, the others numbered for shading, their corners'
//    normals noted. The surfaces' image layers are bound before it.
// 3. Bin by band: a counting sort lists the shapes by their first band.
// 4. Draw the bands: each drawing thread, its sample block named by its
//    worker index, draws runs of consecutive bands into a block of a few
//    hundred kilobytes, each band's shapes in the order they were kept, so
//    that ties in depth go the same way in every band and on any thread,
//    then shades the band's visible samples (render/sample_shading.h) and
//    hands it to the resolver.
//
// Every failure is found in the first three passes and in having the
// threads' blocks, before any band is drawn.
#include "render/shaded.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "object/geometry.h"
#include "object/model.h"
#include "platform/owned_array.h"
#include "render/parallel.h"
#include "render/projection.h"
#include "render/sample_shading.h"
#include "render/shaded_raster.h"
#include "render/shading.h"
#include "render/texture_bind.h"

namespace qavren {
namespace {

using shaded_detail::FaceNormal;
using shaded_detail::Fit;
using shaded_detail::Light;
using shaded_detail::Neighbours;
using shaded_detail::Packed;
using shaded_detail::PixelStart64;
using shaded_detail::Rasteriser;
using shaded_detail::SampleShader;
using shaded_detail::Scene;
using shaded_detail::Shape;
using shaded_detail::SurfaceShade;
using shaded_detail::TowardsViewer;
using shaded_detail::TriangleBounds;
using shaded_detail::Vec3;
using shaded_detail::Vertex;

// A band's sample block is about this size (at least one row of pixels), so
// that it stays in the cache while its shapes are drawn and it is resolved.
constexpr uint64_t kBandBytes = 256 * 1024;

// The points as turned for the view, before the fit: what the normals are
// taken from. The same turn as ProjectPoints.
Status TurnPoints(const ObjectModel& model, const ModelTurn& turn, OwnedArray<float>* out) {
    if (Failed(out->Allocate(uint64_t{model.point_count()} * 3))) return status::kNoMemory;
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

// The sample rows a line (both ends in the picture) may write: those of the
// pixels its ends lie in, and a sample more each way for rounding.
void LineRows(double ay, double by, int64_t* j0, int64_t* j1) {
    *j0 = PixelStart64(static_cast<int64_t>(std::floor(std::min(ay, by))) - 1);
    *j1 = PixelStart64(static_cast<int64_t>(std::floor(std::max(ay, by))) + 1) + 1;
}

// The bands of the picture: `band_rows` pixel rows each (0: as many as
// make a block of about kBandBytes), the last one the rest.
class Bands {
public:
    Bands(int32_t width, int32_t height, int32_t band_rows) : height_(height) {
        const uint64_t row_bytes = uint64_t{ShadedSamples::kBytesPerPixel} * static_cast<uint32_t>(width);
        const uint64_t rows =
            band_rows > 0 ? static_cast<uint64_t>(band_rows) : std::max<uint64_t>(1, kBandBytes / row_bytes);
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

// Pass 1: what the polygons hold, every record checked.
struct PolygonCounts {
    uint32_t polygons = 0;
    uint64_t corners = 0;      // of the polygons of three corners and more
    uint64_t most_shapes = 0;  // a triangle a fan's corner past two, a dot or line a smaller polygon
};

PolygonCounts CountPolygons(const ModelPolygons& polygons) {
    const uint32_t polygon_count = polygons.count;
    uint64_t corners = 0, most_shapes = 0;
    for (uint32_t k = 0; k < polygon_count; ++k) {
        const uint16_t n = polygons[k].count;
        if (n >= 3) corners += n;
        most_shapes += n >= 3 ? n - 2 : 1;
    }
    return {polygon_count, corners, most_shapes};
}

// Pass 2: the shapes, in the polygons' order, into `shapes` (room for the
// most shapes); those that reach no sample of the picture are left out.
// *kept is how many are kept. A face is shaded where visible when its
// surface is smooth, textured or vertex-coloured (its corners' normals
// then go into `normals`, facing the viewer), else lit once here.
struct KeepInputs {
    const ModelPolygons* polygons;
    const ProjectedPoints* points;
    const ObjectSurfaces* surfaces;
    const float* turned;
    bool smooth;
    Neighbours* neighbours;
    const BoundTextures* textures;
    const SurfaceShade* shades;
    const double* min_cosines;  // a smooth surface's: the cosine of its smoothing angle
    float* normals;  // null when no face is shaded where visible
};

Status Keep(const KeepInputs& in, const Fit& fit, const Bands& bands, Shape* shapes, uint32_t* kept) {
    const ModelPolygons& polygons = *in.polygons;
    const ProjectedPoints& points = *in.points;
    const ObjectSurfaces& surfaces = *in.surfaces;
    const Light light;
    OwnedArray<Vertex> corner;
    if (Failed(corner.Allocate(kMaxPolygonIndices))) return status::kNoMemory;
    OwnedArray<bool> off;
    if (Failed(off.Allocate(kMaxPolygonIndices))) return status::kNoMemory;
    uint32_t shape_count = 0, slot = 0;
    for (uint32_t k = 0; k < polygons.count; ++k) {
        const Polygon polygon = polygons[k];
        const uint32_t surface = surfaces.SurfaceOf(k);
        const SurfaceShade& shade = in.shades[surface];
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
            shape.value = Packed(static_cast<uint32_t>(shade.red), static_cast<uint32_t>(shade.green),
                                 static_cast<uint32_t>(shade.blue)) |
                          ShadedSamples::kDrawn;
            if (bands.Place(j0, j1, fit.rows(), &shape)) ++shape_count;
            continue;
        }
        const SurfaceLook& look = surfaces.look(surface);
        const Vec3 face = in.smooth ? in.neighbours->Normal(k) : FaceNormal(in.turned, polygon);
        const bool turn_round = face.z > 0.0;
        const bool smooth_here = in.smooth && look.smoothing > 0.0f;
        const bool per_sample = smooth_here || in.textures->textured(surface) || in.textures->vertex_colours(surface);
        const Vec3 facing = TowardsViewer(face, turn_round);
        const uint32_t flat = light.Lit(shade, facing) | ShadedSamples::kDrawn;
        const uint32_t first_slot = slot;
        if (per_sample) {
            const double min_cosine = in.min_cosines[surface];
            for (uint32_t c = 0; c < polygon.count; ++c) {
                const Vec3 n = smooth_here
                                   ? TowardsViewer(in.neighbours->Smooth(k, polygon.Index(c), surfaces, min_cosine),
                                                   turn_round)
                                   : facing;
                float* to = in.normals + 3 * (uint64_t{slot} + c);
                to[0] = static_cast<float>(n.x), to[1] = static_cast<float>(n.y), to[2] = static_cast<float>(n.z);
            }
        }
        slot += polygon.count;
        for (uint32_t c = 0; c < polygon.count; ++c) off[c] = !fit.ToVertex(points[polygon.Index(c)], &corner[c]);
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
            shape.value = per_sample ? ShadedSamples::kShape | shape_count : flat;
            shape.polygon = k;
            shape.slot = first_slot;
            shape.fan = c;
            if (bands.Place(j0, j1, fit.rows(), &shape)) ++shape_count;
        }
    }
    *kept = shape_count;
    return status::kOk;
}

// Pass 3: the shapes by first band, in their order within it (a counting
// sort), and the most shapes any band reaches.
struct BandBins {
    OwnedArray<uint32_t> first;  // the shapes starting in band b: order[first[b] .. first[b + 1])
    OwnedArray<uint32_t> order;
    int64_t most_reaching = 0;
};

Status BinByBand(const Shape* shapes, uint32_t shape_count, int32_t band_count, BandBins* bins) {
    OwnedArray<uint32_t>& first = bins->first;
    OwnedArray<uint32_t>& order = bins->order;
    OwnedArray<int64_t> change;
    if (Failed(first.Allocate(uint64_t{static_cast<uint32_t>(band_count)} + 1)) ||
        Failed(order.Allocate(shape_count)) ||
        Failed(change.Allocate(uint64_t{static_cast<uint32_t>(band_count)} + 1))) {
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
        OwnedArray<uint32_t> fill;
        if (Failed(fill.Allocate(static_cast<uint32_t>(band_count)))) return status::kNoMemory;
        for (uint32_t k = 0; k < shape_count; ++k) {
            const auto b = static_cast<uint32_t>(shapes[k].first_band);
            order[first[b] + fill[b]++] = k;
        }
    }
    bins->most_reaching = most_reaching;
    return status::kOk;
}

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
    OwnedArray<uint32_t> active;
    SampleShader shader;
};

// Pass 4: every band drawn and resolved. Every thread's block and list is
// had before any band is drawn, so a failure leaves the picture untouched.
Status DrawBands(const Scene& scene, uint32_t shape_count, const BandBins& bins, const Bands& bands, const Fit& fit,
                 int32_t width, int32_t height, const DrawingOptions& drawing, ResolveBand resolve, void* context) {
    const Shape* shapes = scene.shapes;
    const int32_t band_count = bands.count();
    const int32_t threads = DrawingThreads(drawing);
    const int32_t lane_count = DrawingLanes(shape_count, width, height, band_count, threads);
    Lane lanes[kMaxThreads];
    for (int32_t k = 0; k < lane_count; ++k) {
        if (const Status s = lanes[k].samples.Allocate(width, bands.rows()); Failed(s)) return s;
        if (Failed(lanes[k].active.Allocate(static_cast<uint64_t>(bins.most_reaching)))) return status::kNoMemory;
        if (const Status s = lanes[k].shader.Allocate(scene.textures->most_layers()); Failed(s)) return s;
    }
    const OwnedArray<uint32_t>& first = bins.first;
    const OwnedArray<uint32_t>& order = bins.order;
    const int32_t runs = lane_count == 1 ? 1 : std::min(band_count, lane_count * kRunsPerThread);
    // Runs of consecutive bands; the worker's index names its lane, which no
    // other thread holds while it runs.
    auto run = [&](int32_t piece, int32_t worker) {
        Lane& lane = lanes[worker];
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
                    raster.Triangle(shape.geometry.corner[0], shape.geometry.corner[1], shape.geometry.corner[2],
                                    shape.value);
                } else if (shape.kind == Shape::kLine) {
                    raster.Line(shape.geometry.point[0], shape.geometry.point[1], shape.value);
                } else {
                    raster.Dot(shape.geometry.point[0], shape.value);
                }
            }
            if (scene.normals) lane.shader.ShadeBand(scene, &lane.samples);  // else every sample holds its colour
            resolve(context, lane.samples);
        }
    };
    DrawReport report;
    report.allowed = threads;
    report.bands = band_count;
    report.threads = RunPieces(runs, lane_count, run);
    ReportDraw(report);
    return status::kOk;
}

}  // namespace

Status DrawShaded(const ObjectModel& model, int32_t width, int32_t height, int32_t margin, const ModelTurn& turn,
                  const TextureSource* textures, const DrawingOptions& drawing, ResolveBand resolve, void* context) {
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
    const PolygonCounts counts = CountPolygons(polygons);
    const ObjectSurfaces& surfaces = model.surfaces;
    if (surfaces.polygon_count() != counts.polygons) return status::kCorrupt;  // read without its surfaces
    bool smooth = false;
    for (uint32_t k = 0; k < surfaces.surface_count(); ++k) smooth = smooth || surfaces.look(k).smoothing > 0.0f;

    OwnedArray<float> turned;
    if (const Status s = TurnPoints(model, turn, &turned); Failed(s)) return s;
    Neighbours neighbours;
    if (smooth) {
        if (const Status s = neighbours.Build(polygons, &turned[0], points.count(), counts.polygons, counts.corners);
            Failed(s)) {
            return s;
        }
    }
    // Shapes are counted in 31 bits (a polygon has fewer than 2^16 corners,
    // so this holds any object of under 2^15 polygons whatever their size),
    // corners in 32.
    if (counts.most_shapes >= ShadedSamples::kShape || counts.corners > UINT32_MAX) return status::kNoMemory;
    OwnedArray<Shape> shapes;
    if (Failed(shapes.Allocate(counts.most_shapes))) return status::kNoMemory;

    // The surfaces' light terms and image layers; the faces shaded where
    // visible need their corners' normals.
    OwnedArray<SurfaceShade> shades;
    OwnedArray<double> min_cosines;
    if (Failed(shades.Allocate(surfaces.surface_count())) || Failed(min_cosines.Allocate(surfaces.surface_count()))) {
        return status::kNoMemory;
    }
    BoundTextures bound;
    bound.Bind(surfaces, textures, drawing);
    bool per_sample = false;
    for (uint32_t k = 0; k < surfaces.surface_count(); ++k) {
        shades[k] = Light::ShadeOf(surfaces.look(k));
        if (surfaces.look(k).smoothing > 0.0f) min_cosines[k] = SeriesCosine(surfaces.look(k).smoothing);
        per_sample = per_sample || (smooth && surfaces.look(k).smoothing > 0.0f) || bound.textured(k) ||
                     bound.vertex_colours(k);
    }
    OwnedArray<float> normals;
    if (per_sample && Failed(normals.Allocate(counts.corners * 3))) return status::kNoMemory;

    const Fit fit(width, height, margin);
    const Bands bands(width, height, drawing.band_rows);
    uint32_t shape_count = 0;
    const KeepInputs in{&polygons,  &points,         &surfaces, &turned[0], smooth, &neighbours, &bound, &shades[0],
                        &min_cosines[0], per_sample ? &normals[0] : nullptr};
    if (const Status s = Keep(in, fit, bands, &shapes[0], &shape_count); Failed(s)) return s;
    BandBins bins;
    if (const Status s = BinByBand(&shapes[0], shape_count, bands.count(), &bins); Failed(s)) return s;
    Scene scene;
    scene.shapes = &shapes[0];
    scene.model = &model;
    scene.normals = per_sample ? &normals[0] : nullptr;
    scene.shades = &shades[0];
    scene.textures = &bound;
    return DrawBands(scene, shape_count, bins, bands, fit, width, height, drawing, resolve, context);
}

}  // namespace qavren
