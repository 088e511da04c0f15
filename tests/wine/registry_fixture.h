// The plug-in's registry values in the test prefix: cleared, set and read
// back by the tests, as a user or another program would edit them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace qavren::testing {

constexpr const char* kSettingsPath = "Software\\Oru\\Susie Plug-in\\QAVREN";
constexpr const char* kDrawImagePath = "Software\\Oru\\Susie Plug-in\\QAVREN\\Draw Image";

inline void ClearSettings() { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsPath); }

// Makes the key path impossible to create: its parent becomes a volatile
// key, under which no lasting key may be made. False if that cannot be set
// up; RemoveSettingsParent undoes it.
constexpr const char* kSettingsParent = "Software\\Oru\\Susie Plug-in";
inline bool MakeSettingsPathUncreatable() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsParent);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsParent, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    HKEY probe;
    const bool blocked = RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS, nullptr, &probe, nullptr) != ERROR_SUCCESS;
    if (!blocked) RegCloseKey(probe);
    return blocked;
}
inline void RemoveSettingsParent() { RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsParent); }

inline void SetValue(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kDrawImagePath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

inline void SetDword(const char* name, uint32_t value) { SetValue(name, REG_DWORD, &value, sizeof value); }

// Removes one value, as if never stored.
inline void ClearValue(const char* name) { RegDeleteKeyValueA(HKEY_CURRENT_USER, kDrawImagePath, name); }

// The stored value, or -1 when it is absent.
inline int64_t StoredDword(const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kDrawImagePath, name, RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS)
        return -1;
    return value;
}

}  // namespace qavren::testing
