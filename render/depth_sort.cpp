// SortByDepth: the Hoare quicksort whose order the painter relies on, made
// safe against hostile files by a bounded stack and a heap-sort fallback.
#include "render/depth_sort.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
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
    ptrdiff_t i, j;  // low..i-1 and j+1..high remain to be sorted
};

// The scans of the partition below find their stops through bit masks, one
// machine word of records at a time, instead of one branch per record: a
// branch on random depths is mispredicted about every other record. A mask
// is built from the records as they are when it is built; that is what the
// plain scan would read, because a scan only ever reads records strictly
// between i and j, which no exchange has touched yet.
using Mask = uintptr_t;  // 64 records natively, 32 in the DLL: the same stops
constexpr int kMaskBits = std::numeric_limits<Mask>::digits;

// Stops of the i scan, upwards from `next`: records not below the pivot.
class UpwardStops {
public:
    UpwardStops(const Triangle* r, float pivot, ptrdiff_t next) : r_(r), pivot_(pivot), next_(next) {}

    // The first stop not yet taken and below `limit`, or `limit`.
    ptrdiff_t Take(ptrdiff_t limit) {
        while (mask_ == 0) {
            if (next_ >= limit) return limit;
            const int count = static_cast<int>(std::min<ptrdiff_t>(kMaskBits, limit - next_));
            for (int b = 0; b < count; ++b) mask_ |= static_cast<Mask>(!(r_[next_ + b].depth < pivot_)) << b;
            base_ = next_;
            next_ += count;
        }
        const ptrdiff_t at = base_ + std::countr_zero(mask_);
        mask_ &= mask_ - 1;
        return std::min(at, limit);
    }

private:
    const Triangle* r_;
    float pivot_;
    ptrdiff_t next_, base_ = 0;
    Mask mask_ = 0;
};

// Stops of the j scan, downwards from `next`: records not above the pivot.
class DownwardStops {
public:
    DownwardStops(const Triangle* r, float pivot, ptrdiff_t next) : r_(r), pivot_(pivot), next_(next) {}

    // The first stop not yet taken and above `limit`, or `limit`.
    ptrdiff_t Take(ptrdiff_t limit) {
        while (mask_ == 0) {
            if (next_ <= limit) return limit;
            const int count = static_cast<int>(std::min<ptrdiff_t>(kMaskBits, next_ - limit));
            for (int b = 0; b < count; ++b) mask_ |= static_cast<Mask>(!(r_[next_ - b].depth > pivot_)) << b;
            base_ = next_;
            next_ -= count;
        }
        const ptrdiff_t at = base_ - std::countr_zero(mask_);
        mask_ &= mask_ - 1;
        return std::max(at, limit);
    }

private:
    const Triangle* r_;
    float pivot_;
    ptrdiff_t next_, base_ = 0;
    Mask mask_ = 0;
};

// Hoare's partition: i stops on the plain negation of its comparison
// (depth < pivot), j on that of its own (depth > pivot); exchange; repeat
// until they meet. Neither scan can leave low..high, even with NaN depths,
// because such a stop always lies ahead of it: in the first round the
// middle record itself; after an exchange, the record now at j stopped the
// i scan, and the record now at i stops the j scan. So when the j scan
// finds no stop between i and its last stop, the plain scan would go on to
// i itself, and past it to i - 1 when the record at i is above the pivot.
Split Partition(Triangle* r, ptrdiff_t low, ptrdiff_t high) {
    const float pivot = r[(low + high) / 2].depth;
    UpwardStops up(r, pivot, low);
    DownwardStops down(r, pivot, high);
    ptrdiff_t i = low - 1, j = high + 1;
    for (;;) {
        i = up.Take(j);
        const ptrdiff_t last_j = j;
        j = down.Take(i);
        if (j == i && (i == last_j || r[i].depth > pivot)) --j;
        if (i >= j) return {i, j};
        std::swap(r[i], r[j]);
    }
}

// Indices are computed, never scanned for, so NaN depths cannot move them.
void SiftDown(Triangle* r, ptrdiff_t root, ptrdiff_t count) {
    for (;;) {
        ptrdiff_t child = 2 * root + 1;
        if (child >= count) return;
        if (child + 1 < count && r[child].depth < r[child + 1].depth) ++child;
        if (!(r[root].depth < r[child].depth)) return;
        std::swap(r[root], r[child]);
        root = child;
    }
}

void HeapSort(Triangle* r, ptrdiff_t count) {
    for (ptrdiff_t k = count / 2; k-- > 0;) SiftDown(r, k, count);
    for (ptrdiff_t end = count - 1; end > 0; --end) {
        std::swap(r[0], r[end]);
        SiftDown(r, 0, end);
    }
}

// The two parts are disjoint, so sorting them in either order leaves the same
// records; recursing into the smaller one keeps the stack within log2 T frames.
void Sort(Triangle* r, ptrdiff_t low, ptrdiff_t high, int levels) {
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

// Indices are pointer-sized inside: the records lie in memory, so low - 1,
// high + 1 and low + high fit, and the DLL does not pay for 64-bit ones.
void SortByDepth(Triangle* records, int32_t low, int32_t high) {
    if (high <= low) return;
    Sort(records, low, high, LevelBudget(int64_t{high} - low + 1));
}

}  // namespace qavren
