// Pieces the rasteriser's files share: the exact integer divisions, the
// coordinate clamp, the run writer and a line's walk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "render/surface.h"

namespace qavren {

// The on-canvas pixels of a line as Surface::Line walks them: the first one
// (major coordinate u, minor v), how many, and the error term e = q*2n - t
// of the minor offset q = ceil(t / 2n), t = 2k*dv - n, kept in [0, 2n) as t
// grows by 2dv a step. With |dv| <= n <= 2^29, e - 2dv and e + 2n stay
// within 32 bits.
struct LineWalk {
    bool x_major;
    int32_t s;  // +1 or -1 along the major axis
    int32_t u, v;
    int32_t count;
    int32_t error, two_n, two_dv;
};

namespace surface_detail {

// Floor and ceiling of n / d for d > 0 (built-in division truncates).
// Operands that fit 32 bits, as on-canvas ones do, are divided as such:
// the same quotient, without the DLL's slow 64-bit division routine.
inline int64_t FloorDiv(int64_t n, int64_t d) {
    if (n == static_cast<int32_t>(n) && d == static_cast<int32_t>(d)) {
        const auto n32 = static_cast<int32_t>(n), d32 = static_cast<int32_t>(d);
        return n32 / d32 - (n32 % d32 < 0 ? 1 : 0);
    }
    const int64_t q = n / d;
    return (n % d < 0) ? q - 1 : q;
}
inline int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }

// Callers promise coordinates within ±kCoordinateLimit; pulling stray ones
// onto the limit keeps every product below well inside int64.
static_assert(kCoordinateLimit <= (1 << 28), "the bounds below assume coordinates within ±2^28");
inline Point Clamped(Point p) {
    return {std::clamp(p.x, -kCoordinateLimit, kCoordinateLimit),
            std::clamp(p.y, -kCoordinateLimit, kCoordinateLimit)};
}

// Sixteen pixels of one colour, blue, green, red: runs of pixels are written
// 48 bytes at a time, which compilers turn into three 16-byte stores, and
// the rest of a run by one more such write that ends where the run ends.
// It overlaps the last one, but with the same bytes: 48 is a whole number
// of pixels, so both writes put each colour byte at its own place.
struct PixelPattern {
    uint8_t bytes[48];
    explicit PixelPattern(Colour c) {
        for (int k = 0; k < 48; k += 3) {
            bytes[k] = static_cast<uint8_t>(c >> 16);
            bytes[k + 1] = static_cast<uint8_t>(c >> 8);
            bytes[k + 2] = static_cast<uint8_t>(c);
        }
    }
    // `count` pixels from `p` on; shorter runs go four pixels at a time.
    void Write(uint8_t* p, int64_t count) const {
        if (count < 4) {
            for (int64_t k = 0; k < 3 * count; ++k) p[k] = bytes[k];
        } else if (count < 16) {
            WriteBy<12>(p, p + 3 * count);
        } else {
            WriteBy<48>(p, p + 3 * count);
        }
    }

private:
    template <int kBytes>
    void WriteBy(uint8_t* p, uint8_t* end) const {
        for (; p < end - kBytes; p += kBytes) std::memcpy(p, bytes, kBytes);
        std::memcpy(end - kBytes, bytes, kBytes);
    }
};

}  // namespace surface_detail
}  // namespace qavren
