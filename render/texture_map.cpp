// The projections told in texture_map.h.
#include "render/texture_map.h"

#include <cmath>

namespace qavren {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHalfPi = kPi / 2;
constexpr double kTwoPi = 2 * kPi;

// atan(t) for |t| <= 1: Abramowitz and Stegun 4.4.49, error below 2e-8.
double ArcTangentUnit(double t) {
    const double t2 = t * t;
    return t * (0.9999993329 +
                t2 * (-0.3332985605 +
                      t2 * (0.1994653599 +
                            t2 * (-0.1390853351 +
                                  t2 * (0.0964200441 + t2 * (-0.0559098861 + t2 * (0.0218612288 + t2 * -0.0040540580)))))));
}

double Sine(double r) {  // |r| <= π/4: Taylor to r^11, error below 1e-11
    const double r2 = r * r;
    return r * (1 + r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880 + r2 * (-1.0 / 39916800))))));
}

double Cosine(double r) {  // |r| <= π/4: Taylor to r^12
    const double r2 = r * r;
    return 1 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 + r2 * (-1.0 / 3628800 + r2 / 479001600)))));
}

// The longitude in units of a whole turn, in (0, 1]: 1/2 + θ / 2π.
double Turn(double s, double n) { return 0.5 + ArcTangent2(s, n) / kTwoPi; }

}  // namespace

double ArcTangent2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) return NAN;
    if (std::isinf(x) || std::isinf(y)) {  // the direction of the infinite parts alone
        x = std::isinf(x) ? std::copysign(1.0, x) : 0.0;
        y = std::isinf(y) ? std::copysign(1.0, y) : 0.0;
    }
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0 && ay == 0) return 0;
    double r = ay <= ax ? ArcTangentUnit(ay / ax) : kHalfPi - ArcTangentUnit(ax / ay);
    if (x < 0) r = kPi - r;
    return y < 0 ? -r : r;
}

void SineCosineRadians(double radians, double* sine, double* cosine) {
    if (!std::isfinite(radians)) radians = 0;
    radians = std::fmod(radians, kTwoPi);  // exact
    const double quarter = std::nearbyint(radians / kHalfPi);
    const double r = radians - quarter * kHalfPi;
    const double s = Sine(r), c = Cosine(r);
    switch (static_cast<int>(quarter) & 3) {
    case 0: *sine = s, *cosine = c; break;
    case 1: *sine = c, *cosine = -s; break;
    case 2: *sine = -s, *cosine = -c; break;
    default: *sine = -c, *cosine = s; break;
    }
}

TextureMapping::TextureMapping(const TextureLayer& layer)
    : projection_(layer.projection),
      axis_(layer.axis < 3 ? layer.axis : 2),
      repeat_width_(layer.repeat_width),
      repeat_height_(layer.repeat_height) {
    for (int k = 0; k < 3; ++k) {
        centre_[k] = layer.centre[k];
        inverse_size_[k] = layer.size[k] != 0 ? 1.0 / layer.size[k] : 1.0;
    }
    // R = H · P · B; its inverse is its transpose.
    double sh, ch, sp, cp, sb, cb;
    SineCosineRadians(layer.rotation[0], &sh, &ch);
    SineCosineRadians(layer.rotation[1], &sp, &cp);
    SineCosineRadians(layer.rotation[2], &sb, &cb);
    const double h[3][3] = {{ch, 0, sh}, {0, 1, 0}, {-sh, 0, ch}};
    const double p[3][3] = {{1, 0, 0}, {0, cp, -sp}, {0, sp, cp}};
    const double b[3][3] = {{cb, -sb, 0}, {sb, cb, 0}, {0, 0, 1}};
    double hp[3][3], r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) hp[i][j] = h[i][0] * p[0][j] + h[i][1] * p[1][j] + h[i][2] * p[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = hp[i][0] * b[0][j] + hp[i][1] * b[1][j] + hp[i][2] * b[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rows_[i][j] = r[j][i];
}

TextureCoordinates TextureMapping::Map(const float position[3], const float normal[3]) const {
    if (projection_ == Projection::kUv) return {};
    const double d[3] = {position[0] - centre_[0], position[1] - centre_[1], position[2] - centre_[2]};
    double q[3];
    for (int i = 0; i < 3; ++i) q[i] = rows_[i][0] * d[0] + rows_[i][1] * d[1] + rows_[i][2] * d[2];
    const double x = q[0], y = q[1], z = q[2];

    int axis = axis_;
    Projection projection = projection_;
    if (projection == Projection::kFront) {
        projection = Projection::kPlanar;
        axis = 2;
    } else if (projection == Projection::kCubic) {
        projection = Projection::kPlanar;
        double n[3];
        for (int i = 0; i < 3; ++i) n[i] = std::fabs(rows_[i][0] * normal[0] + rows_[i][1] * normal[1] + rows_[i][2] * normal[2]);
        axis = n[0] >= n[1] && n[0] >= n[2] ? 0 : n[1] >= n[2] ? 1 : 2;
    }

    double u = 0, v = 0;
    if (projection == Projection::kPlanar) {
        switch (axis) {
        case 0: u = z * inverse_size_[2], v = y * inverse_size_[1]; break;
        case 1: u = x * inverse_size_[0], v = z * inverse_size_[2]; break;
        default: u = x * inverse_size_[0], v = y * inverse_size_[1]; break;
        }
        u += 0.5, v += 0.5;
    } else {
        // (a, s, n): the axis, and the longitude's atan2(s, n) arguments.
        double a, s, n;
        switch (axis) {
        case 0: a = x, s = -z, n = y; break;
        case 1: a = y, s = x, n = -z; break;
        default: a = z, s = x, n = y; break;
        }
        u = repeat_width_ * Turn(s, n);
        if (projection == Projection::kCylindrical) {
            v = a * inverse_size_[axis] + 0.5;
        } else {
            const double latitude = ArcTangent2(a, std::sqrt(s * s + n * n));
            v = 1 - repeat_height_ * (0.5 - latitude / kPi);
        }
    }
    return {static_cast<float>(u), static_cast<float>(v)};
}

}  // namespace qavren
