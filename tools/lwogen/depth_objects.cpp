// Depth patterns and the objects that carry them.
#include "tools/lwogen/depth_objects.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qavren::tools {

std::vector<float> MiddlePivotKiller(size_t n) {
    std::vector<size_t> at(n);  // at[p]: original index of the record now at p
    for (size_t p = 0; p < n; ++p) at[p] = p;
    std::vector<float> depth(n);
    for (size_t low = 0; low + 1 < n; ++low) {
        const size_t middle = (low + n - 1) / 2;
        depth[at[middle]] = float(low);
        std::swap(at[low], at[middle]);
    }
    if (n) depth[at[n - 1]] = float(n - 1);
    return depth;
}

std::vector<float> RingDepths(size_t n) {
    std::vector<float> depth(n);
    for (size_t k = 0; k < n; ++k) depth[k] = float(-std::cos(6.283185307179586 * double(k) / double(n)));
    return depth;
}

// Point k sits at (k mod 256, k / 256, k). The record of the polygon
// (p, p + e) has the depth (2p + p + e) / 3 = rank / 3 for rank = 3p + e,
// distinct and rising with the rank up to kMaxDepthRecords.
LwoWriter MakeDepthObject(const std::vector<float>& depths) {
    std::vector<float> distinct = depths;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    LwoWriter w;
    for (uint32_t k = 0; k < 65536; ++k) w.AddPoint(float(k % 256), float(k / 256), float(k));
    for (float d : depths) {
        const auto rank = static_cast<uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), d) - distinct.begin());
        const auto p = static_cast<uint16_t>(rank / 3);
        w.AddPolygon({p, static_cast<uint16_t>(p + rank % 3)});
    }
    return w;
}

LwoWriter MakeDoubleSidedCylinder(int sides, double turn, bool end_on) {
    LwoWriter w;
    const double c = std::cos(turn), s = std::sin(turn);
    for (int k = 0; k < sides; ++k) {
        const double a = 6.283185307179586 * k / sides;
        for (double along : {-1.0, 1.0}) {
            // Axis along y, or along z when seen end-on; then turned about x.
            const double x = std::cos(a), u = std::sin(a);
            const double y = end_on ? u : along, z = end_on ? along : u;
            w.AddPoint(float(x), float(y * c - z * s), float(y * s + z * c));
        }
    }
    for (int k = 0; k < sides; ++k) {
        const auto a = static_cast<uint16_t>(2 * k), b = static_cast<uint16_t>(2 * k + 1);
        const auto c1 = static_cast<uint16_t>(2 * ((k + 1) % sides) + 1), d = static_cast<uint16_t>(2 * ((k + 1) % sides));
        for (const std::vector<uint16_t>& t : {std::vector<uint16_t>{a, b, c1}, std::vector<uint16_t>{a, c1, d}}) {
            w.AddPolygon(t);
            w.AddPolygon({t[2], t[1], t[0]});
        }
    }
    return w;
}

}  // namespace qavren::tools
