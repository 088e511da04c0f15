// The surfaces of an object: for now every polygon gets the default surface.
#include "object/surfaces.h"

#include "platform/memory.h"

namespace qavren {

ObjectSurfaces::~ObjectSurfaces() {
    platform::Free(looks_);
    platform::Free(polygon_surfaces_);
}

Status ObjectSurfaces::Read(const ObjectBuffer&, const ObjectPolygons&, uint32_t, uint32_t polygon_count) {
    auto* looks = static_cast<SurfaceLook*>(platform::AllocateZeroed(sizeof(SurfaceLook)));
    if (!looks) return status::kNoMemory;
    *looks = SurfaceLook{};
    platform::Free(looks_);
    platform::Free(polygon_surfaces_);
    looks_ = looks;
    polygon_surfaces_ = nullptr;
    surface_count_ = 1;
    polygon_count_ = polygon_count;
    return status::kOk;
}

}  // namespace qavren
