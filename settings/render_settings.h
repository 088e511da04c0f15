// RenderSettings: the drawing mode, picture size and the three angles, as the
// registry stores them. One process-wide record; each picture works on a copy.
#pragma once

#include <cstdint>

namespace qavren {

struct RenderSettings {
    int32_t mode = 0;  // 0 draws the wireframe, any other value polygons
    int32_t width = 800;
    int32_t height = 600;
    int32_t angle_x = 0;  // loaded, saved and passed on; the view ignores them
    int32_t angle_y = 0;
    int32_t angle_z = 0;
};

// The process-wide record, starting from the defaults above.
RenderSettings CurrentSettings();
void SetCurrentSettings(const RenderSettings& settings);
void SetCurrentMode(int32_t mode);

}  // namespace qavren
