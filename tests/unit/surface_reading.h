// An object loaded and its surfaces read, for the surface and texture tests.
#pragma once

#include <cstdint>
#include <vector>

#include "object/geometry.h"
#include "object/surfaces.h"

namespace qavren {

// An object loaded and its surfaces read, as a renderer reads them once the
// polygon walk has passed.
struct Read {
    ObjectBuffer buffer;
    ObjectSurfaces surfaces;
    uint32_t polygons = 0;
    Status status = status::kCorrupt;

    explicit Read(const std::vector<uint8_t>& bytes) {
        if (buffer.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())) != 0) return;
        ObjectPoints points;
        ObjectPolygons list;
        if (Failed(points.Find(buffer)) || Failed(list.Find(buffer))) return;
        PolygonWalk walk(list, points.count());
        Polygon p;
        Status s;
        while ((s = walk.Next(&p)) == 1) ++polygons;
        if (Failed(s)) return;
        status = surfaces.Read(buffer, list, points.count(), polygons);
    }
};

}  // namespace qavren
