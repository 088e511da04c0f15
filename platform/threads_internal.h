// Shared by the thread implementations: the failure-injection switch.
#pragma once

namespace qavren::platform {
bool ShouldFailThreadStart();
}  // namespace qavren::platform
