// The decoders behind DecodeImage; each leaves `out` empty on failure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image.h"

namespace qavren::image_internal {

// stb_image's formats. `size` fits an int.
Status DecodeWithStb(const uint8_t* bytes, size_t size, Image* out);
// True when the bytes start as an IFF ILBM (or PBM) form.
bool IsIlbm(const uint8_t* bytes, size_t size);
Status DecodeIlbm(const uint8_t* bytes, size_t size, Image* out);

}  // namespace qavren::image_internal
