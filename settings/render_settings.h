// RenderSettings: the drawing mode, picture size, the three angles, the
// forms the plug-in reads and whether the angles turn the model, as the registry stores them. One process-wide record; each picture works on a copy.
#pragma once

#include <cstdint>

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
    // Textures: with Shaded 1 and a file name from the host, the surfaces'
    // image textures are drawn; 0 turns them off (any other value, or
    // absent, leaves them on). Loaded, never saved.
    int32_t textures = 1;
};

// The process-wide record, starting from the defaults above.
RenderSettings CurrentSettings();
void SetCurrentSettings(const RenderSettings& settings);
void SetCurrentMode(int32_t mode);

}  // namespace qavren
