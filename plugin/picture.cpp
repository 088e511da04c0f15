// Picture assembly: layout, header, background, grid and the renderer.
#include "plugin/picture.h"

#include "object/forms.h"
#include "object/model.h"
#include "platform/memory.h"
#include "plugin/host_codes.h"
#include "plugin/plugin_info.h"
#include "render/canvas.h"
#include "render/surface.h"

namespace qavren {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool ComputeLayout(int32_t width, int32_t height, PictureLayout* layout) {
    if (width <= 0 || height <= 0) return false;
    // The grid and the model are drawn in coordinates within ±kCoordinateLimit.
    if (width > kCoordinateLimit || height > kCoordinateLimit) return false;
    const uint64_t stride = RowStride(static_cast<uint32_t>(width));
    const uint64_t size = stride * static_cast<uint64_t>(height);
    if (stride > INT32_MAX || size > INT32_MAX) return false;
    *layout = {width, height, static_cast<uint32_t>(stride), static_cast<uint32_t>(size)};
    return true;
}

void WriteBitmapHeader(const PictureLayout& layout, uint8_t header[kBitmapHeaderSize]) {
    PutLe32(header + 0, kBitmapHeaderSize);
    PutLe32(header + 4, static_cast<uint32_t>(layout.width));
    PutLe32(header + 8, static_cast<uint32_t>(layout.height));  // positive: bottom-up rows
    PutLe32(header + 12, 1 | 24u << 16);                         // one plane, 24 bits a pixel
    PutLe32(header + 16, 0);                                     // uncompressed RGB
    PutLe32(header + 20, layout.image_size);
    for (uint32_t offset = 24; offset < kBitmapHeaderSize; offset += 4) PutLe32(header + offset, 0);
}

Status DrawPicture(const ObjectBuffer& buffer, const DrawRequest& request, const PictureLayout& layout,
                   uint8_t* bits) {
    ObjectModel model;
    if (const Status s = ReadModel(buffer, kEveryForm, PartsFor(request.style), &model); Failed(s)) return s;
    return DrawModel(model, request,
                     {DrawTarget::Format::kBottomUpBgr, bits, layout.width, layout.height, layout.stride});
}

int32_t HeaderCode(Status load_status, const ObjectBuffer& buffer, const RenderSettings& settings) {
    return MapToHostCode(load_status == status::kOk ? CheckForm(buffer, AcceptedForms(settings)) : load_status);
}

// In AssemblePicture's order: the header, the record to write to, the size.
int32_t PictureInfoAnswer(Status load_status, const ObjectBuffer& header, const RenderSettings& settings,
                          uint8_t* out) {
    const int32_t code = HeaderCode(load_status, header, settings);
    if (code != host::kSuccess) return code;
    if (!out) return host::kMemoryError;
    PictureLayout layout;
    if (!ComputeLayout(settings.width, settings.height, &layout)) return host::kOutOfMemory;
    WritePictureInfo(settings, out);
    return host::kSuccess;
}

int32_t AssemblePicture(Status load_status, const ObjectBuffer& buffer, const RenderSettings& settings,
                        void** info, void** bits, const DrawingOptions& drawing,
                        const TextureSource* textures) {
    int32_t code = HeaderCode(load_status, buffer, settings);
    if (code != host::kSuccess) return code;
    if (!info || !bits) return host::kMemoryError;

    PictureLayout layout;
    void* header_block = nullptr;
    void* pixel_block = nullptr;
    if (ComputeLayout(settings.width, settings.height, &layout)) {
        header_block = platform::AllocateForHost(kBitmapHeaderSize);
        pixel_block = header_block ? platform::AllocateForHost(layout.image_size) : nullptr;
    }
    if (!pixel_block) {
        platform::FreeHostBlock(header_block);
        *info = *bits = nullptr;
        return host::kOutOfMemory;
    }
    WriteBitmapHeader(layout, static_cast<uint8_t*>(header_block));
    DrawRequest request = RequestOf(settings);
    request.drawing = drawing;
    request.textures = textures;
    code = MapToHostCode(DrawPicture(buffer, request, layout, static_cast<uint8_t*>(pixel_block)));
    if (code != host::kSuccess) {
        platform::FreeHostBlock(header_block);
        platform::FreeHostBlock(pixel_block);
        header_block = pixel_block = nullptr;
    }
    *info = header_block;
    *bits = pixel_block;
    return code;
}

}  // namespace qavren
