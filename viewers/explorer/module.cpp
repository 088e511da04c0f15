// The module's four exports: the class factory of the thumbnail handler,
// whether the module may be unloaded, and per-user registration.
#include <windows.h>
#include <shlobj.h>

#include <atomic>

#include "platform/memory.h"
#include "viewers/explorer/handler_clsid.h"
#include "viewers/explorer/module.h"
#include "viewers/explorer/registration.h"
#include "viewers/explorer/thumbnail_provider.h"

namespace qavren::explorer {
namespace {

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

// One factory for the life of the module; a reference to it counts as a
// live object, so that the module stays while anyone holds it.
class ClassFactory final : public IClassFactory {
public:
    IFACEMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override {
        ObjectCreated();
        return 2;
    }
    IFACEMETHODIMP_(ULONG) Release() override {
        ObjectDestroyed();
        return 1;
    }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return CreateThumbnailProvider(iid, object);
    }
    IFACEMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ++g_locks;
        else
            --g_locks;
        return S_OK;
    }
};

ClassFactory g_factory;

// The module's own path, in a block of the longest path Windows has; null
// when the block cannot be had or the path does not fit.
wchar_t* ModulePath() {
    constexpr DWORD kLongest = 32768;
    auto* path = static_cast<wchar_t*>(platform::AllocateZeroed(kLongest * sizeof(wchar_t)));
    if (!path) return nullptr;
    const DWORD n = GetModuleFileNameW(g_module, path, kLongest);
    if (n == 0 || n >= kLongest) {
        platform::Free(path);
        return nullptr;
    }
    return path;
}

}  // namespace

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }

}  // namespace qavren::explorer

using namespace qavren::explorer;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        // Nothing here follows threads: Explorer's many threads need not
        // call in as they start and end.
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, kThumbnailHandlerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t* path = ModulePath();
    if (!path) return E_OUTOFMEMORY;
    const HRESULT hr = RegisterHandler(path);
    qavren::platform::Free(path);
    if (SUCCEEDED(hr)) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return hr;
}

STDAPI DllUnregisterServer() {
    const HRESULT hr = UnregisterHandler();
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return hr;
}
