// The process-wide RenderSettings. A lock keeps a copy from being torn when a
// host calls in from several threads, though the interface asks it not to.
#include "settings/render_settings.h"

#include <mutex>

namespace qavren {
namespace {
std::mutex g_lock;
RenderSettings g_settings;
}  // namespace

RenderSettings CurrentSettings() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_settings;
}

void SetCurrentSettings(const RenderSettings& settings) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_settings = settings;
}

void SetCurrentMode(int32_t mode) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_settings.mode = mode;
}

}  // namespace qavren
