// SettingsKey: the open key path of the settings, or closed; the subkey is
// opened and closed once for every value read or written.
#pragma once

#include <cstdint>

#include "platform/registry.h"

namespace qavren {

class SettingsKey {
public:
    // Opens `path` under HKEY_CURRENT_USER, creating missing keys. Succeeds
    // at once when already open.
    bool Open(const char* path);
    // The value, or `fallback` when the key is closed, the subkey cannot be
    // opened, or the value is absent or longer than four bytes. A shorter
    // value of any type is copied over the fallback's leading bytes.
    uint32_t ReadDword(const char* subkey, const char* name, uint32_t fallback) const;
    bool WriteDword(const char* subkey, const char* name, uint32_t value) const;
    bool Close() { return key_.Close(); }

private:
    platform::RegistryKey key_;
};

}  // namespace qavren
