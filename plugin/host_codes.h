// The host's result codes and the one translation from Status to them.
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace qavren {

namespace host {
constexpr int32_t kSuccess = 0;
constexpr int32_t kNotImplemented = -1;
constexpr int32_t kUnknownFormat = 2;
constexpr int32_t kCorruptData = 3;
constexpr int32_t kOutOfMemory = 4;
constexpr int32_t kMemoryError = 5;
constexpr int32_t kFileReadError = 6;
}  // namespace host

constexpr int32_t MapToHostCode(Status s) {
    switch (s) {
    case status::kLwob:
    case status::kOk: return host::kSuccess;
    case status::kLayered:
    case status::kOtherForm: return host::kUnknownFormat;
    case status::kNoData:
    case status::kAlreadyFilled: return host::kMemoryError;
    case status::kReadError: return host::kFileReadError;
    case status::kNoMemory: return host::kOutOfMemory;
    case status::kCorrupt: return host::kCorruptData;
    default: return host::kNotImplemented;
    }
}

}  // namespace qavren
