// Face normals by Newell's method, and smooth normals as the mean of the
// face normals around a point within the surface's angle.
//
// Newell's method: summed over the polygon's edges u -> v, the terms
// (u.y - v.y)(u.z + v.z) and its two rotations are twice the signed areas
// of the polygon's shadows on the yz, zx and xy planes. For a planar
// polygon they are its normal times twice its area, whichever corner it
// starts at and however many corners it has; for a bent one, a normal
// averaged over its shape. Only sums, products and one sqrt, taken in the
// order written: the same bits on every build.
#include "render/shading.h"

#include <cmath>

namespace qavren::shaded_detail {

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

double PowerOfTwo(double x) {
    if (!(x > 0.0)) return 1.0;
    if (x > 12.0) x = 12.0;
    const double whole = std::floor(x);
    const double t = (x - whole) * 0.69314718055994530942;  // ln 2
    // e^t for t in [0, ln 2): 16 terms leave an error far below a float's.
    double term = 1.0, sum = 1.0;
    for (int n = 1; n < 16; ++n) {
        term = term * t / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(whole));
}

Light::Light()
    : to_light_(Normalised({ShadedLight::kToLight[0], ShadedLight::kToLight[1], ShadedLight::kToLight[2]})),
      half_way_(Normalised({to_light_.x, to_light_.y, to_light_.z - 1.0})) {}

SurfaceShade Light::ShadeOf(const SurfaceLook& look) {
    double gloss = look.glossiness >= 0.0f ? double{look.glossiness} : SurfaceLook{}.glossiness;
    if (gloss > 1.0) gloss = 1.0;
    return {static_cast<double>(look.red),
            static_cast<double>(look.green),
            static_cast<double>(look.blue),
            ShadedLight::kLight * Share(look.diffuse),
            Share(look.luminosity),
            ShadedLight::kLight * Share(look.specular),
            PowerOfTwo(10.0 * gloss + 2.0)};
}

Vec3 TowardsViewer(const Vec3& n, bool turn) {
    if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0) return {0.0, 0.0, -1.0};
    return turn ? Vec3{-n.x, -n.y, -n.z} : n;
}

Vec3 Neighbours::Smooth(uint32_t polygon, uint32_t point, const ObjectSurfaces& surfaces, double min_cosine) {
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

Status Neighbours::Build(const ModelPolygons& polygons, const float* turned, uint32_t point_count,
                         uint32_t polygon_count, uint64_t corners) {
    if (Failed(first_.Allocate(uint64_t{point_count} + 1)) || Failed(list_.Allocate(corners)) ||
        Failed(normals_.Allocate(uint64_t{polygon_count} * 3))) {
        return status::kNoMemory;
    }
    for (uint32_t k = 0; k < polygon_count; ++k) {
        const Polygon polygon = polygons[k];
        const Vec3 n = FaceNormal(turned, polygon);
        normals_[3 * uint64_t{k}] = static_cast<float>(n.x);
        normals_[3 * uint64_t{k} + 1] = static_cast<float>(n.y);
        normals_[3 * uint64_t{k} + 2] = static_cast<float>(n.z);
        if (polygon.count < 3) continue;
        for (uint32_t c = 0; c < polygon.count; ++c) ++first_[polygon.Index(c) + uint64_t{1}];
    }
    for (uint32_t p = 0; p < point_count; ++p) first_[p + uint64_t{1}] += first_[p];
    OwnedArray<uint64_t> fill;
    if (Failed(fill.Allocate(point_count))) return status::kNoMemory;
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

}  // namespace qavren::shaded_detail
