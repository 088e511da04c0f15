// The shaded style: the model lit in its surfaces' colours, faces smooth
// where their surface asks for it, the nearest surface at each sample kept
// by a depth buffer, four samples a pixel averaged into smooth edges.
//
// The fit is the described one (ProjectPoints: the same bounds, scale and
// depth factor), so the three styles of one object line up. Nearer means a
// smaller turned z. Faces are lit from whichever side faces the viewer
// (render/shading.h), and rasterised into bands of samples
// (render/shaded_raster.h, render/shaded_samples.h).
//
// Every step is integer arithmetic or double arithmetic in a fixed order,
// with no library functions but sqrt, floor, ceil and fabs, which are
// exact (the smoothing angle's cosine is SeriesCosine's), so the samples are
// the same bytes on every build and platform.
#pragma once

#include <cstdint>

#include "image/texture_source.h"
#include "object/model.h"
#include "platform/status.h"
#include "render/parallel.h"
#include "render/shaded_samples.h"
#include "render/view.h"

namespace qavren {

// Called with each band once it is drawn, to take its pixels into the
// picture: from any drawing thread, never for the same rows twice, so a
// resolver writes only the band's rows.
using ResolveBand = void (*)(void* context, const ShadedSamples& band);

// Draws `model` (any of the four forms, read with ModelParts::kWithSurfaces)
// into a width × height picture, band of rows by band of rows on the threads
// and in the bands `drawing` gives, each band handed to `resolve` as soon as
// it is drawn: fitted into the picture less `margin` pixels on every side,
// turned by `turn`, its surfaces' image layers found through `textures`
// (null: none; an image not found or not decoded leaves its layer out and
// never fails the picture). The bands are the same bytes for any threads
// and rows.
// status::kOk; status::kNoMemory when a side is not positive or above
// ShadedSamples::kMaxSide, or memory cannot be had; the model's
// polygon_status (status::kCorrupt) for a bad record. Every failure is found
// before any band is resolved.
Status DrawShaded(const ObjectModel& model, int32_t width, int32_t height, int32_t margin, const ModelTurn& turn,
                  const TextureSource* textures, const DrawingOptions& drawing, ResolveBand resolve, void* context);

// The same for any callable resolve(band).
template <typename Resolve>
Status DrawShaded(const ObjectModel& model, int32_t width, int32_t height, int32_t margin, const ModelTurn& turn,
                  const TextureSource* textures, const DrawingOptions& drawing, Resolve& resolve) {
    return DrawShaded(
        model, width, height, margin, turn, textures, drawing,
        [](void* context, const ShadedSamples& band) { (*static_cast<Resolve*>(context))(band); }, &resolve);
}

}  // namespace qavren
