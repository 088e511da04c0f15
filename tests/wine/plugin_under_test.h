// Loads the built QAVREN.SPI from the working directory the way a viewer
// does and measures calls: the stack pointer before and after each call
// must be the same (the callee pops its arguments).
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>

namespace qavren::testing {

// Pushes `count` 32-bit arguments (args[0] last, so it ends up first),
// calls `fn` and returns the callee's return value; *stack_delta receives
// ESP after the call minus ESP before the pushes plus the pushed bytes.
extern "C" int32_t CallMeasured(const void* fn, const uint32_t* args, uint32_t count, int32_t* stack_delta);

class PluginUnderTest {
public:
    PluginUnderTest() : module_(LoadLibraryA("QAVREN.SPI")) {}
    ~PluginUnderTest() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }
    const void* Export(const char* name) const {
        return reinterpret_cast<const void*>(GetProcAddress(module_, name));
    }

    // Calls an export with 32-bit arguments; fails the stack check if the
    // callee did not pop exactly its arguments.
    int32_t Call(const char* name, std::initializer_list<uint32_t> args, int32_t* stack_delta) const {
        uint32_t a[8] = {};
        uint32_t n = 0;
        for (uint32_t v : args) a[n++] = v;
        return CallMeasured(Export(name), a, n, stack_delta);
    }

private:
    HMODULE module_;
};

template <typename T>
uint32_t Arg(T* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace qavren::testing
