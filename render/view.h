// ModelTurn: the view the three angles give, a turn of the model about the
// origin, p' = Ry(angle_y) · Rx(angle_x) · Rz(angle_z) · p: first about z
// (bank), then x (pitch), then y (heading), each right-handed. Angles are
// whole degrees, any 32-bit value, taken modulo 360.
//
// Precision: the matrix and each turned coordinate are double; the result
// is rounded to float once. At multiples of 90° the sines and cosines are
// exactly 0 and ±1 and a zero term is left out of its sum rather than
// multiplied in, so such a turn only swaps and negates coordinates: the
// turned point is bit for bit the point a file with those coordinates holds
// (NaN and infinities included).
#pragma once

#include <cstdint>

namespace qavren {

class ModelTurn {
public:
    // The front view: no turn.
    ModelTurn() = default;
    ModelTurn(int32_t angle_x, int32_t angle_y, int32_t angle_z);

    // True when every angle is a multiple of 360: points are left untouched.
    bool identity() const { return identity_; }

    // The turned point, rounded to float.
    void Apply(float* x, float* y, float* z) const {
        const double in[3] = {*x, *y, *z};
        *x = static_cast<float>(rows_[0].Of(in));
        *y = static_cast<float>(rows_[1].Of(in));
        *z = static_cast<float>(rows_[2].Of(in));
    }

private:
    // One row of the matrix as its nonzero terms, in column order.
    struct Row {
        uint32_t count = 0;
        uint32_t column[3] = {};
        double factor[3] = {};

        double Of(const double in[3]) const {
            double sum = factor[0] * in[column[0]];  // a rotation row holds at least one
            for (uint32_t k = 1; k < count; ++k) sum += factor[k] * in[column[k]];
            return sum;
        }
    };

    Row rows_[3];
    bool identity_ = true;
};

// The sine and cosine of a whole number of degrees: exactly 0 and ±1 at the
// multiples of 90, and the same values on every build (no library call).
void SineCosine(int32_t degrees, double* sine, double* cosine);

// The cosine of an angle in radians, from its series (the same on every
// build): 1 at 0, -1 from pi up, NaN for NaN.
double SeriesCosine(double radians);

}  // namespace qavren
