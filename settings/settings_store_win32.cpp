// The settings store over the current user's registry.
#include <cstring>

#include "settings/settings_key.h"
#include "settings/settings_store.h"

namespace qavren {
namespace {

const char kKeyPath[] = "Software\\Oru\\Susie Plug-in\\QAVREN";
const char kSubkey[] = "Draw Image";
const char kFormsPath[] = "Software\\Oru\\Susie Plug-in\\QAVREN\\Draw Image";
const char kFormsName[] = "Forms";
const char kViewName[] = "View";
const char kShadedName[] = "Shaded";
const char kTexturesName[] = "Textures";

// The six values in the order they are read and written.
struct Field {
    const char* name;
    int32_t RenderSettings::*member;
};
const Field kFields[] = {
    {"Type", &RenderSettings::mode},       {"Width", &RenderSettings::width},
    {"Height", &RenderSettings::height},   {"Angle X", &RenderSettings::angle_x},
    {"Angle Y", &RenderSettings::angle_y}, {"Angle Z", &RenderSettings::angle_z},
};

// A value of at most four bytes; a shorter value of any type is copied over
// the fallback's leading bytes.
uint32_t QueryDword(const platform::RegistryKey& key, const char* name, uint32_t fallback) {
    uint8_t value[4];
    std::memcpy(value, &fallback, 4);
    uint32_t size = sizeof value;
    if (!key.Query(name, value, &size)) return fallback;
    uint32_t result;
    std::memcpy(&result, value, 4);
    return result;
}

}  // namespace

bool SettingsKey::Open(const char* path) {
    if (key_.IsOpen()) return true;
    return key_.Create(nullptr, path);
}

uint32_t SettingsKey::ReadDword(const char* subkey, const char* name, uint32_t fallback) const {
    if (!key_.IsOpen()) return fallback;
    platform::RegistryKey sub;
    if (!sub.Create(&key_, subkey)) return fallback;
    return QueryDword(sub, name, fallback);
}

bool SettingsKey::WriteDword(const char* subkey, const char* name, uint32_t value) const {
    if (!key_.IsOpen()) return false;
    platform::RegistryKey sub;
    return sub.Create(&key_, subkey) && sub.SetDword(name, value);
}

RenderSettings LoadSettings() {
    // The path is assembled in a 260-byte buffer, as the key's name.
    char path[260] = "";
    std::strncat(path, kKeyPath, sizeof path - 1);
    SettingsKey key;
    key.Open(path);
    const RenderSettings defaults;
    RenderSettings loaded;
    for (const Field& f : kFields) {
        loaded.*f.member = static_cast<int32_t>(
            key.ReadDword(kSubkey, f.name, static_cast<uint32_t>(defaults.*f.member)));
    }
    loaded.forms = static_cast<int32_t>(key.ReadDword(kSubkey, kFormsName, 0));
    loaded.view = static_cast<int32_t>(key.ReadDword(kSubkey, kViewName, 0));
    loaded.shaded = static_cast<int32_t>(key.ReadDword(kSubkey, kShadedName, 0));
    loaded.textures = static_cast<int32_t>(key.ReadDword(kSubkey, kTexturesName, 1));
    key.Close();
    SetCurrentSettings(loaded);
    return loaded;
}

int32_t LoadFormsSetting() {
    platform::RegistryKey key;
    if (!key.Open(kFormsPath)) return 0;
    return static_cast<int32_t>(QueryDword(key, kFormsName, 0));
}

void SaveSettings() {
    char path[260] = "";
    std::strncat(path, kKeyPath, sizeof path - 1);
    const RenderSettings current = CurrentSettings();
    SettingsKey key;
    key.Open(path);
    for (const Field& f : kFields) key.WriteDword(kSubkey, f.name, static_cast<uint32_t>(current.*f.member));
    key.Close();
}

}  // namespace qavren
