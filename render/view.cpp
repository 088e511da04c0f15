// ModelTurn: the matrix Ry · Rx · Rz from the sines and cosines of whole
// degrees, each row kept as its nonzero terms; and the cosine of radians
// from its series, for the shaded style's smoothing angle.
#include "render/view.h"

#include <array>
#include <cmath>

namespace qavren {
namespace {

constexpr double kPi = 3.14159265358979323846;

// sin(x) for 0 <= x <= pi/4 by its Taylor series, evaluated by the compiler
// in IEEE double: the table below is the same on every target whatever its
// maths library. The last term kept is far below half an ulp.
constexpr double TaylorSine(double x) {
    double term = x, sum = x;
    for (int n = 1; n < 12; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr double TaylorCosine(double x) {
    double term = 1.0, sum = 1.0;
    for (int n = 1; n < 12; ++n) {
        term *= -x * x / ((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

// kSine[d] = sin(d°) for d = 0..90, each from the series over at most 45°.
constexpr std::array<double, 91> MakeSineTable() {
    std::array<double, 91> table{};
    for (int d = 0; d <= 90; ++d) {
        table[d] = d <= 45 ? TaylorSine(d * kPi / 180) : TaylorCosine((90 - d) * kPi / 180);
    }
    table[0] = 0.0;
    table[90] = 1.0;
    return table;
}
constexpr std::array<double, 91> kSine = MakeSineTable();

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    }
    return m;
}

}  // namespace

void SineCosine(int32_t degrees, double* sine, double* cosine) {
    const int32_t turn = (degrees % 360 + 360) % 360;  // no overflow: |degrees % 360| < 360
    const int32_t within = turn % 90;
    const double s = kSine[within], c = kSine[90 - within];
    switch (turn / 90) {
        case 0: *sine = s, *cosine = c; break;
        case 1: *sine = c, *cosine = -s; break;
        case 2: *sine = -s, *cosine = -c; break;
        default: *sine = -c, *cosine = s; break;
    }
}

double SeriesCosine(double radians) {
    if (radians != radians) return radians;
    double x = std::fabs(radians);
    if (x >= kPi) return -1.0;
    // 1 - x^2/2! + x^4/4! - ...: below pi the terms past x^30 are under 1e-16.
    const double square = x * x;
    double term = 1.0, sum = 1.0;
    for (int k = 1; k <= 15; ++k) {
        term = -term * square / ((2.0 * k - 1.0) * (2.0 * k));
        sum += term;
    }
    return sum;
}

ModelTurn::ModelTurn(int32_t angle_x, int32_t angle_y, int32_t angle_z) {
    identity_ = angle_x % 360 == 0 && angle_y % 360 == 0 && angle_z % 360 == 0;
    double sx, cx, sy, cy, sz, cz;
    SineCosine(angle_x, &sx, &cx);
    SineCosine(angle_y, &sy, &cy);
    SineCosine(angle_z, &sz, &cz);
    const Matrix rx = {{{1, 0, 0}, {0, cx, -sx}, {0, sx, cx}}};
    const Matrix ry = {{{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}}};
    const Matrix rz = {{{cz, -sz, 0}, {sz, cz, 0}, {0, 0, 1}}};
    const Matrix m = Multiply(ry, Multiply(rx, rz));
    for (uint32_t i = 0; i < 3; ++i) {
        Row& row = rows_[i];
        for (uint32_t j = 0; j < 3; ++j) {
            if (m[i][j] == 0.0) continue;
            row.column[row.count] = j;
            row.factor[row.count] = m[i][j];
            ++row.count;
        }
    }
}

}  // namespace qavren
