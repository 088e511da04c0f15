// The triangles of the polygon renderer and their depth sort.
#pragma once

#include <cstdint>

namespace qavren {

// 16 bytes: three point numbers and the depth (mean model z of the corners).
struct Triangle {
    uint32_t corner[3];
    float depth;
};
static_assert(sizeof(Triangle) == 16, "Triangle records are 16 bytes");

// What a sort did: the depth comparisons it made (the Hoare scans' and,
// after a fallback, the heap sort's), and whether it ran out of budget.
struct SortWork {
    uint64_t comparisons = 0;
    bool fell_back = false;
};

// The comparisons SortByDepth allows the plain procedure on `count` records:
// max(kBudgetPerRecordBit · count · bits(count), kBudgetFloor), where
// bits(count) = ceil(log2(count + 1)). Integers only, so that every build
// falls back at the same point.
uint64_t ComparisonBudget(int64_t count);

// Sorts records low..high (inclusive, signed; high < low is empty) by
// ascending depth in place, with exactly the order of a Hoare quicksort on
// the middle element's depth, so that equal depths are painted in the same
// order on every build. When that procedure would need more comparisons than
// ComparisonBudget allows (only quadratic inputs do), the ranges still
// unsorted once the budget is spent are heap sorted instead.
SortWork SortByDepth(Triangle* records, int32_t low, int32_t high);

// The same with a budget of the caller's, for tests and measurements; a
// budget of UINT64_MAX is the plain procedure.
SortWork SortByDepthWithin(Triangle* records, int32_t low, int32_t high, uint64_t budget);

// SortByDepth on up to `threads` threads. The first partitions are made on
// the calling thread until there are a few ranges per thread; the ranges
// are then sorted at once, each by the plain procedure from the count the
// partitions before it reached. Whenever the whole takes no more than the
// budget, no range falls back and the order is exactly SortByDepth's
// (ranges are disjoint, so the order they are sorted in does not matter):
// `exact` is true. Otherwise (only inputs near the quadratic worst case)
// the records are sorted but may differ from SortByDepth's fallback order:
// the caller rebuilds them as they were and calls SortByDepth.
struct ThreadedSort {
    SortWork work;
    bool exact;
    int32_t threads;  // that sorted ranges: 1 when the caller sorted alone
};
ThreadedSort SortByDepthOnThreads(Triangle* records, int32_t low, int32_t high, int32_t threads);

}  // namespace qavren
