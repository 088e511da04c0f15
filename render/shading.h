// Shading for the shaded style: vectors, the light, and the normals a
// polygon's corners are lit with: its face normal, or where its surface is
// smooth the mean of its neighbours' within the surface's angle. Normals
// are taken from the turned points, before the fit.
#pragma once

#include <cmath>
#include <cstdint>

#include "object/geometry.h"
#include "object/model_polygons.h"
#include "object/surfaces.h"
#include "platform/owned_array.h"
#include "platform/status.h"
#include "render/shaded_raster.h"

namespace qavren {

// The light, in the turned model's axes (x right, y up, z away from the
// viewer): one directional light from the upper left and in front, and an
// ambient share so that no lit surface is black. A lit colour is
//   colour × (ambient + light × diffuse × cos + luminosity)
//     + 255 × light × specular × highlight,
// each channel clamped to 255, where cos is the cosine between the normal
// (turned to face the viewer) and the direction towards the light, or 0
// when negative, and the highlight is Schlick's rational stand-in for
// cos_h^e, x / (e - e x + x) with x = cos_h, the cosine between the normal
// and the half-way direction between the light and the viewer, and
// e = 2^(10 glossiness + 2), LightWave's exponent: a white highlight, as
// LightWave draws its default surfaces. The stand-in keeps the highlight
// to sums, products and one division, the same bits on every build.
struct ShadedLight {
    static constexpr double kToLight[3] = {-1.0, 1.0, -1.5};  // normalised when used
    static constexpr double kAmbient = 0.3;
    static constexpr double kLight = 0.8;
};

namespace shaded_detail {

struct Vec3 {
    double x, y, z;
};

inline double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// The unit vector along v, or (0, 0, 0) when v has no length (or is not finite).
inline Vec3 Normalised(const Vec3& v) {
    const double length = std::sqrt(Dot(v, v));
    if (!(length > 0.0) || !(length < HUGE_VAL)) return {0.0, 0.0, 0.0};
    return {v.x / length, v.y / length, v.z / length};
}

// The same with one division, for the many normals of the shaded samples
// (its last bits may differ from Normalised's).
inline Vec3 NormalisedQuickly(const Vec3& v) {
    const double length = std::sqrt(Dot(v, v));
    if (!(length > 0.0) || !(length < HUGE_VAL)) return {0.0, 0.0, 0.0};
    const double inverse = 1.0 / length;
    return {v.x * inverse, v.y * inverse, v.z * inverse};
}

// A share read from a file: NaN and negative values count as none.
inline double Share(float v) { return v >= 0.0f ? double{v} : 0.0; }

// What a surface gives the light, worked out once a picture: its colour
// (0 .. 255 a channel) and its shares read safely.
struct SurfaceShade {
    double red, green, blue;
    double diffuse;     // light × diffuse
    double luminosity;
    double highlight;   // light × specular; 0: none
    double exponent;    // e
};

// 2^x for x in 0 .. 12 from ldexp and a series: the same bits everywhere.
double PowerOfTwo(double x);

class Light {
public:
    Light();

    static SurfaceShade ShadeOf(const SurfaceLook& look);

    // The lit colour 0xRRGGBB of `red`, `green`, `blue` (0 .. 255: the
    // surface's colour, or its textured colour) on `shade`'s surface, for a
    // unit normal facing the viewer.
    uint32_t Lit(const SurfaceShade& shade, double red, double green, double blue, const Vec3& normal) const {
        double cosine = Dot(normal, to_light_);
        if (!(cosine > 0.0)) cosine = 0.0;
        const double k = ShadedLight::kAmbient + shade.diffuse * cosine + shade.luminosity;
        double white = 0.0;
        if (shade.highlight > 0.0) {
            const double x = Dot(normal, half_way_);
            if (x > 0.0) white = 255.0 * shade.highlight * x / (shade.exponent - shade.exponent * x + x);
        }
        return Packed(Channel(red * k + white), Channel(green * k + white), Channel(blue * k + white));
    }
    uint32_t Lit(const SurfaceShade& shade, const Vec3& normal) const {
        return Lit(shade, shade.red, shade.green, shade.blue, normal);
    }

private:
    Vec3 to_light_;
    Vec3 half_way_;  // between the light and the viewer (-z)
};

// The normal of a polygon by Newell's method (any winding, any number of
// corners, planar or not), unit length or zero, rounded to float.
Vec3 FaceNormal(const float* turned, const Polygon& polygon);

// Facing the viewer (who looks along +z): the normal of a face that points
// away is turned round, so both sides of a face are lit alike. A face
// without a normal faces the viewer.
Vec3 TowardsViewer(const Vec3& n, bool turn);

// Smooth normals look at every polygon that shares a corner's point; a
// point shared by very many polygons would make that quadratic, so the
// looks are limited to this many a corner on average (then faces are flat).
constexpr uint64_t kSmoothLooksPerCorner = 64;

// Which polygons share each point, and every polygon's unit face normal:
// what smooth normals are averaged from.
class Neighbours {
public:
    // kOk, kNoMemory when the lists cannot be had.
    Status Build(const ModelPolygons& polygons, const float* turned, uint32_t point_count, uint32_t polygon_count,
                 uint64_t corners);

    Vec3 Normal(uint32_t polygon) const {
        const float* n = &normals_[3 * uint64_t{polygon}];
        return {n[0], n[1], n[2]};
    }

    // The smooth normal of `polygon` at `point` (before it is turned to the
    // viewer): the mean of the face normals of the polygons at the point
    // that use the same surface and lie within the angle whose cosine is
    // `min_cosine`. The face normal once the looks are spent.
    Vec3 Smooth(uint32_t polygon, uint32_t point, const ObjectSurfaces& surfaces, double min_cosine);

private:
    OwnedArray<uint64_t> first_;  // polygons at point p: list_[first_[p] .. first_[p + 1])
    OwnedArray<uint32_t> list_;
    OwnedArray<float> normals_;
    uint64_t looks_left_ = 0;
};

}  // namespace shaded_detail
}  // namespace qavren
