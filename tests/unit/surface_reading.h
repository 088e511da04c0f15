// An object loaded and its surfaces read, for the surface and texture tests.
#pragma once

#include <cstdint>
#include <vector>

#include "object/model.h"

namespace qavren {

// An object loaded and its surfaces read, as a renderer reads them once the
// polygon walk has passed.
struct Read {
    ObjectBuffer buffer;
    ObjectModel model;
    const ObjectSurfaces& surfaces = model.surfaces;
    uint32_t polygons = 0;
    Status status = status::kCorrupt;

    explicit Read(const std::vector<uint8_t>& bytes) {
        if (buffer.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())) != 0) return;
        const Status s = ReadModel(buffer, kEveryForm, ModelParts::kWithSurfaces, &model);
        if (Failed(s) || Failed(model.polygon_status)) return;
        polygons = model.polygons.count;
        status = s;
    }
};

}  // namespace qavren
