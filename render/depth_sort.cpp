// SortByDepth: the Hoare quicksort whose order the painter relies on, made
// safe against hostile files by a bounded stack and a heap-sort fallback.
#include "render/depth_sort.h"

#include <utility>

namespace qavren {
namespace {

// Partition levels allowed along one path before the rest of a range is heap
// sorted, per halving of the record count. The middle pivot's recursion on
// random depths reaches about 3 levels per halving (2 is exceeded on most
// random inputs of a thousand records, which would change the order of ties),
// while a pivot-defeating input needs one level per record.
constexpr int kLevelsPerHalving = 4;

int LevelBudget(int64_t count) {
    int halvings = 1;
    while (count >>= 1) ++halvings;
    return kLevelsPerHalving * halvings;
}

struct Split {
    int64_t i, j;  // low..i-1 and j+1..high remain to be sorted
};

// Neither scan can leave low..high, even with NaN depths: each stops on the
// plain negation of its own comparison, and such a record always lies ahead
// of it. In the first round it is the middle record itself (pivot < pivot and
// pivot > pivot are false, NaN or not). After an exchange, the record now at
// j is the one that stopped the i scan, so the next i scan stops at j at the
// latest; likewise the record now at i stops the next j scan.
Split Partition(Triangle* r, int64_t low, int64_t high) {
    const float pivot = r[(low + high) / 2].depth;
    int64_t i = low - 1, j = high + 1;
    for (;;) {
        do ++i; while (r[i].depth < pivot);
        do --j; while (r[j].depth > pivot);
        if (i >= j) return {i, j};
        std::swap(r[i], r[j]);
    }
}

// Indices are computed, never scanned for, so NaN depths cannot move them.
void SiftDown(Triangle* r, int64_t root, int64_t count) {
    for (;;) {
        int64_t child = 2 * root + 1;
        if (child >= count) return;
        if (child + 1 < count && r[child].depth < r[child + 1].depth) ++child;
        if (!(r[root].depth < r[child].depth)) return;
        std::swap(r[root], r[child]);
        root = child;
    }
}

void HeapSort(Triangle* r, int64_t count) {
    for (int64_t k = count / 2; k-- > 0;) SiftDown(r, k, count);
    for (int64_t end = count - 1; end > 0; --end) {
        std::swap(r[0], r[end]);
        SiftDown(r, 0, end);
    }
}

// The two parts are disjoint, so sorting them in either order leaves the same
// records; recursing into the smaller one keeps the stack within log2 T frames.
void Sort(Triangle* r, int64_t low, int64_t high, int levels) {
    while (low < high) {
        if (levels-- == 0) {
            HeapSort(r + low, high - low + 1);
            return;
        }
        const Split s = Partition(r, low, high);
        if (s.i - low < high - s.j) {
            Sort(r, low, s.i - 1, levels);
            low = s.j + 1;
        } else {
            Sort(r, s.j + 1, high, levels);
            high = s.i - 1;
        }
    }
}

}  // namespace

void SortByDepth(Triangle* records, int32_t low, int32_t high) {
    if (high <= low) return;
    Sort(records, low, high, LevelBudget(int64_t{high} - low + 1));
}

}  // namespace qavren
