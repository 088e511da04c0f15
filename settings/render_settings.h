// RenderSettings: the drawing mode, picture size, the three angles, the
// forms the plug-in reads and whether the angles turn the model, as the registry stores them. One process-wide record; each picture works on a copy.
#pragma once

#include <cstdint>

#include "render/canvas.h"
#include "render/view.h"

namespace qavren {

struct RenderSettings {
    int32_t mode = 0;  // 0 draws the wireframe, any other value polygons
    int32_t width = 800;
    int32_t height = 600;
    int32_t angle_x = 0;  // degrees; they turn the model only when view is 1
    int32_t angle_y = 0;
    int32_t angle_z = 0;
    // Forms: 1 lets the plug-in read LWLO, LWO2 and LWO3 objects as well;
    // 0 (or absent, or any other value) LWOB alone. Loaded, never saved.
    int32_t forms = 0;
    // View: 1 lets the three angles turn the model; 0 (or absent, or any
    // other value) keeps the front view, the angles unused. Loaded, never saved.
    int32_t view = 0;
    // Shaded: 1 draws the polygon style (mode not 0) shaded, over the same
    // background and grid; 0 (or absent, or any other value) keeps the
    // flat-shaded polygons. The wireframe is unchanged. Loaded, never saved.
    int32_t shaded = 0;
};

// The style the settings ask for: the wireframe for mode 0, else the
// shaded style with Shaded 1 and the polygons without.
inline DrawStyle StyleOf(const RenderSettings& s) {
    if (s.mode == 0) return DrawStyle::kWireframe;
    return s.shaded == 1 ? DrawStyle::kShaded : DrawStyle::kPolygons;
}

// An angle as the renderers get it: the stored one when View is 1, else none.
inline int32_t ViewAngle(const RenderSettings& s, int32_t angle) { return s.view == 1 ? angle : 0; }

// What the settings ask to draw: their style in their turn, over the canvas.
inline DrawRequest RequestOf(const RenderSettings& s) {
    DrawRequest request;
    request.style = StyleOf(s);
    request.turn = ModelTurn(ViewAngle(s, s.angle_x), ViewAngle(s, s.angle_y), ViewAngle(s, s.angle_z));
    return request;
}

// The process-wide record, starting from the defaults above.
RenderSettings CurrentSettings();
void SetCurrentSettings(const RenderSettings& settings);
void SetCurrentMode(int32_t mode);

}  // namespace qavren
