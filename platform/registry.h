// The current user's registry, as the settings store needs it: keys opened
// (created when missing) with all access, 4-byte values read and written.
// Windows only; the native build has no registry.
#pragma once

#include <cstdint>

namespace qavren::platform {

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { Close(); }

    // Opens `path` under `parent` (HKEY_CURRENT_USER when null), creating any
    // missing keys: an empty class, non-volatile, all access.
    bool Create(const RegistryKey* parent, const char* path);
    // Opens an existing key under HKEY_CURRENT_USER to read its values;
    // false, creating nothing, when it is missing.
    bool Open(const char* path);
    // True only when an open handle was closed successfully.
    bool Close();
    bool IsOpen() const { return handle_ != nullptr; }

    // Queries a value into `buffer` of `*size` bytes as RegQueryValueExA
    // does: the bytes are copied only when the value fits.
    bool Query(const char* name, void* buffer, uint32_t* size) const;
    bool SetDword(const char* name, uint32_t value);

private:
    void* handle_ = nullptr;
};

}  // namespace qavren::platform
