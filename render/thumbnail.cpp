// The thumbnail picture: the canvas picture in the thumbnail's view, handed
// out as RGBA rows, top row first.
#include "render/thumbnail.h"

#include <cstddef>

#include "object/forms.h"
#include "platform/memory.h"
#include "render/canvas.h"
#include "render/shaded.h"
#include "render/surface.h"

namespace qavren {
namespace {

// The same limits as the plug-in's picture: sides within the surface's
// coordinate range, the block within 2^31 - 1 bytes.
bool SizeFits(int32_t width, int32_t height, uint64_t bytes_a_row) {
    if (width <= 0 || height <= 0 || width > kCoordinateLimit || height > kCoordinateLimit) return false;
    return bytes_a_row <= INT32_MAX && bytes_a_row * static_cast<uint64_t>(height) <= INT32_MAX;
}

// A 24-bit block for the canvas, freed on every exit.
class CanvasBits {
public:
    CanvasBits() = default;
    CanvasBits(const CanvasBits&) = delete;
    CanvasBits& operator=(const CanvasBits&) = delete;
    ~CanvasBits() { platform::Free(bits_); }
    uint8_t* Allocate(size_t size) { return bits_ = static_cast<uint8_t*>(platform::AllocateZeroed(size)); }

private:
    uint8_t* bits_ = nullptr;
};

}  // namespace

RgbaPicture::~RgbaPicture() { platform::Free(pixels_); }

Status RgbaPicture::Allocate(int32_t width, int32_t height) {
    platform::Free(pixels_);
    pixels_ = nullptr;
    width_ = height_ = 0;
    if (!SizeFits(width, height, 4 * uint64_t{static_cast<uint32_t>(width)})) return status::kNoMemory;
    pixels_ = static_cast<uint8_t*>(platform::AllocateZeroed(size_t{4} * static_cast<uint32_t>(width) *
                                                              static_cast<uint32_t>(height)));
    if (!pixels_) return status::kNoMemory;
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

namespace {

// The shaded model alone: each pixel's colour the mean of its drawn
// samples, its alpha their share, rounded to nearest.
Status DrawTransparent(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                       RgbaPicture* out) {
    if (const Status s = out->Allocate(width, height); Failed(s)) return s;
    // Outside each band's drawn box the zeroed block is transparent already.
    auto resolve = [out](const ShadedSamples& band) {
        const ShadedSamples::Box box = band.drawn_box();
        for (int32_t y = box.y0; y <= box.y1; ++y) {
            uint8_t* to = out->pixels() + uint64_t{out->stride()} * static_cast<uint32_t>(y) + 4 * uint64_t(box.x0);
            for (int32_t x = box.x0; x <= box.x1; ++x, to += 4) {
                const ShadedSamples::PixelSum p = band.Pixel(x, y);
                if (p.drawn == 0) continue;  // the block is zeroed: transparent black
                to[0] = static_cast<uint8_t>((p.red + p.drawn / 2) / p.drawn);
                to[1] = static_cast<uint8_t>((p.green + p.drawn / 2) / p.drawn);
                to[2] = static_cast<uint8_t>((p.blue + p.drawn / 2) / p.drawn);
                to[3] = static_cast<uint8_t>((p.drawn * 255 + 2) / 4);
            }
        }
    };
    const int32_t margin = options.margin ? ThumbnailMargin(width, height) : 0;
    const Status drawn = DrawShaded(buffer, width, height, margin,
                                    ModelTurn(options.angle_x, options.angle_y, options.angle_z), options.drawing,
                                    resolve);
    if (Failed(drawn)) {
        out->Allocate(0, 0);  // frees the picture: nothing handed out on failure
        return drawn;
    }
    return status::kOk;
}

}  // namespace

Status DrawThumbnail(const ObjectBuffer& buffer, int32_t width, int32_t height, const ThumbnailOptions& options,
                     RgbaPicture* out) {
    const Status form = CheckForm(buffer, kEveryForm);
    if (form != status::kDrawnForm) return form;
    const uint64_t stride = RowStride(static_cast<uint32_t>(width > 0 ? width : 0));
    if (!SizeFits(width, height, stride)) return status::kNoMemory;
    const bool shaded = options.style == ThumbnailStyle::kShaded;
    if (shaded && options.background.kind == ShadedBackground::Kind::kNone) {
        return DrawTransparent(buffer, width, height, options, out);
    }
    CanvasBits canvas;
    uint8_t* bits = canvas.Allocate(static_cast<size_t>(stride * static_cast<uint64_t>(height)));
    if (!bits) return status::kNoMemory;
    const CanvasBlock block{bits, width, height, static_cast<uint32_t>(stride)};
    const Status drawn =
        shaded ? DrawShadedCanvas(buffer, options.angle_x, options.angle_y, options.angle_z,
                                  options.margin ? ThumbnailMargin(width, height) : 0, options.background, block,
                                  options.drawing)
               : DrawCanvas(buffer, options.style == ThumbnailStyle::kWireframe ? 0 : 1, options.angle_x,
                            options.angle_y, options.angle_z, block, options.drawing);
    if (Failed(drawn)) return drawn;
    if (const Status s = out->Allocate(width, height); Failed(s)) return s;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* from = bits + static_cast<uint64_t>(height - 1 - y) * stride;
        uint8_t* to = out->pixels() + uint64_t{out->stride()} * static_cast<uint32_t>(y);
        for (int32_t x = 0; x < width; ++x, from += 3, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = 255;
        }
    }
    return status::kOk;
}

}  // namespace qavren
