// The thread-start failure switch shared by both implementations.
#include <atomic>

#include "platform/threads.h"
#include "platform/threads_internal.h"

namespace qavren::platform {
namespace {
std::atomic<uint32_t> g_fail_starts_after{0};
std::atomic<uint32_t> g_starts_seen{0};
}  // namespace

void FailThreadStartsAfter(uint32_t n) {
    g_starts_seen.store(0);
    g_fail_starts_after.store(n);
}

bool ShouldFailThreadStart() {
    const uint32_t after = g_fail_starts_after.load();
    if (after == 0) return false;
    return g_starts_seen.fetch_add(1) + 1 >= after;
}

}  // namespace qavren::platform
