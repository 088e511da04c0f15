// Premultiplied BGRA from the core's straight RGBA.
#include "viewers/explorer/premultiply.h"

namespace qavren::explorer {

void CopyPremultiplied(const RgbaPicture& picture, uint8_t* bgra) {
    // Both rows are 4 × width bytes, so the pixels run on as one array.
    // (c·a + 127) / 255 is c·a / 255 rounded: 255 is odd, so no exact half.
    const uint8_t* from = picture.pixels();
    const uint64_t count = uint64_t{static_cast<uint32_t>(picture.width())} * static_cast<uint32_t>(picture.height());
    for (uint64_t i = 0; i < count; ++i, from += 4, bgra += 4) {
        const uint32_t a = from[3];
        bgra[0] = static_cast<uint8_t>((from[2] * a + 127) / 255);
        bgra[1] = static_cast<uint8_t>((from[1] * a + 127) / 255);
        bgra[2] = static_cast<uint8_t>((from[0] * a + 127) / 255);
        bgra[3] = static_cast<uint8_t>(a);
    }
}

}  // namespace qavren::explorer
