// Every export runs with the floating-point state the core was built for
// (exceptions masked, round to nearest, no flush-to-zero) and hands the
// caller's own state back untouched: some hosts unmask exceptions.
#pragma once

#include <cstdint>
#include <xmmintrin.h>

namespace qavren {

class FloatingPointGuard {
public:
    FloatingPointGuard() {
#if defined(__i386__)
        // fnstenv saves control, status and tag words and masks all x87 exceptions.
        __asm__ __volatile__("fnstenv %0" : "=m"(x87_env_));
        const uint16_t control = 0x037F;
        __asm__ __volatile__("fldcw %0" : : "m"(control));
#endif
        mxcsr_ = _mm_getcsr();
        _mm_setcsr(0x1F80);
    }
    ~FloatingPointGuard() {
        _mm_setcsr(mxcsr_);
#if defined(__i386__)
        __asm__ __volatile__("fldenv %0" : : "m"(x87_env_));
#endif
    }
    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
#if defined(__i386__)
    uint8_t x87_env_[28];
#endif
    uint32_t mxcsr_;
};

}  // namespace qavren
