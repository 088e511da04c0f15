// Shared by the memory implementations: the injection switch and counters.
#pragma once

namespace qavren::platform {
bool ShouldFailAllocation();
void CountBlock(int delta);
}  // namespace qavren::platform
