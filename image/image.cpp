// The Image block and the choice of decoder.
#include "image/image.h"

#include <climits>

#include "image/image_internal.h"

namespace qavren {

Image& Image::operator=(Image&& other) noexcept {
    if (this != &other) {
        pixels_ = static_cast<OwnedArray<uint8_t>&&>(other.pixels_);
        width_ = other.width_;
        height_ = other.height_;
        other.width_ = other.height_ = 0;
    }
    return *this;
}

Status Image::Allocate(uint32_t width, uint32_t height) {
    Release();
    const uint64_t pixels = uint64_t{width} * height;  // both below 2^32: no wrap
    if (pixels == 0 || pixels > kMaxImagePixels) return status::kUnsupportedInput;
    if (const Status s = pixels_.Allocate(pixels * 4); Failed(s)) return s;
    width_ = width;
    height_ = height;
    return status::kOk;
}

void Image::Adopt(uint8_t* pixels, uint32_t width, uint32_t height) {
    pixels_.Adopt(pixels, size_t{4} * width * height);
    width_ = width;
    height_ = height;
}

void Image::Release() {
    pixels_.Reset();
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
