// Status: the result of every loader, check and renderer. 1 and 0 are
// success, 2 a recognised form that is not drawn, negative values failures.
#pragma once

#include <cstdint>

namespace qavren {

using Status = int32_t;

namespace status {
constexpr Status kLwob = 1;              // the data is an LWOB form
constexpr Status kDrawnForm = 1;         // a form the caller draws (LWOB, or a newer one it accepts)
constexpr Status kOk = 0;                // success
constexpr Status kLayered = 2;           // an LWLO form, recognised and refused
constexpr Status kNoData = -1;           // no data is present
constexpr Status kAlreadyFilled = -2;    // the buffer already holds data
constexpr Status kReadError = -3;        // cannot open, bad offset, short read
constexpr Status kNoMemory = -4;         // an allocation failed or cannot be sized
constexpr Status kCorrupt = -5;          // too short, not FORM, chunk missing, bad record
constexpr Status kOtherForm = -6;        // a FORM of another type
constexpr Status kUnsupportedInput = -7; // the kind of input is not supported
}  // namespace status

// True for the results on which a caller may go on and draw.
constexpr bool Failed(Status s) { return s < 0; }

}  // namespace qavren
