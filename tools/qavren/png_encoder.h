// The PNG encoder: 8-bit RGB or RGBA, every row with the Up filter (the canvas's
// rows mostly repeat the one above, so most filtered bytes are zero), one
// zlib stream. A picture whose filtered rows fit in `whole_limit` bytes is
// deflated in one call by libdeflate, several times faster than zlib at a
// like size; a larger one is deflated row by row through zlib, so memory
// stays a few rows whatever the size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/picture.h"
#include "render/thumbnail.h"
#include "tools/qavren/message.h"
#include "tools/qavren/output_file.h"

namespace qavren::cli {

constexpr size_t kWholePngLimit = size_t{64} << 20;

// `bits` as DrawPicture leaves them: bottom-up BGR rows, `layout.stride`
// bytes apart. False when memory runs out (worded in *why) or a write fails
// (the OutputFile holds the reason).
bool EncodePng(const PictureLayout& layout, const uint8_t* bits, OutputFile* out, size_t whole_limit, Message* why);

// RGBA rows as DrawThumbnail leaves them: an RGBA PNG (colour type 6) when
// any pixel is less than opaque, else an RGB one of the same pixels.
bool EncodePng(const RgbaPicture& picture, OutputFile* out, size_t whole_limit, Message* why);

}  // namespace qavren::cli
