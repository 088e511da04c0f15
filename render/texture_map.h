// Where a point of the model lands on a layer's image: the texture
// coordinates of the planar, cylindrical, spherical, cubic and front
// projections, as LightWave places image maps.
//
// Coordinates. (u, v) are LightWave's: u runs right across the image and v
// runs up it, so that (0, 0) is the image's bottom-left corner and v = 1 its
// top row (row 0 of an Image). The model's axes are LightWave's too: +x
// right, +y up, +z away from the front view.
//
// Placement. A point p is first taken into the texture's own frame:
//   q = R⁻¹ (p - centre),  R = H(heading) · P(pitch) · B(bank)
// (bank about z, then pitch about x, then heading about y, LWO2's ROTA:
// heading turns +z towards +x, pitch +z towards -y, bank +x towards +y), and
// then, for the projections that measure lengths, divided by the size.
// Object and world coordinates are the same here: an object file places the
// object at the origin, so the world-coordinates flag changes nothing.
// With a = the axis coordinate of q and (s, t) the two others as LightWave
// takes them (x: (z, y), read right seen from +x; y: (x, z), the image's
// top towards +z, upright in the top view, which looks down with +z up;
// z: (x, y), read right seen from the front view, -z):
//   planar       u = s / size_s + 1/2,  v = t / size_t + 1/2
//   cylindrical  u = repeat_w · (1/2 + θ / 2π),  v = a / size_a + 1/2
//   spherical    u = repeat_w · (1/2 + θ / 2π),  v = 1/2 + φ / π
// where θ is the longitude about the axis, atan2(x, -z) for y, atan2(-z, y)
// for x, atan2(x, y) for z (the image's middle faces the front view, -z, for
// the y axis and +y for the others; the seam lies opposite, and u grows
// eastwards seen from outside with the axis's positive end up), and φ is the
// latitude, atan2(a, the distance from the axis): +π/2 at the axis's
// positive end, the image's top row. Repeats scale from the seam and
// from the top row: v = 1 - repeat_h · (1/2 - φ / π).
//   cubic        planar along the axis in which the normal is largest
//                (ties: x before y before z)
//   front        no camera lives in an object file: the nearest sound
//                reading is the front view's own projection, planar along z
//                with the layer's centre and size
//   UV           the caller's interpolated map value, not computed here
//
// Numbers. Arithmetic is double, rounded to float once; the angles come
// from polynomials of our own (no library atan2, sin or cos, whose last
// bits differ between C libraries), so every build gives the same bits.
// NaN or infinite inputs give NaN or infinite coordinates, which the
// sampler reads safely (texture_image.h).
#pragma once

#include "object/textures.h"

namespace qavren {

struct TextureCoordinates {
    float u = 0;
    float v = 0;
};

class TextureMapping {
public:
    TextureMapping() = default;
    explicit TextureMapping(const TextureLayer& layer);

    // The coordinates of a point of the model (object coordinates) with its
    // normal (used by cubic maps only; need not be unit length). UV layers
    // give (0, 0): their coordinates come from the map.
    TextureCoordinates Map(const float position[3], const float normal[3]) const;

private:
    Projection projection_ = Projection::kPlanar;
    int axis_ = 2;
    double centre_[3] = {0, 0, 0};
    double inverse_size_[3] = {1, 1, 1};
    double rows_[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // R⁻¹
    double repeat_width_ = 1, repeat_height_ = 1;
};

// atan2(y, x) in (-π, π] and sin, cos from polynomials (absolute error below
// 1e-7), the same bits on every build. atan2(0, 0) is 0; NaN gives NaN.
double ArcTangent2(double y, double x);
void SineCosineRadians(double radians, double* sine, double* cosine);

}  // namespace qavren
