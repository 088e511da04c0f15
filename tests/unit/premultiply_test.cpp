// The shell's pixels from the thumbnail picture: every colour and alpha pair
// against c × a / 255 rounded in floating point, channels swapped to blue,
// green, red, alpha, and the rows in order.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "viewers/explorer/premultiply.h"

namespace qavren::explorer {
namespace {

TEST(Premultiply, EveryColourAndAlphaRoundsToTheNearest) {
    // Pixel (x, y): red x, green 255 - x, blue x ^ 0x5a, alpha y; so each
    // channel meets every alpha, and a swap of rows or channels shows.
    RgbaPicture picture;
    ASSERT_EQ(picture.Allocate(256, 256), status::kOk);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            uint8_t* p = picture.pixels() + 4 * (256 * y + x);
            p[0] = uint8_t(x), p[1] = uint8_t(255 - x), p[2] = uint8_t(x ^ 0x5a), p[3] = uint8_t(y);
        }
    std::vector<uint8_t> bgra(4 * 256 * 256 + 4, 0xee);
    CopyPremultiplied(picture, bgra.data());
    const auto times = [](int c, int a) { return uint8_t(std::lround(c * a / 255.0)); };
    int wrong = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* q = bgra.data() + 4 * (256 * y + x);
            wrong += q[0] != times(x ^ 0x5a, y) || q[1] != times(255 - x, y) || q[2] != times(x, y) || q[3] != y;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(bgra.back(), 0xee) << "wrote past the picture";
}

}  // namespace
}  // namespace qavren::explorer
