// The thumbnail picture: the object read into its model and drawn in the
// thumbnail's view into RGBA rows, top row first.
#include "render/thumbnail.h"

#include <utility>

#include "object/model.h"

namespace qavren {
namespace {

// The same limits as the plug-in's picture: sides within the surface's
// coordinate range, the block within 2^31 - 1 bytes.
bool SizeFits(int32_t width, int32_t height, uint64_t bytes_a_row) {
    if (width <= 0 || height <= 0 || width > kCoordinateLimit || height > kCoordinateLimit) return false;
    return bytes_a_row <= INT32_MAX && bytes_a_row * static_cast<uint64_t>(height) <= INT32_MAX;
}

}  // namespace

Status RgbaPicture::Allocate(int32_t width, int32_t height) {
    pixels_.Reset();
    width_ = height_ = 0;
    if (!SizeFits(width, height, 4 * uint64_t{static_cast<uint32_t>(width)})) return status::kNoMemory;
    if (const Status s = pixels_.Allocate(uint64_t{4} * static_cast<uint32_t>(width) * static_cast<uint32_t>(height));
        Failed(s)) {
        return s;
    }
    width_ = width;
    height_ = height;
    return status::kOk;
}

ThumbnailOptions ThumbnailDefaults() { return ThumbnailOptions{}; }

int32_t ThumbnailMargin(int32_t width, int32_t height) {
    const int32_t shorter = width < height ? width : height;
    const int32_t margin = shorter / 20 > 3 ? shorter / 20 : 3;
    return 2 * margin < shorter ? margin : 0;
}

Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                     uint8_t* rgba, uint32_t stride) {
    const Status form = CheckForm(buffer, kEveryForm);
    if (form != status::kDrawnForm) return form;
    // RGBA rows, wider than the 24-bit canvas the flat styles draw first.
    if (!SizeFits(width, height, 4 * uint64_t{static_cast<uint32_t>(width > 0 ? width : 0)})) return status::kNoMemory;
    ObjectModel model;
    if (const Status s = ReadModel(buffer, kEveryForm, PartsFor(options.style), &model); Failed(s)) return s;
    DrawRequest request;
    request.style = options.style;
    request.turn = ModelTurn(options.angle_x, options.angle_y, options.angle_z);
    request.background = options.background;
    request.drawing = options.drawing;
    request.textures = options.textures;
    request.margin = options.style == DrawStyle::kShaded && options.margin ? ThumbnailMargin(width, height) : 0;
    return DrawModel(model, request, {DrawTarget::Format::kRgba, rgba, width, height, stride});
}

Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                     RgbaPicture* out) {
    const Status form = CheckForm(buffer, kEveryForm);
    if (form != status::kDrawnForm) return form;
    RgbaPicture picture;
    if (const Status s = picture.Allocate(width, height); Failed(s)) return s;
    if (const Status s = DrawThumbnail(buffer, width, height, options, picture.pixels(), picture.stride()); Failed(s)) {
        return s;
    }
    *out = std::move(picture);
    return status::kOk;
}

}  // namespace qavren
