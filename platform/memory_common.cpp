// The allocation counters and the failure-injection switch shared by both
// platform implementations.
#include "platform/memory.h"
#include "platform/memory_internal.h"

#include <atomic>

namespace qavren::platform {
namespace {
std::atomic<uint32_t> g_fail_countdown{0};
std::atomic<uint64_t> g_allocations{0};
std::atomic<int64_t> g_live{0};
}  // namespace

void FailAllocationAfter(uint32_t n) { g_fail_countdown.store(n); }
uint64_t AllocationCount() { return g_allocations.load(); }
int64_t LiveBlockCount() { return g_live.load(); }

bool ShouldFailAllocation() {
    g_allocations.fetch_add(1);
    uint32_t left = g_fail_countdown.load();
    while (left != 0) {
        if (g_fail_countdown.compare_exchange_weak(left, left - 1)) return left == 1;
    }
    return false;
}

void CountBlock(int delta) { g_live.fetch_add(delta); }

}  // namespace qavren::platform
