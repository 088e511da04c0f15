// The canvas picture: the dark-blue background, the 16-pixel grid and the
// model as a wireframe or as polygons, drawn into a bottom-up 24-bit pixel
// block. The plug-in's picture and the thumbnails are drawn through here.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "object/status.h"

namespace qavren {

// A bottom-up 24-bit block: `height` rows of `stride` bytes (at least 3 ×
// width), the bottom canvas row first.
struct CanvasBlock {
    uint8_t* bits;
    int32_t width;
    int32_t height;
    uint32_t stride;
};

// Background, grid and the model: the wireframe for mode 0, the polygons
// for any other mode, turned by the three angles (all zero: the front
// view). Returns the renderer's Status.
Status DrawCanvas(const ObjectBuffer& buffer, int32_t mode, int32_t angle_x, int32_t angle_y, int32_t angle_z,
                  const CanvasBlock& block);

}  // namespace qavren
