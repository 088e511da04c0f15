// The plug-in's picture of an object as a file: DrawPicture's pixel block,
// written as PNG or as a BMP file holding exactly the
// header and pixels a viewer receives from QAVREN.SPI.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"
#include "plugin/picture.h"
#include "render/canvas.h"
#include "render/thumbnail.h"
#include "settings/render_settings.h"
#include "tools/qavren/message.h"
#include "tools/qavren/output_file.h"

namespace qavren::cli {

enum class ImageFormat { kPng, kBmp };

// The longest side libpng reads without raising its user limits
// (PNG_USER_WIDTH_MAX and PNG_USER_HEIGHT_MAX), so the longest that viewers
// built on it open: larger PNGs are refused before anything is drawn. BMP
// takes any side the picture allows.
constexpr int32_t kPngSideLimit = 1000000;

// The drawn pixels: bottom-up BGR rows padded to 4 bytes, as the host gets them.
class DrawnPicture {
public:
    DrawnPicture() = default;
    DrawnPicture(const DrawnPicture&) = delete;
    DrawnPicture& operator=(const DrawnPicture&) = delete;
    ~DrawnPicture();

    // kOk, kNoMemory when the size is refused or the block cannot be had, or
    // the renderer's failure. A shaded picture is drawn over `background`
    // (the canvas for kNone, which only an RGBA picture can show), and any
    // picture on the threads `drawing` allows, the shaded style with the
    // images `textures` finds (null: untextured).
    Status Draw(const ObjectBuffer& buffer, const RenderSettings& settings,
                const ShadedBackground& background = ShadedBackground{}, const DrawingOptions& drawing = {},
                const TextureSource* textures = nullptr);

    const PictureLayout& layout() const { return layout_; }
    const uint8_t* bits() const { return bits_; }

private:
    PictureLayout layout_;
    uint8_t* bits_ = nullptr;
};

// Writes the picture to `path` ("-": standard output) in the given way;
// false with the reason worded.
bool WritePicture(const DrawnPicture& picture, ImageFormat format, const char* path, WriteMode mode,
                  Message* error);

// An RGBA picture as PNG, with its alpha when it has any transparency.
bool WritePicture(const RgbaPicture& picture, const char* path, WriteMode mode, Message* error);

// .bmp (any case) is BMP, .png is PNG; false for anything else.
bool FormatFromName(const char* path, ImageFormat* format);

}  // namespace qavren::cli
