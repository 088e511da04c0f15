// The registry through ADVAPI32's 8-bit calls.
#include "platform/registry.h"

#include <windows.h>

namespace qavren::platform {

bool RegistryKey::Create(const RegistryKey* parent, const char* path) {
    HKEY root = parent ? static_cast<HKEY>(parent->handle_) : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    char empty_class[] = "";
    if (RegCreateKeyExA(root, path, 0, empty_class, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        handle_ = nullptr;
        return false;
    }
    handle_ = key;
    return true;
}

bool RegistryKey::Open(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        handle_ = nullptr;
        return false;
    }
    handle_ = key;
    return true;
}

bool RegistryKey::Close() {
    if (!handle_) return false;
    const bool closed = RegCloseKey(static_cast<HKEY>(handle_)) == ERROR_SUCCESS;
    handle_ = nullptr;
    return closed;
}

bool RegistryKey::Query(const char* name, void* buffer, uint32_t* size) const {
    DWORD length = *size;
    const LONG result =
        RegQueryValueExA(static_cast<HKEY>(handle_), name, nullptr, nullptr, static_cast<BYTE*>(buffer), &length);
    *size = length;
    return result == ERROR_SUCCESS;
}

bool RegistryKey::SetDword(const char* name, uint32_t value) {
    const DWORD data = value;
    return RegSetValueExA(static_cast<HKEY>(handle_), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

}  // namespace qavren::platform
