// The thumbnail picture: the one picture of an object that every shell
// shows for a size it is asked for (qavren thumbnail, the image loaders,
// Explorer's thumbnail handler). The shells only translate their
// framework's calls into DrawThumbnail and its RGBA pixels into their own
// image type; none of them draws anything itself.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "render/canvas.h"

namespace qavren {

// Top row first, 4 bytes a pixel (red, green, blue, alpha), straight (not
// premultiplied) alpha, rows 4 × width bytes apart with no padding. The
// block is owned, zero-initialised when allocated, and freed on destruction.
class RgbaPicture {
public:
    RgbaPicture() = default;
    RgbaPicture(const RgbaPicture&) = delete;
    RgbaPicture& operator=(const RgbaPicture&) = delete;
    ~RgbaPicture();

    // kOk, or kNoMemory when a side is not positive, above 2^28, or the block
    // would exceed 2^31 - 1 bytes or cannot be had. Any earlier block is freed.
    Status Allocate(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t stride() const { return 4u * static_cast<uint32_t>(width_); }
    const uint8_t* pixels() const { return pixels_; }
    uint8_t* pixels() { return pixels_; }

private:
    uint8_t* pixels_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// How a thumbnail is drawn. ThumbnailDefaults() is what every shell shows:
// the shaded model in a three-quarter view, on no background (transparent,
// the edges' alpha from the samples), with a margin so that the model never
// touches the picture's edge. qavren's options change single fields of it.
// The wireframe and polygon styles are the canvas picture as the plug-in
// draws it (its background, no margin; `background` and `margin` unused).
enum class ThumbnailStyle : uint8_t { kWireframe, kPolygons, kShaded };

struct ThumbnailOptions {
    ThumbnailStyle style = ThumbnailStyle::kShaded;
    // Whole degrees, as the plug-in's angles with View = 1.
    int32_t angle_x = -30;
    int32_t angle_y = 35;
    int32_t angle_z = 0;
    ShadedBackground background = {ShadedBackground::Kind::kNone, 0};
    bool margin = true;  // ThumbnailMargin pixels a side
    DrawingOptions drawing;  // the threads and bands it is drawn with
};

// The margin of a width × height thumbnail: a twentieth of the shorter side,
// at least 3 pixels (a dot reaches a pixel beyond its point, and an edge
// sample's pixel one more); none when the picture is too small to keep one.
int32_t ThumbnailMargin(int32_t width, int32_t height);

ThumbnailOptions ThumbnailDefaults();

// Draws the object in `buffer` (any of the four forms) at width × height.
// kOk with the picture in *out; kNoMemory for a size refused or memory not
// had; kCorrupt for a corrupt object; CheckForm's result unchanged for data
// of none of the four forms. On any failure *out is as it was.
Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                     RgbaPicture* out);

// The same with ThumbnailDefaults(): the one call a shell makes.
inline Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, RgbaPicture* out) {
    return DrawThumbnail(buffer, width, height, ThumbnailDefaults(), out);
}

}  // namespace qavren
