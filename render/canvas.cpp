// The canvas picture: backdrop and renderer, with the coverage where it pays.
#include "render/canvas.h"

#include <initializer_list>

#include "render/coverage.h"
#include "render/renderers.h"
#include "render/shaded.h"
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
constexpr uint64_t kCoverageShare = 16;

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

Status DrawCanvas(const ObjectBuffer& buffer, int32_t mode, int32_t angle_x, int32_t angle_y, int32_t angle_z,
                  const CanvasBlock& block, const DrawingOptions& drawing) {
    Surface surface(block.bits, block.width, block.height, block.stride);
    // Triangles nearest first where the coverage is a small part of the
    // picture's memory and can be had; otherwise (the pixels are the same),
    // and for the wireframe, whose lines measured faster drawn over the
    // backdrop in three cases of four, the backdrop now and the model over it.
    Coverage coverage;
    const uint64_t image_size = uint64_t{block.stride} * static_cast<uint64_t>(block.height);
    if (mode != 0 && Coverage::BlockSize(block.width, block.height) <= image_size / kCoverageShare &&
        !Failed(coverage.Allocate(block.width, block.height))) {
        surface.DrawNearestFirst(&coverage, DrawBackdrop);
    } else {
        DrawBackdrop(surface);
    }
    const Status drawn =
        mode == 0 ? DrawWireframe(buffer, surface, block.width, block.height, angle_x, angle_y, angle_z)
                  : DrawPolygons(buffer, surface, block.width, block.height, angle_x, angle_y, angle_z, drawing);
    surface.FinishBackdrop();  // after a failure too: the canvas as the plain order leaves it
    return drawn;
}

Status DrawShadedCanvas(const ObjectBuffer& buffer, int32_t angle_x, int32_t angle_y, int32_t angle_z,
                        int32_t margin, const ShadedBackground& background, const CanvasBlock& block,
                        const DrawingOptions& drawing) {
    Surface surface(block.bits, block.width, block.height, block.stride);
    if (background.kind == ShadedBackground::Kind::kColour) {
        surface.Fill(background.colour);
    } else {
        DrawBackdrop(surface);
    }
    // Each band's pixels over the backdrop, as soon as the band is drawn.
    auto resolve = [&block](const ShadedSamples& band) {
        const ShadedSamples::Box box = band.drawn_box();
        for (int32_t y = box.y0; y <= box.y1; ++y) {
            uint8_t* row = block.bits + static_cast<uint64_t>(block.height - 1 - y) * block.stride;
            for (int32_t x = box.x0; x <= box.x1; ++x) {
                const ShadedSamples::PixelSum p = band.Pixel(x, y);
                if (p.drawn == 0) continue;
                // The empty samples take the backdrop; the mean rounded to nearest.
                uint8_t* bgr = row + 3 * static_cast<uint32_t>(x);
                const uint32_t empty = 4 - p.drawn;
                bgr[0] = static_cast<uint8_t>((p.blue + empty * bgr[0] + 2) / 4);
                bgr[1] = static_cast<uint8_t>((p.green + empty * bgr[1] + 2) / 4);
                bgr[2] = static_cast<uint8_t>((p.red + empty * bgr[2] + 2) / 4);
            }
        }
    };
    return DrawShaded(buffer, block.width, block.height, margin, ModelTurn(angle_x, angle_y, angle_z), drawing,
                      resolve);
}

}  // namespace qavren
