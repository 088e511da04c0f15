// SortByDepth's scans by bit mask against the plain scans they replace: the
// partition written one comparison a record, with the same comparison budget
// and heap-sort fallback. Every input, NaN depths and fallback included, must
// come out in exactly the same order of records, since the painter's order
// of equal depths is that order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "render/depth_sort.h"

namespace qavren {
namespace {

using Records = std::vector<Triangle>;

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

// Counts one comparison a step of either scan; `spent` carries the count
// across the recursion.
void PlainSort(Triangle* r, int64_t low, int64_t high, uint64_t budget, uint64_t* spent) {
    while (low < high) {
        if (*spent > budget) {
            HeapSort(r + low, high - low + 1);
            return;
        }
        const float pivot = r[(low + high) / 2].depth;
        int64_t i = low - 1, j = high + 1;
        for (;;) {
            do ++i, ++*spent; while (r[i].depth < pivot);
            do --j, ++*spent; while (r[j].depth > pivot);
            if (i >= j) break;
            std::swap(r[i], r[j]);
        }
        if (i - low < high - j) {
            PlainSort(r, low, i - 1, budget, spent);
            low = j + 1;
        } else {
            PlainSort(r, j + 1, high, budget, spent);
            high = i - 1;
        }
    }
}

// Sorts depths[low..high] both ways, with SortByDepth's own budget or the
// one given; record k carries k in corner[0].
void ExpectSameOrder(const std::vector<float>& depths, int32_t low, int32_t high, uint64_t budget = 0) {
    Records mine;
    for (size_t k = 0; k < depths.size(); ++k) mine.push_back({{uint32_t(k), 0, 0}, depths[k]});
    Records plain = mine;
    if (budget == 0) {
        SortByDepth(mine.data(), low, high);
        budget = ComparisonBudget(int64_t{high} - low + 1);
    } else {
        SortByDepthWithin(mine.data(), low, high, budget);
    }
    uint64_t spent = 0;
    if (high > low) PlainSort(plain.data(), low, high, budget, &spent);
    for (size_t k = 0; k < mine.size(); ++k) {
        ASSERT_EQ(mine[k].corner[0], plain[k].corner[0]) << depths.size() << " records, at " << k;
    }
}

constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// `values` distinct depths; a share of them NaN, infinite or a signed zero.
std::vector<float> Depths(std::mt19937& rng, size_t n, int values, int odd_share) {
    std::vector<float> d(n);
    const float odd[] = {kNan, kInf, -kInf, 0.0f, -0.0f};
    for (float& v : d) {
        v = static_cast<float>(std::uniform_int_distribution<int>(0, values - 1)(rng)) * 0.5f - 3.0f;
        if (odd_share && rng() % odd_share == 0) v = odd[rng() % 5];
    }
    return d;
}

// Around the mask words of 32 and 64 records, and the partial words at the
// ends of every scan.
const size_t kSizes[] = {2,  3,  5,  16, 31,  32,  33,  47,  63,  64,   65,   96,
                         97, 127, 128, 129, 191, 255, 256, 257, 1000, 4096, 4097, 20000};

TEST(MaskedSort, OrdersLikeThePlainScans) {
    std::mt19937 rng(41);
    for (size_t n : kSizes) {
        for (int values : {1, 2, 3, 17, 1000000}) {
            for (int odd_share : {0, 3, 40}) {
                const std::vector<float> d = Depths(rng, n, values, odd_share);
                ExpectSameOrder(d, 0, int32_t(n) - 1);
            }
        }
    }
}

TEST(MaskedSort, OrderedAndReversedInputsAndInnerRanges) {
    std::mt19937 rng(42);
    for (size_t n : kSizes) {
        std::vector<float> d = Depths(rng, n, 50, 0);
        std::sort(d.begin(), d.end());
        ExpectSameOrder(d, 0, int32_t(n) - 1);
        std::reverse(d.begin(), d.end());
        ExpectSameOrder(d, 0, int32_t(n) - 1);
        // A range inside the array: the records around it must stay put.
        const std::vector<float> inner = Depths(rng, n + 20, 7, 10);
        ExpectSameOrder(inner, 10, int32_t(n) + 9);
    }
}

// Depths that make every middle record its range's smallest, so that each
// partition splits off one record and the sort runs out of budget; the
// upper half all tied, so that the heap sort that finishes leaves an order
// of its own. Both sorts must fall back at the same comparison, under
// budgets that run out at different depths.
TEST(MaskedSort, FallsBackToTheHeapSortAtTheSameComparison) {
    const size_t n = 3000;
    std::vector<size_t> at(n);
    for (size_t p = 0; p < n; ++p) at[p] = p;
    std::vector<float> d(n);
    for (size_t low = 0; low + 1 < n; ++low) {
        const size_t middle = (low + n - 1) / 2;
        d[at[middle]] = float(std::min(low, n / 2));
        std::swap(at[low], at[middle]);
    }
    d[at[n - 1]] = float(n / 2);
    // Around the cost of the first partitions, n + 1 or n + 2 each.
    for (uint64_t partitions : {1u, 2u}) {
        for (uint64_t budget = partitions * n - 3; budget <= partitions * n + 3; ++budget)
            ExpectSameOrder(d, 0, int32_t(n) - 1, budget);
    }
    for (uint64_t budget : {1u, 100000u, 1000000u}) ExpectSameOrder(d, 0, int32_t(n) - 1, budget);
}

}  // namespace
}  // namespace qavren
