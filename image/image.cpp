// The Image block and the choice of decoder.
#include "image/image.h"

#include <climits>

#include "image/image_internal.h"
#include "platform/memory.h"

namespace qavren {

Image& Image::operator=(Image&& other) noexcept {
    if (this != &other) {
        Release();
        pixels_ = other.pixels_;
        width_ = other.width_;
        height_ = other.height_;
        other.pixels_ = nullptr;
        other.width_ = other.height_ = 0;
    }
    return *this;
}

Status Image::Allocate(uint32_t width, uint32_t height) {
    const uint64_t pixels = uint64_t{width} * height;  // both below 2^32: no wrap
    if (pixels == 0 || pixels > kMaxImagePixels) return status::kUnsupportedInput;
    auto* block = static_cast<uint8_t*>(platform::AllocateZeroed(static_cast<size_t>(pixels * 4)));
    if (!block) return status::kNoMemory;
    Adopt(block, width, height);
    return status::kOk;
}

void Image::Adopt(uint8_t* pixels, uint32_t width, uint32_t height) {
    Release();
    pixels_ = pixels;
    width_ = width;
    height_ = height;
}

void Image::Release() {
    platform::Free(pixels_);
    pixels_ = nullptr;
    width_ = height_ = 0;
}

Status DecodeImage(const uint8_t* bytes, size_t size, Image* out) {
    out->Release();
    if (!bytes || size == 0) return status::kUnsupportedInput;
    if (image_internal::IsIlbm(bytes, size)) return image_internal::DecodeIlbm(bytes, size, out);
    if (size > INT_MAX) return status::kUnsupportedInput;  // stb_image counts in int
    return image_internal::DecodeWithStb(bytes, size, out);
}

}  // namespace qavren
