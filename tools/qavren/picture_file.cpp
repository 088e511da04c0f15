// Drawing into a checked block, and the PNG and BMP writers.
#include "tools/qavren/picture_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <png.h>
#include <strings.h>

#include "tools/qavren/atomic_file.h"

namespace qavren::cli {
namespace {

constexpr uint32_t kFileHeaderSize = 14;

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

// BITMAPFILEHEADER, the plug-in's 40-byte header, then the block unchanged.
bool WriteBmp(const DrawnPicture& picture, FILE* out) {
    const PictureLayout& l = picture.layout();
    uint8_t head[kFileHeaderSize + kBitmapHeaderSize] = {'B', 'M'};
    PutLe32(head + 2, kFileHeaderSize + kBitmapHeaderSize + l.image_size);  // image_size < 2^31: no wrap
    PutLe32(head + 10, kFileHeaderSize + kBitmapHeaderSize);
    WriteBitmapHeader(l, head + kFileHeaderSize);
    return std::fwrite(head, 1, sizeof head, out) == sizeof head &&
           std::fwrite(picture.bits(), 1, l.image_size, out) == l.image_size;
}

// libpng's simplified writer reads the block in place: BGR order, and a
// negative row stride for rows stored bottom-up. It reports errors by
// return value, so no longjmp crosses our frames.
bool WritePng(const DrawnPicture& picture, FILE* out, Message* why) {
    const PictureLayout& l = picture.layout();
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(l.width);
    image.height = static_cast<png_uint_32>(l.height);
    image.format = PNG_FORMAT_BGR;
    const auto stride = -static_cast<png_int_32>(l.stride);
    const int ok = png_image_write_to_stdio(&image, out, 0, picture.bits(), stride, nullptr);
    if (!ok) Format(why, "%s", image.message);
    png_image_free(&image);
    return ok != 0;
}

}  // namespace

DrawnPicture::~DrawnPicture() { std::free(bits_); }

Status DrawnPicture::Draw(const ObjectBuffer& buffer, const RenderSettings& settings) {
    std::free(bits_);
    bits_ = nullptr;
    if (!ComputeLayout(settings.width, settings.height, &layout_)) return status::kNoMemory;
    bits_ = static_cast<uint8_t*>(std::malloc(layout_.image_size));
    if (!bits_) return status::kNoMemory;
    return DrawPicture(buffer, settings, layout_, bits_);
}

bool WritePicture(const DrawnPicture& picture, ImageFormat format, const char* path, Message* error) {
    AtomicFile file;
    if (!file.Open(path, error)) return false;
    errno = 0;
    Message why;
    const bool written =
        format == ImageFormat::kBmp ? WriteBmp(picture, file.stream()) : WritePng(picture, file.stream(), &why);
    if (!written) {
        if (!why.text[0]) Format(&why, "%s", errno ? std::strerror(errno) : "write error");
        Format(error, "cannot write %s: %s", path, why.text);
        return false;  // the AtomicFile removes the temporary file
    }
    return file.Commit(error);
}

bool FormatFromName(const char* path, ImageFormat* format) {
    const char* dot = std::strrchr(path, '.');
    const char* slash = std::strrchr(path, '/');
    if (!dot || (slash && dot < slash)) return false;
    if (strcasecmp(dot, ".png") == 0) {
        *format = ImageFormat::kPng;
    } else if (strcasecmp(dot, ".bmp") == 0) {
        *format = ImageFormat::kBmp;
    } else {
        return false;
    }
    return true;
}

}  // namespace qavren::cli
