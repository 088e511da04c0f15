// Picture assembly: layout, header, background, grid and the renderer.
#include "plugin/picture.h"

#include <initializer_list>

#include "object/forms.h"
#include "platform/memory.h"
#include "plugin/host_codes.h"
#include "plugin/plugin_info.h"
#include "render/coverage.h"
#include "render/renderers.h"
#include "render/surface.h"

namespace qavren {
namespace {

constexpr Colour kBackground = Rgb(0, 40, 60);
constexpr Colour kGrid = Rgb(20, 60, 80);
constexpr int32_t kGridStep = 16;
// The coverage is used only while it needs at most this share of the pixel
// block: a bit a pixel in rows of 64-bit words, and an eighth more for its
// bands, against three bytes a pixel is a 21st on wide canvases, more on
// narrow ones.
constexpr uint32_t kCoverageShare = 16;

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Lines every 16 pixels out from the centre lines, each centre line twice.
void DrawGrid(Surface& surface, int32_t w, int32_t h) {
    const Pen previous = surface.SelectPen(Pen{kGrid});
    for (int32_t i = 0; i <= h / 32; ++i) {
        for (int32_t y : {h / 2 + kGridStep * i, h / 2 - kGridStep * i}) {
            surface.MoveTo(0, y);
            surface.LineTo(w, y);
        }
    }
    for (int32_t i = 0; i <= w / 32; ++i) {
        for (int32_t x : {w / 2 + kGridStep * i, w / 2 - kGridStep * i}) {
            surface.MoveTo(x, 0);
            surface.LineTo(x, h);
        }
    }
    surface.SelectPen(previous);
}

// The background and the grid: under the model, or, drawn nearest first,
// into what the model left, the grid before the background.
void DrawBackdrop(Surface& surface) {
    if (surface.coverage()) {
        DrawGrid(surface, surface.width(), surface.height());
        surface.Fill(kBackground);
    } else {
        surface.Fill(kBackground);
        DrawGrid(surface, surface.width(), surface.height());
    }
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

Status DrawPicture(const ObjectBuffer& buffer, const RenderSettings& settings, const PictureLayout& layout,
                   uint8_t* bits) {
    Surface surface(bits, layout.width, layout.height, layout.stride);
    // Triangles nearest first where the coverage is a small part of the
    // picture's memory and can be had; otherwise (the pixels are the same),
    // and for the wireframe, whose lines measured faster drawn over the
    // backdrop in three cases of four, the backdrop now and the model over it.
    Coverage coverage;
    if (settings.mode != 0 && Coverage::BlockSize(layout.width, layout.height) <= layout.image_size / kCoverageShare &&
        !Failed(coverage.Allocate(layout.width, layout.height))) {
        surface.DrawNearestFirst(&coverage, DrawBackdrop);
    } else {
        DrawBackdrop(surface);
    }
    const auto draw = settings.mode == 0 ? DrawWireframe : DrawPolygons;
    const Status drawn =
        draw(buffer, surface, layout.width, layout.height, ViewAngle(settings, settings.angle_x),
             ViewAngle(settings, settings.angle_y), ViewAngle(settings, settings.angle_z));
    surface.FinishBackdrop();  // after a failure too: the canvas as the plain order leaves it
    return drawn;
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
                        void** info, void** bits) {
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
    code = MapToHostCode(DrawPicture(buffer, settings, layout, static_cast<uint8_t*>(pixel_block)));
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
