// Peak heap use of a stretch of code: the benchmark program replaces malloc
// and its relatives with counting ones, so every block the core, the C++
// library or the benchmark takes between Start and Stop is counted at its
// usable size. One thread only.
#pragma once

#include <cstdint>

namespace qavren::bench {

// Begins a measurement with nothing counted.
void StartPeakMemory();

// Ends it: the most bytes that were live at once since StartPeakMemory.
uint64_t StopPeakMemory();

}  // namespace qavren::bench
