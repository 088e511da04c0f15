// The canvas picture: the dark-blue background, the 16-pixel grid and the
// model as a wireframe or as polygons, drawn into a bottom-up 24-bit pixel
// block. The plug-in's picture and the thumbnails are drawn through here.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "render/parallel.h"
#include "render/surface.h"

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
// view), the polygons on the threads `drawing` allows. Returns the
// renderer's Status.
Status DrawCanvas(const ObjectBuffer& buffer, int32_t mode, int32_t angle_x, int32_t angle_y, int32_t angle_z,
                  const CanvasBlock& block, const DrawingOptions& drawing = {});

// What the shaded model is drawn over: the canvas's background and grid,
// nothing (transparent; only an RGBA picture has that), or a plain colour.
struct ShadedBackground {
    enum class Kind : uint8_t { kCanvas, kNone, kColour };
    Kind kind = Kind::kCanvas;
    Colour colour = 0;
};

// The shaded model (render/shaded.h) over the background and grid, or over
// a plain colour (kNone is drawn as the canvas here), fitted into the canvas
// less `margin` pixels a side. Each pixel is its four samples averaged,
// those the model left empty taking the backdrop's pixel, band by band as
// the bands are drawn, as `drawing` says. kOk, kNoMemory when the samples
// (a band block a drawing thread) or the renderer's blocks cannot be had, or
// the renderer's failure; the block then holds the backdrop alone.
Status DrawShadedCanvas(const ObjectBuffer& buffer, int32_t angle_x, int32_t angle_y, int32_t angle_z,
                        int32_t margin, const ShadedBackground& background, const CanvasBlock& block,
                        const DrawingOptions& drawing = {});

}  // namespace qavren
