// Decoded texture images: 8-bit RGBA with straight alpha, rows from the top,
// in a block the image owns. Every byte handed to DecodeImage is untrusted;
// the decoders check sizes before they allocate and fail with a Status.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/owned_array.h"
#include "platform/status.h"

namespace qavren {

// The most pixels an image may have (width × height), checked from the
// header before any pixel is allocated: 2^26, a 256 MiB RGBA block.
constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;

class Image {
public:
    Image() = default;
    Image(Image&& other) noexcept { *this = static_cast<Image&&>(other); }
    Image& operator=(Image&& other) noexcept;

    // A zeroed width × height RGBA block: 0, status::kNoMemory when memory
    // cannot be had, status::kUnsupportedInput when the size is zero or
    // above kMaxImagePixels.
    Status Allocate(uint32_t width, uint32_t height);
    // Takes a block of width × height × 4 bytes from platform::AllocateZeroed.
    void Adopt(uint8_t* pixels, uint32_t width, uint32_t height);
    void Release();

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    bool empty() const { return pixels_.data() == nullptr; }
    uint8_t* pixels() { return pixels_.data(); }
    const uint8_t* pixels() const { return pixels_.data(); }
    // The pixel (x, y) as R, G, B, A.
    const uint8_t* At(uint32_t x, uint32_t y) const { return pixels_.data() + (size_t{y} * width_ + x) * 4; }

private:
    OwnedArray<uint8_t> pixels_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
};

// Decodes JPEG (baseline and progressive), PNG (any depth, palette, grey,
// alpha; 16 bits cut to 8), TGA, BMP, PSD, GIF (its first frame) and IFF
// ILBM into `out`, which is left empty on failure. 0; status::kNoMemory
// when memory cannot be had; status::kUnsupportedInput for an unknown
// format, a zero size or more than kMaxImagePixels; status::kCorrupt for
// damaged or truncated data.
Status DecodeImage(const uint8_t* bytes, size_t size, Image* out);

}  // namespace qavren
