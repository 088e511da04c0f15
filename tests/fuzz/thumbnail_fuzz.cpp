// Fuzz target over the thumbnail picture every shell shows: the first four
// bytes choose the size (1 to 48 a side), the style and the view (the
// shells' default one, or angles from the fourth byte); the rest is the
// object, in any of the four forms. A picture drawn must be of the size
// asked for; over the canvas or a colour it is opaque, over nothing its
// alpha is a share of four samples. With the third byte's bit 32 every image
// an object names is found: a 2 × 2 BMP of four colours, so that the texture
// layers, their placement and the UV and colour maps are drawn.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "render/thumbnail.h"

using namespace qavren;

namespace {

const uint8_t kImage[] = {
    0x42, 0x4d, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00, 0x28, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
    0x00, 0x00, 0x13, 0x0b, 0x00, 0x00, 0x13, 0x0b, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xff, 0x00, 0x00, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0x00, 0x00};

class EveryName final : public TextureSource {
public:
    Status Find(const uint8_t*, uint32_t, ImageBytes* out) const override {
        out->Borrow(kImage, sizeof kImage, "four.bmp");
        return status::kOk;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size - 4 > UINT32_MAX) return 0;
    const int32_t width = 1 + data[0] % 48, height = 1 + data[1] % 48;
    ThumbnailOptions options = ThumbnailDefaults();
    if (data[2] & 1) options.style = DrawStyle::kPolygons;
    if (data[2] & 4) options.style = DrawStyle::kWireframe;
    if (data[2] & 8) options.background = {ShadedBackground::Kind::kColour, 0x123456};
    if (data[2] & 16) options.background = {ShadedBackground::Kind::kCanvas, 0};
    if (data[2] & 2) {
        options.angle_x = data[3] * 7 - 900;
        options.angle_y = data[3] * 13;
        options.angle_z = -data[3] * 3;
    }
    const EveryName images;
    if (data[2] & 32) options.textures = &images;
    ObjectBuffer buffer;
    if (buffer.LoadFromMemory(data + 4, static_cast<uint32_t>(size - 4)) != status::kOk) return 0;
    RgbaPicture picture;
    if (DrawThumbnail(buffer, width, height, options, &picture) != status::kOk) {
        if (picture.pixels()) std::abort();  // a failure hands out no picture
        return 0;
    }
    if (picture.width() != width || picture.height() != height) std::abort();
    const bool transparent = options.style == DrawStyle::kShaded &&
                             options.background.kind == ShadedBackground::Kind::kNone;
    for (uint32_t i = 3; i < picture.stride() * static_cast<uint32_t>(height); i += 4) {
        const uint8_t alpha = picture.pixels()[i];
        if (transparent ? (alpha != 0 && alpha != 64 && alpha != 128 && alpha != 191 && alpha != 255)
                        : alpha != 255) {
            std::abort();
        }
    }
    return 0;
}
