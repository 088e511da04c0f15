// Counting replacements of glibc's allocation functions, forwarding to the
// real ones. Blocks are counted by malloc_usable_size on the way in and out,
// so a block freed inside a measurement that was taken before it can only
// make the peak smaller, never larger: measurements start with nothing live.
#include "tests/bench/peak_memory.h"

#include <malloc.h>

#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

bool g_counting = false;
int64_t g_live = 0;
int64_t g_peak = 0;

void* Counted(void* block) {
    if (g_counting && block) {
        g_live += static_cast<int64_t>(malloc_usable_size(block));
        if (g_live > g_peak) g_peak = g_live;
    }
    return block;
}

void Uncount(void* block) {
    if (g_counting && block) g_live -= static_cast<int64_t>(malloc_usable_size(block));
}

}  // namespace

extern "C" {

void* malloc(size_t size) noexcept { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) noexcept { return Counted(__libc_calloc(count, size)); }
void free(void* block) noexcept {
    Uncount(block);
    __libc_free(block);
}
void* realloc(void* block, size_t size) noexcept {
    Uncount(block);
    return Counted(__libc_realloc(block, size));
}
void* memalign(size_t alignment, size_t size) noexcept { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) noexcept { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    void* block = memalign(alignment, size);
    if (!block) return 12;  // ENOMEM
    *out = block;
    return 0;
}

}  // extern "C"

namespace qavren::bench {

void StartPeakMemory() {
    g_live = g_peak = 0;
    g_counting = true;
}

uint64_t StopPeakMemory() {
    g_counting = false;
    return static_cast<uint64_t>(g_peak);
}

}  // namespace qavren::bench
