// The one drawing call: the backdrop and the style's renderer into a
// 24-bit canvas (with the coverage where it pays), or the shaded model's
// samples resolved straight into the target, and 24-bit canvases turned
// into RGBA rows.
#include "render/canvas.h"

#include <cstring>
#include <initializer_list>

#include "render/coverage.h"
#include "render/renderers.h"
#include "render/shaded.h"
#include "render/surface.h"
#include "platform/owned_array.h"

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


// The wireframe or the polygons over the canvas's backdrop.
Status DrawFlat(const ObjectModel& model, const DrawRequest& request, const DrawTarget& target) {
    Surface surface(target.pixels, target.width, target.height, target.stride);
    // Triangles nearest first where the coverage is a small part of the
    // picture's memory and can be had; otherwise (the pixels are the same),
    // and for the wireframe, whose lines measured faster drawn over the
    // backdrop in three cases of four, the backdrop now and the model over it.
    Coverage coverage;
    const uint64_t image_size = uint64_t{target.stride} * static_cast<uint64_t>(target.height);
    if (request.style != DrawStyle::kWireframe &&
        Coverage::BlockSize(target.width, target.height) <= image_size / kCoverageShare &&
        !Failed(coverage.Allocate(target.width, target.height))) {
        surface.DrawNearestFirst(&coverage, DrawBackdrop);
    } else {
        DrawBackdrop(surface);
    }
    const Status drawn =
        request.style == DrawStyle::kWireframe
            ? DrawWireframe(model, surface, target.width, target.height, request.turn)
            : DrawPolygons(model, surface, target.width, target.height, request.turn, request.drawing);
    surface.FinishBackdrop();  // after a failure too: the canvas as the plain order leaves it
    return drawn;
}

// The shaded model over the backdrop or a plain colour. Each pixel is its
// four samples averaged, those the model left empty taking the backdrop's
// pixel, band by band as the bands are drawn.
Status DrawShadedOver(const ObjectModel& model, const DrawRequest& request, const DrawTarget& target) {
    Surface surface(target.pixels, target.width, target.height, target.stride);
    if (request.background.kind == ShadedBackground::Kind::kColour) {
        surface.Fill(request.background.colour);
    } else {
        DrawBackdrop(surface);
    }
    auto resolve = [&target](const ShadedSamples& band) {
        const ShadedSamples::Box box = band.drawn_box();
        for (int32_t y = box.y0; y <= box.y1; ++y) {
            uint8_t* row = target.pixels + static_cast<uint64_t>(target.height - 1 - y) * target.stride;
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
    return DrawShaded(model, target.width, target.height, request.margin, request.turn, request.textures,
                      request.drawing, resolve);
}

// The shaded model alone into RGBA rows: each pixel's colour the mean of its
// drawn samples, its alpha their share, rounded to nearest; transparent
// black where nothing is drawn.
Status DrawTransparent(const ObjectModel& model, const DrawRequest& request, const DrawTarget& target) {
    for (int32_t y = 0; y < target.height; ++y) {
        std::memset(target.pixels + uint64_t{target.stride} * static_cast<uint32_t>(y), 0,
                    4 * size_t{static_cast<uint32_t>(target.width)});
    }
    auto resolve = [&target](const ShadedSamples& band) {
        const ShadedSamples::Box box = band.drawn_box();
        for (int32_t y = box.y0; y <= box.y1; ++y) {
            uint8_t* to = target.pixels + uint64_t{target.stride} * static_cast<uint32_t>(y) + 4 * uint64_t(box.x0);
            for (int32_t x = box.x0; x <= box.x1; ++x, to += 4) {
                const ShadedSamples::PixelSum p = band.Pixel(x, y);
                if (p.drawn == 0) continue;
                to[0] = static_cast<uint8_t>((p.red + p.drawn / 2) / p.drawn);
                to[1] = static_cast<uint8_t>((p.green + p.drawn / 2) / p.drawn);
                to[2] = static_cast<uint8_t>((p.blue + p.drawn / 2) / p.drawn);
                to[3] = static_cast<uint8_t>((p.drawn * 255 + 2) / 4);
            }
        }
    };
    return DrawShaded(model, target.width, target.height, request.margin, request.turn, request.textures,
                      request.drawing, resolve);
}

Status DrawCanvas(const ObjectModel& model, const DrawRequest& request, const DrawTarget& target) {
    return request.style == DrawStyle::kShaded ? DrawShadedOver(model, request, target)
                                               : DrawFlat(model, request, target);
}

}  // namespace

Status DrawModel(const ObjectModel& model, const DrawRequest& request, const DrawTarget& target) {
    if (target.format == DrawTarget::Format::kBottomUpBgr) return DrawCanvas(model, request, target);
    if (request.style == DrawStyle::kShaded && request.background.kind == ShadedBackground::Kind::kNone) {
        return DrawTransparent(model, request, target);
    }
    // The canvas in a 24-bit block of its own, then turned into RGBA rows.
    const uint64_t stride = RowStride(static_cast<uint32_t>(target.width));
    OwnedArray<uint8_t> canvas;
    if (const Status s = canvas.Allocate(stride * static_cast<uint64_t>(target.height)); Failed(s)) return s;
    const DrawTarget block{DrawTarget::Format::kBottomUpBgr, canvas.data(), target.width, target.height,
                           static_cast<uint32_t>(stride)};
    if (const Status s = DrawCanvas(model, request, block); Failed(s)) return s;
    for (int32_t y = 0; y < target.height; ++y) {
        const uint8_t* from = block.pixels + static_cast<uint64_t>(target.height - 1 - y) * stride;
        uint8_t* to = target.pixels + uint64_t{target.stride} * static_cast<uint32_t>(y);
        for (int32_t x = 0; x < target.width; ++x, from += 3, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = 255;
        }
    }
    return status::kOk;
}

}  // namespace qavren
