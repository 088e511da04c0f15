// The host code of a whole picture drawn from object bytes through the
// plug-in's path (AssemblePicture), with both blocks freed again.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"

namespace qavren::testing {

inline int32_t PictureCode(const std::vector<uint8_t>& object, int32_t mode, int32_t width = 64, int32_t height = 48,
                           int32_t forms = 0) {
    ObjectBuffer buffer;
    const Status loaded = buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size()));
    RenderSettings settings;
    settings.mode = mode;
    settings.width = width;
    settings.height = height;
    settings.forms = forms;
    void* info = nullptr;
    void* bits = nullptr;
    const int32_t code = AssemblePicture(loaded, buffer, settings, &info, &bits);
    platform::FreeHostBlock(info);
    platform::FreeHostBlock(bits);
    return code;
}

}  // namespace qavren::testing
