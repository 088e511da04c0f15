// The registration table and the two walks over it.
#include "viewers/explorer/registration.h"

#include <cwchar>

#include "viewers/explorer/handler_clsid.h"

namespace qavren::explorer {

#define QAVREN_CLASS_KEY L"Software\\Classes\\CLSID\\" QAVREN_THUMBNAIL_CLSID_TEXT
const wchar_t* const kClassKey = QAVREN_CLASS_KEY;
const wchar_t* const kShellExKey = L"Software\\Classes\\.lwo\\ShellEx\\" QAVREN_THUMBNAIL_CATEGORY_TEXT;

namespace {

// A REG_SZ value the handler owns. `data` null stands for the module's path.
// `ours_whatever_it_holds`: the value sits under the handler's own class key,
// which nothing else writes, so unregistering takes it whatever it holds (a
// path left by a copy of the module elsewhere); other values go only while
// they still hold what registering wrote.
struct Value {
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* data;
    bool ours_whatever_it_holds;
};

const Value kValues[] = {
    {QAVREN_CLASS_KEY, nullptr, L"QAVREN thumbnail handler for LightWave objects", true},
    {QAVREN_CLASS_KEY L"\\InprocServer32", nullptr, nullptr, true},
    {QAVREN_CLASS_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment", true},
    {L"Software\\Classes\\.lwo\\ShellEx\\" QAVREN_THUMBNAIL_CATEGORY_TEXT, nullptr, QAVREN_THUMBNAIL_CLSID_TEXT, false},
};

// Keys that registering may create, deepest first: unregistering removes
// each one that is left without values and subkeys. Software\Classes\CLSID
// and Software\Classes themselves are never removed.
const wchar_t* const kKeys[] = {
    QAVREN_CLASS_KEY L"\\InprocServer32",
    QAVREN_CLASS_KEY,
    L"Software\\Classes\\.lwo\\ShellEx\\" QAVREN_THUMBNAIL_CATEGORY_TEXT,
    L"Software\\Classes\\.lwo\\ShellEx",
    L"Software\\Classes\\.lwo",
};

// A key of HKEY_CURRENT_USER, closed on every exit.
class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    LSTATUS Create(const wchar_t* path) {
        return RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
    }
    LSTATUS Open(const wchar_t* path, REGSAM access) {
        return RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &key_);
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// True when the key's value `name` is a string equal to `expected`; the
// comparison ignores case, as the registry's own names and paths do.
bool HoldsString(HKEY key, const wchar_t* name, const wchar_t* expected) {
    wchar_t held[256];
    DWORD type = 0, size = sizeof held - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(held), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    held[size / sizeof(wchar_t)] = L'\0';
    return _wcsicmp(held, expected) == 0;
}

bool IsEmpty(HKEY key) {
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

}  // namespace

HRESULT RegisterHandler(const wchar_t* module_path) {
    for (const Value& v : kValues) {
        const wchar_t* data = v.data ? v.data : module_path;
        Key key;
        LSTATUS s = key.Create(v.key);
        if (s != ERROR_SUCCESS) return HRESULT_FROM_WIN32(s);
        const auto bytes = static_cast<DWORD>((std::wcslen(data) + 1) * sizeof(wchar_t));
        s = RegSetValueExW(key.get(), v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
        if (s != ERROR_SUCCESS) return HRESULT_FROM_WIN32(s);
    }
    return S_OK;
}

HRESULT UnregisterHandler() {
    for (const Value& v : kValues) {
        Key key;
        if (key.Open(v.key, KEY_QUERY_VALUE | KEY_SET_VALUE) != ERROR_SUCCESS) continue;
        if (v.ours_whatever_it_holds || HoldsString(key.get(), v.name, v.data)) RegDeleteValueW(key.get(), v.name);
    }
    for (const wchar_t* path : kKeys) {
        bool empty = false;
        {
            Key key;
            if (key.Open(path, KEY_QUERY_VALUE) != ERROR_SUCCESS) continue;
            empty = IsEmpty(key.get());
        }
        if (empty) RegDeleteKeyW(HKEY_CURRENT_USER, path);
    }
    return S_OK;
}

}  // namespace qavren::explorer
