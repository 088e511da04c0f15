// Fuzz target over GetPicture's portable path: the first four bytes choose
// a small canvas, the mode, (bit 2 of the third) whether the newer forms
// are read and (bit 3) whether the polygons are shaded, and (the fourth)
// whether and how the angles turn the model; the rest is the object.
#include <cstddef>
#include <cstdint>

#include "platform/memory.h"
#include "plugin/picture.h"

using namespace qavren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > UINT32_MAX) return 0;
    RenderSettings settings;
    settings.width = static_cast<int8_t>(data[0]);  // includes 0 and negative sizes
    settings.height = static_cast<int8_t>(data[1]);
    settings.mode = data[2] & 3;
    settings.forms = (data[2] >> 2) & 1;
    settings.shaded = (data[2] >> 3) & 1;
    settings.view = data[3] & 1;
    settings.angle_x = (data[3] >> 1) * 29 - 1800;
    settings.angle_y = data[3] * 17;
    settings.angle_z = 90 * (data[3] >> 6);
    ObjectBuffer buffer;
    const Status loaded = buffer.LoadFromMemory(data + 4, static_cast<uint32_t>(size - 4));
    void* info = nullptr;
    void* bits = nullptr;
    if (AssemblePicture(loaded, buffer, settings, &info, &bits) == 0) {
        platform::FreeHostBlock(info);
        platform::FreeHostBlock(bits);
    }
    return 0;
}
