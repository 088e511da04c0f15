// Sample shapes: a cube, a UV sphere and a torus, made of quads and
// triangles wound clockwise as seen from the front (-z).
#include <cmath>

#include "tools/lwogen/lwo_writer.h"

namespace qavren::tools {

LwoWriter MakeCube() {
    LwoWriter w;
    for (int i = 0; i < 8; ++i) {
        w.AddPoint(i & 1 ? 1.f : -1.f, i & 2 ? 1.f : -1.f, i & 4 ? 1.f : -1.f);
    }
    w.AddSurface("Cube");
    w.AddPolygon({0, 2, 3, 1});  // z = -1
    w.AddPolygon({4, 5, 7, 6});  // z = +1
    w.AddPolygon({0, 1, 5, 4});  // y = -1
    w.AddPolygon({2, 6, 7, 3});  // y = +1
    w.AddPolygon({0, 4, 6, 2});  // x = -1
    w.AddPolygon({1, 3, 7, 5});  // x = +1
    return w;
}

LwoWriter MakeSphere(int rings, int segments) {
    LwoWriter w;
    const double pi = 3.14159265358979323846;
    const uint16_t top = w.AddPoint(0, 1, 0);
    for (int r = 1; r < rings; ++r) {
        const double phi = pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double theta = 2 * pi * s / segments;
            w.AddPoint(static_cast<float>(std::sin(phi) * std::cos(theta)), static_cast<float>(std::cos(phi)),
                       static_cast<float>(std::sin(phi) * std::sin(theta)));
        }
    }
    const uint16_t bottom = w.AddPoint(0, -1, 0);
    auto at = [&](int r, int s) { return static_cast<uint16_t>(1 + (r - 1) * segments + (s % segments)); };
    w.AddSurface("Sphere");
    for (int s = 0; s < segments; ++s) w.AddPolygon({top, at(1, s + 1), at(1, s)});
    for (int r = 1; r + 1 < rings; ++r) {
        for (int s = 0; s < segments; ++s) w.AddPolygon({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
    }
    for (int s = 0; s < segments; ++s) w.AddPolygon({bottom, at(rings - 1, s), at(rings - 1, s + 1)});
    return w;
}

LwoWriter MakeTorus(int rings, int segments, float major, float minor) {
    LwoWriter w;
    const double pi = 3.14159265358979323846;
    const double kCos30 = std::cos(pi / 6), kSin30 = std::sin(pi / 6);
    for (int r = 0; r < rings; ++r) {
        const double u = 2 * pi * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double v = 2 * pi * s / segments;
            const double ring = major + minor * std::cos(v);
            // Tilted 30 degrees about x, so that the front view shows the hole.
            const double y = minor * std::sin(v), z = ring * std::sin(u);
            w.AddPoint(static_cast<float>(ring * std::cos(u)), static_cast<float>(y * kCos30 - z * kSin30),
                       static_cast<float>(y * kSin30 + z * kCos30));
        }
    }
    auto at = [&](int r, int s) { return static_cast<uint16_t>((r % rings) * segments + (s % segments)); };
    w.AddSurface("Torus");
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) w.AddPolygon({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
    }
    return w;
}

}  // namespace qavren::tools
