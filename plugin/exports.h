// Declarations shared by the module's export files.
#pragma once

#include <windows.h>

namespace qavren {
// The module instance handle, recorded on process attach.
HINSTANCE ModuleInstance();
}  // namespace qavren

// The host's progress callback: takes three 32-bit integers, pops them.
typedef int(WINAPI* SusieProgress)(int, int, LONG);
