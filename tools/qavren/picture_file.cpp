// Drawing into a checked block, the BMP writer, and the choice of format.
#include "tools/qavren/picture_file.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "tools/qavren/png_encoder.h"

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
bool WriteBmp(const DrawnPicture& picture, OutputFile* out) {
    const PictureLayout& l = picture.layout();
    uint8_t head[kFileHeaderSize + kBitmapHeaderSize] = {'B', 'M'};
    PutLe32(head + 2, kFileHeaderSize + kBitmapHeaderSize + l.image_size);  // image_size < 2^31: no wrap
    PutLe32(head + 10, kFileHeaderSize + kBitmapHeaderSize);
    WriteBitmapHeader(l, head + kFileHeaderSize);
    return out->Write(head, sizeof head) && out->Write(picture.bits(), l.image_size);
}

}  // namespace

DrawnPicture::~DrawnPicture() { std::free(bits_); }

Status DrawnPicture::Draw(const ObjectBuffer& buffer, const RenderSettings& settings,
                          const ShadedBackground& background, const DrawingOptions& drawing,
                          const TextureSource* textures) {
    std::free(bits_);
    bits_ = nullptr;
    if (!ComputeLayout(settings.width, settings.height, &layout_)) return status::kNoMemory;
    bits_ = static_cast<uint8_t*>(std::malloc(layout_.image_size));
    if (!bits_) return status::kNoMemory;
    DrawRequest request = RequestOf(settings);
    request.background = background;
    request.drawing = drawing;
    request.textures = textures;
    return DrawPicture(buffer, request, layout_, bits_);
}

bool WritePicture(const DrawnPicture& picture, ImageFormat format, const char* path, WriteMode mode,
                  Message* error) {
    OutputFile file;
    if (!file.Open(path, mode, error)) return false;
    Message why;
    if (format == ImageFormat::kBmp) {
        WriteBmp(picture, &file);
    } else {
        EncodePng(picture.layout(), picture.bits(), &file, kWholePngLimit, &why);
    }
    return file.Commit(error, why.text[0] ? why.text : nullptr);
}

bool WritePicture(const RgbaPicture& picture, const char* path, WriteMode mode, Message* error) {
    OutputFile file;
    if (!file.Open(path, mode, error)) return false;
    Message why;
    EncodePng(picture, &file, kWholePngLimit, &why);
    return file.Commit(error, why.text[0] ? why.text : nullptr);
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
