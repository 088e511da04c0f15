// Loads the built plug-in from the working directory the way a viewer does
// (QAVREN.SPI in the 32-bit tree, QAVREN.SPH in the 64-bit one) and calls
// its exports. In the 32-bit build every call is measured: the stack
// pointer before and after each call must be the same (the callee pops its
// arguments). x64 has one calling convention in which the caller owns the
// stack, so there is nothing to measure and those assertions drop out.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace qavren::testing {

constexpr const char* kModuleFile = QAVREN_MODULE_FILE;

#if defined(__i386__)
// Pushes `count` 32-bit arguments (args[0] last, so it ends up first),
// calls `fn` and returns the callee's return value; *stack_delta receives
// ESP after the call minus ESP before the pushes plus the pushed bytes.
extern "C" int32_t CallMeasured(const void* fn, const uint32_t* args, uint32_t count, int32_t* stack_delta);
#define EXPECT_CALLEE_POPPED(delta) EXPECT_EQ((delta), 0)
#else
// Nothing to check; still takes a streamed message like the assertion.
#define EXPECT_CALLEE_POPPED(delta) \
    switch (0)                      \
    case 0:                         \
    default:                        \
        if (static_cast<void>(delta), true) {} else ::testing::Message()
#endif

// One argument as a host passes it: a pointer-wide slot. Signed integers are
// sign-extended into it and unsigned ones zero-extended, as the compiler of
// a host does when it widens an int or a UINT to LONG_PTR. The constructors
// are implicit, so that argument lists read as calls.
class Slot {
public:
    template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
    Slot(T value)
        : value_(static_cast<uintptr_t>(
              static_cast<std::conditional_t<std::is_signed_v<T>, intptr_t, uintptr_t>>(value))) {}
    template <typename T>
    Slot(T* pointer) : value_(reinterpret_cast<uintptr_t>(pointer)) {}
    Slot(std::nullptr_t) : value_(0) {}
    uintptr_t value() const { return value_; }

private:
    uintptr_t value_;
};

#if !defined(__i386__)
template <size_t>
using SlotType = uintptr_t;

// Every argument in one 8-byte register or stack slot: the x64 convention
// for integers and pointers of any width, whatever the callee declares.
template <size_t... I>
int32_t CallWithSlots(const void* fn, const uintptr_t* args, std::index_sequence<I...>) {
    using Fn = int32_t (*)(SlotType<I>...);
    return reinterpret_cast<Fn>(const_cast<void*>(fn))(args[I]...);
}
#endif

class PluginUnderTest {
public:
    PluginUnderTest() : module_(LoadLibraryA(kModuleFile)) {}
    ~PluginUnderTest() {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module() const { return module_; }
    const void* Export(const char* name) const {
        return reinterpret_cast<const void*>(GetProcAddress(module_, name));
    }
    // The export through the host's own declaration of it.
    template <typename Fn>
    Fn Function(const char* name) const {
        return reinterpret_cast<Fn>(const_cast<void*>(Export(name)));
    }

    // Calls an export with up to eight arguments. In the 32-bit build
    // *stack_delta is how far the callee left the stack pointer off (0 when
    // it popped exactly its arguments); in the 64-bit build it is 0.
    int32_t Call(const char* name, std::initializer_list<Slot> args, int32_t* stack_delta) const {
        const void* fn = Export(name);
        *stack_delta = 0;
        if (!fn || args.size() > 8) {
            ADD_FAILURE() << "cannot call " << name << " with " << args.size() << " arguments";
            return INT32_MIN;
        }
        const auto n = static_cast<uint32_t>(args.size());
#if defined(__i386__)
        uint32_t a[8] = {};
        uint32_t i = 0;
        for (Slot s : args) a[i++] = s.value();
        return CallMeasured(fn, a, n, stack_delta);
#else
        uintptr_t a[8] = {};
        uint32_t i = 0;
        for (Slot s : args) a[i++] = s.value();
        switch (n) {
        case 0: return CallWithSlots(fn, a, std::make_index_sequence<0>{});
        case 1: return CallWithSlots(fn, a, std::make_index_sequence<1>{});
        case 2: return CallWithSlots(fn, a, std::make_index_sequence<2>{});
        case 3: return CallWithSlots(fn, a, std::make_index_sequence<3>{});
        case 4: return CallWithSlots(fn, a, std::make_index_sequence<4>{});
        case 5: return CallWithSlots(fn, a, std::make_index_sequence<5>{});
        case 6: return CallWithSlots(fn, a, std::make_index_sequence<6>{});
        case 7: return CallWithSlots(fn, a, std::make_index_sequence<7>{});
        default: return CallWithSlots(fn, a, std::make_index_sequence<8>{});
        }
#endif
    }

private:
    HMODULE module_;
};

template <typename T>
Slot Arg(T* p) {
    return Slot(p);
}

// The exports as a host declares them, for calls through typed pointers.
// LONG_PTR and the pointers are 32 bits in the 32-bit build, 64 in the other.
namespace host {
typedef int(WINAPI* Progress)(int, int, LONG_PTR);
typedef int(WINAPI* GetPluginInfoW)(int, LPWSTR, int);
typedef int(WINAPI* IsSupported)(LPCSTR, const void*);
typedef int(WINAPI* IsSupportedW)(LPCWSTR, const void*);
typedef int(WINAPI* GetPictureInfo)(LPCSTR, LONG_PTR, UINT, void*);
typedef int(WINAPI* GetPictureInfoW)(LPCWSTR, LONG_PTR, UINT, void*);
typedef int(WINAPI* GetPicture)(LPCSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, Progress, LONG_PTR);
typedef int(WINAPI* GetPictureW)(LPCWSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, Progress, LONG_PTR);
}  // namespace host

// The size of the record GetPictureInfo fills: a 4- or 8-byte handle last.
constexpr uint32_t kPictureInfoSize = sizeof(void*) == 8 ? 32 : 26;

}  // namespace qavren::testing
