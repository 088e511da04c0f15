// The one drawing call: a model in a style and a turn, over a background,
// into a picture's pixels. The plug-in's canvas (a bottom-up 24-bit block)
// and the thumbnails (top-down RGBA) are drawn through here; the canvas is
// the dark-blue background, the 16-pixel grid and the model.
#pragma once

#include <cstdint>

#include "image/texture_source.h"
#include "object/model.h"
#include "platform/status.h"
#include "render/parallel.h"
#include "render/surface.h"
#include "render/view.h"

namespace qavren {

// The three drawing styles: white outlines, flat-shaded depth-sorted
// triangles, and the shaded model in its surfaces' colours
// (render/shaded.h).
enum class DrawStyle : uint8_t { kWireframe, kPolygons, kShaded };

// Whether a style needs the model's surfaces (ReadModel's parts).
inline ModelParts PartsFor(DrawStyle style) {
    return style == DrawStyle::kShaded ? ModelParts::kWithSurfaces : ModelParts::kGeometry;
}

// What the shaded model is drawn over: the canvas's background and grid,
// nothing (transparent; only an RGBA picture has that, a 24-bit one draws
// the canvas), or a plain colour. The other styles always draw the canvas.
struct ShadedBackground {
    enum class Kind : uint8_t { kCanvas, kNone, kColour };
    Kind kind = Kind::kCanvas;
    Colour colour = 0;
};

struct DrawRequest {
    DrawStyle style = DrawStyle::kWireframe;
    ModelTurn turn;  // the front view unless given
    // The shaded style's: its background, and the pixels a side it keeps
    // clear of the model (the fit then uses the picture less the margins).
    ShadedBackground background;
    int32_t margin = 0;
    // The shaded style's image textures: where the images its surfaces'
    // layers name are found. Null draws every surface in its own colour; so
    // does an image that is not found or cannot be decoded.
    const TextureSource* textures = nullptr;
    // How to draw rather than what: threads and band rows, handed down to
    // the renderers. The pixels are the same for any.
    DrawingOptions drawing;
};

// A picture's pixels: `height` rows of `stride` bytes. kBottomUpBgr: 3 bytes
// a pixel (blue, green, red), the bottom row first (the plug-in's bitmap);
// kRgba: 4 bytes a pixel (red, green, blue, straight alpha), the top row
// first. Sides within kCoordinateLimit; the caller owns the pixels.
struct DrawTarget {
    enum class Format : uint8_t { kBottomUpBgr, kRgba };
    Format format;
    uint8_t* pixels;
    int32_t width;
    int32_t height;
    uint32_t stride;
};

// Draws every pixel of the target. status::kOk; status::kNoMemory when a
// block the drawing needs cannot be had; the renderer's failure (the
// model's polygon_status). A 24-bit target then holds the backdrop (and a
// wireframe what it drew before a bad record); an RGBA one is unspecified.
Status DrawModel(const ObjectModel& model, const DrawRequest& request, const DrawTarget& target);

}  // namespace qavren
