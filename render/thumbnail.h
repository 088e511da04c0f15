// The thumbnail picture: the one picture of an object that every shell
// shows for a size it is asked for (qavren thumbnail, the image loaders,
// Explorer's thumbnail handler). The shells only translate their
// framework's calls into DrawThumbnail and its RGBA pixels into their own
// image type; none of them draws anything itself.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/owned_array.h"
#include "platform/status.h"
#include "render/canvas.h"

namespace qavren {

// What every shell shows when its framework asks for no size.
constexpr int32_t kDefaultWidth = 800;
constexpr int32_t kDefaultHeight = 600;

// An owned RGBA picture, for callers that keep one: top row first, 4 bytes
// a pixel (red, green, blue, alpha), straight (not premultiplied) alpha,
// rows 4 × width bytes apart with no padding.
class RgbaPicture {
public:
    // status::kOk, or status::kNoMemory when a side is not positive, above
    // 2^28, or the block would exceed 2^31 - 1 bytes or cannot be had. Any
    // earlier block is freed.
    Status Allocate(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t stride() const { return 4u * static_cast<uint32_t>(width_); }
    const uint8_t* pixels() const { return pixels_.data(); }
    uint8_t* pixels() { return pixels_.data(); }

private:
    OwnedArray<uint8_t> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// How a thumbnail is drawn. ThumbnailDefaults() is what every shell shows:
// the shaded model in a three-quarter view, on no background (transparent,
// the edges' alpha from the samples), with a margin so that the model never
// touches the picture's edge. qavren's options change single fields of it.
// The wireframe and polygon styles are the canvas picture as the plug-in
// draws it (its background, no margin; `background` and `margin` unused).
struct ThumbnailOptions {
    DrawStyle style = DrawStyle::kShaded;
    // Whole degrees, as the plug-in's angles with View = 1.
    int32_t angle_x = -30;
    int32_t angle_y = 35;
    int32_t angle_z = 0;
    ShadedBackground background = {ShadedBackground::Kind::kNone, 0};
    bool margin = true;  // ThumbnailMargin pixels a side
    DrawingOptions drawing;  // the threads and bands it is drawn with
    // Where the shaded style finds its images: a shell that knows the
    // object's file name gives one (textured is the default look); null
    // draws untextured.
    const TextureSource* textures = nullptr;
};

// The margin of a width × height thumbnail: a twentieth of the shorter side,
// at least 3 pixels (a dot reaches a pixel beyond its point, and an edge
// sample's pixel one more); none when the picture is too small to keep one.
int32_t ThumbnailMargin(int32_t width, int32_t height);

ThumbnailOptions ThumbnailDefaults();

// Draws the object in `buffer` (any of the four forms) at width × height
// into the caller's RGBA pixels (as RgbaPicture lays them out, rows `stride`
// bytes apart). status::kOk; status::kNoMemory for a size refused (as
// RgbaPicture::Allocate refuses them) or memory not had; status::kCorrupt
// for a corrupt object; CheckForm's result unchanged for data of none of the
// four forms. On failure the pixels are unspecified.
Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                     uint8_t* rgba, uint32_t stride);

// The same into a picture of its own, put in *out on success (on any
// failure *out is as it was).
Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                     RgbaPicture* out);

// With ThumbnailDefaults(): the one call a shell makes.
inline Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, RgbaPicture* out) {
    return DrawThumbnail(buffer, width, height, ThumbnailDefaults(), out);
}

}  // namespace qavren
