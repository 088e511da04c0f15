// SortByDepth: the Hoare quicksort whose order the painter relies on, made
// safe against hostile files by a bounded stack and a comparison budget
// beyond which the rest is heap sorted.
#include "render/depth_sort.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "render/parallel.h"

namespace qavren {
namespace {

// The comparison budget, c · T · bits(T) or K, whichever is larger; the
// measurements behind both are in docs/PERFORMANCE.md ("The depth sort's
// budget"). Ordinary depths need 0.9 to 4.3 T·log2 T comparisons at every
// size: random, sorted and reversed ones, the corpus (at most 1.8), double-
// sided cylinders seen along their axis, or across it and turned by 0.001
// radians or more, up to 64,000 triangles; c = 5 covers them. A ring of
// depths (faces around an axis that lies exactly across the view) needs
// about T^2 / 4, a file that defeats the middle pivot T^2 / 2:
// K lets every object up to about 4,500 triangles, and every ring up to
// about 6,300, keep the plain order whatever its shape, while c·T·bits(T)
// keeps the work proportional for large ones. The cost of K: a defeating
// file of 100,000 triangles draws in about 2.3 times the time of a random
// one in the DLL; at a million the sort alone takes 2.7 times as long.
constexpr uint64_t kBudgetPerRecordBit = 5;     // c
constexpr uint64_t kBudgetFloor = 10'000'000;   // K

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
// Returns the comparisons made.
uint64_t SiftDown(Triangle* r, ptrdiff_t root, ptrdiff_t count) {
    uint64_t comparisons = 0;
    for (;;) {
        ptrdiff_t child = 2 * root + 1;
        if (child >= count) return comparisons;
        if (child + 1 < count) {
            ++comparisons;
            if (r[child].depth < r[child + 1].depth) ++child;
        }
        ++comparisons;
        if (!(r[root].depth < r[child].depth)) return comparisons;
        std::swap(r[root], r[child]);
        root = child;
    }
}

uint64_t HeapSort(Triangle* r, ptrdiff_t count) {
    uint64_t comparisons = 0;
    for (ptrdiff_t k = count / 2; k-- > 0;) comparisons += SiftDown(r, k, count);
    for (ptrdiff_t end = count - 1; end > 0; --end) {
        std::swap(r[0], r[end]);
        comparisons += SiftDown(r, 0, end);
    }
    return comparisons;
}

// The plain procedure, counting its comparisons: each step of either scan
// is one, so a partition of low..high that ends at (i, j) made
// (i - low + 1) + (high - j + 1) of them, whichever way the scans found
// their stops. Once the count passes the budget, every range not yet sorted
// is heap sorted. The plain order is kept whenever the plain procedure
// needs no more than the budget; beyond it the work is at most the budget,
// one more partition (T + 2) and heap sorts of at most 2 T (log2 T + 1).
class Sorter {
public:
    Sorter(Triangle* r, uint64_t budget) : r_(r), budget_(budget) {}
    // Sorters of disjoint ranges on several threads: each adds what it
    // counts to `total`, and the budget is held against the total.
    Sorter(Triangle* r, uint64_t budget, std::atomic<uint64_t>* total) : r_(r), budget_(budget), total_(total) {}

    // The two parts are disjoint, so sorting them in either order leaves the
    // same records; recursing into the smaller one keeps the stack within
    // log2 T frames.
    void Sort(ptrdiff_t low, ptrdiff_t high) {
        while (low < high) {
            if (OverBudget()) {
                work_.fell_back = true;
                work_.comparisons += HeapSort(r_ + low, high - low + 1);
                return;
            }
            const Split s = Partition(r_, low, high);
            work_.comparisons += static_cast<uint64_t>((s.i - low + 1) + (high - s.j + 1));
            if (s.i - low < high - s.j) {
                Sort(low, s.i - 1);
                low = s.j + 1;
            } else {
                Sort(s.j + 1, high);
                high = s.i - 1;
            }
        }
    }

    // The work of this sorter alone; with a total, all of it added there.
    SortWork work() {
        if (total_) OverBudget();
        return work_;
    }

private:
    bool OverBudget() {
        if (!total_) return work_.comparisons > budget_;
        const uint64_t sum = total_->fetch_add(work_.comparisons - added_) + (work_.comparisons - added_);
        added_ = work_.comparisons;
        return sum > budget_;
    }

    Triangle* r_;
    uint64_t budget_;
    SortWork work_;
    std::atomic<uint64_t>* total_ = nullptr;
    uint64_t added_ = 0;  // of work_.comparisons, what total_ holds
};

// Threads pay for a sort from this many records each; each thread gets
// about two ranges, so that one finishing early can take another.
constexpr int64_t kRecordsPerThread = 1 << 14;
constexpr int32_t kRangesPerThread = 2;

struct Range {
    ptrdiff_t low, high;
};

}  // namespace

uint64_t ComparisonBudget(int64_t count) {
    if (count <= 0) return kBudgetFloor;
    const auto records = static_cast<uint64_t>(count);
    return std::max(kBudgetPerRecordBit * records * static_cast<uint64_t>(std::bit_width(records)), kBudgetFloor);
}

// Indices are pointer-sized inside: the records lie in memory, so low - 1,
// high + 1 and low + high fit, and the DLL does not pay for 64-bit ones.
SortWork SortByDepthWithin(Triangle* records, int32_t low, int32_t high, uint64_t budget) {
    if (high <= low) return {};
    Sorter sorter(records, budget);
    sorter.Sort(low, high);
    return sorter.work();
}

SortWork SortByDepth(Triangle* records, int32_t low, int32_t high) {
    return SortByDepthWithin(records, low, high, ComparisonBudget(int64_t{high} - low + 1));
}

// The partitions of the split and every range's add up to the plain
// procedure's own count as long as no range falls back; the total never
// exceeds that count, so within the budget no range falls back, and a
// total within the budget proves the plain procedure never fell back
// either. Once the total passes the budget the ranges heap sort what is
// left, a bounded amount of work in a result the caller discards.
ThreadedSort SortByDepthOnThreads(Triangle* records, int32_t low, int32_t high, int32_t threads) {
    const int64_t count = int64_t{high} - low + 1;
    const uint64_t budget = ComparisonBudget(count);
    const int64_t useful = std::min<int64_t>(std::min(threads, kMaxThreads), count / kRecordsPerThread);
    if (useful <= 1) return {SortByDepthWithin(records, low, high, budget), true, 1};

    Range ranges[kRangesPerThread * kMaxThreads];
    int32_t ranges_made = 1;
    ranges[0] = {low, high};
    uint64_t split = 0;  // the comparisons of the partitions made here
    while (ranges_made < kRangesPerThread * useful) {
        Range* largest = std::max_element(ranges, ranges + ranges_made, [](const Range& a, const Range& b) {
            return a.high - a.low < b.high - b.low;
        });
        const Range whole = *largest;
        if (whole.high - whole.low < 1) break;
        const Split s = Partition(records, whole.low, whole.high);
        split += static_cast<uint64_t>((s.i - whole.low + 1) + (whole.high - s.j + 1));
        *largest = {whole.low, s.i - 1};
        ranges[ranges_made++] = {s.j + 1, whole.high};
    }
    std::atomic<uint64_t> total{split};
    std::atomic<bool> fell_back{false};
    auto sort_range = [&](int32_t k, int32_t /*worker*/) {
        Sorter sorter(records, budget, &total);
        sorter.Sort(ranges[k].low, ranges[k].high);
        if (sorter.work().fell_back) fell_back.store(true);
    };
    const int32_t ran = RunPieces(ranges_made, static_cast<int32_t>(useful), sort_range);
    const SortWork work{total.load(), fell_back.load()};
    return {work, !work.fell_back && work.comparisons <= budget, ran};
}

}  // namespace qavren
