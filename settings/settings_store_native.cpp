// Natively there is no registry: the settings stay as they are.
#include "settings/settings_store.h"

namespace qavren {

RenderSettings LoadSettings() { return CurrentSettings(); }
void SaveSettings() {}
int32_t LoadFormsSetting() { return CurrentSettings().forms; }

}  // namespace qavren
