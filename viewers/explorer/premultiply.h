// The thumbnail picture in the shell's pixel order: blue, green, red, alpha,
// each colour premultiplied by alpha (what a WTSAT_ARGB bitmap holds).
#pragma once

#include <cstdint>

#include "render/thumbnail.h"

namespace qavren::explorer {

// Writes width × height pixels, top row first, rows 4 × width bytes apart,
// into `bgra`; each colour c becomes c × alpha / 255 rounded to the nearest.
void CopyPremultiplied(const RgbaPicture& picture, uint8_t* bgra);

}  // namespace qavren::explorer
