// The settings store: RenderSettings persisted as REG_DWORD values under
// HKEY_CURRENT_USER\Software\Oru\Susie Plug-in\QAVREN\Draw Image. Every
// failure is silent: reads fall back to the defaults, writes are skipped.
#pragma once

#include <cstdint>

#include "settings/render_settings.h"

namespace qavren {

// Replaces the process-wide record from the registry, value by value with
// the default for each missing one, and returns the record it loaded. The
// native build has no registry and returns the record as it stands.
RenderSettings LoadSettings();

// Writes the six values of the process-wide record back (never Forms or
// View, which only the registry's own editors change). Nothing natively.
void SaveSettings();

// The Forms value alone, read without creating any key and without touching
// the process-wide record: 0 when it is absent. Natively the record's.
int32_t LoadFormsSetting();

}  // namespace qavren
