// Local memory: the fixed, zero-initialised blocks every internal array lives
// in, and the blocks handed to the host. Every allocation may fail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavren::platform {

// A fixed block of `size` zero bytes, or null. A zero size gives a valid,
// empty block.
void* AllocateZeroed(size_t size);
void Free(void* block);

// A fixed block for the host (not zeroed), which the host frees; or null.
// On Windows this is LMEM_FIXED local memory, so the handle is the pointer.
void* AllocateForHost(size_t size);
void FreeHostBlock(void* block);

// Test hook: makes the allocation `n` calls from now fail (1 = the next one);
// 0 turns it off. Counts both kinds of allocation.
void FailAllocationAfter(uint32_t n);
// Number of allocations made so far, and of blocks not yet freed.
uint64_t AllocationCount();
int64_t LiveBlockCount();

}  // namespace qavren::platform
