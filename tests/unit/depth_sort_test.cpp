// Tests for SortByDepth: the order of ties is exactly the plain Hoare
// quicksort's, inputs that defeat the middle pivot finish fast, and NaN
// depths never move a scan outside the range.
#include "render/depth_sort.h"
#include "tests/unit/pivot_killer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace qavren {
namespace {

using Records = std::vector<Triangle>;

// The plain recursive Hoare quicksort on the middle record's depth, without
// the stack bound and the heap-sort fallback: the oracle for the order of
// equal depths.
void PlainSort(Triangle* r, int32_t low, int32_t high) {
    while (low < high) {
        const float pivot = r[(low + high) / 2].depth;
        int32_t i = low - 1, j = high + 1;
        for (;;) {
            do ++i; while (r[i].depth < pivot);
            do --j; while (r[j].depth > pivot);
            if (i >= j) break;
            std::swap(r[i], r[j]);
        }
        PlainSort(r, low, i - 1);
        low = j + 1;
    }
}

// Record k carries k as its id in corner[0].
Records WithDepths(const std::vector<float>& depths) {
    Records r;
    for (size_t k = 0; k < depths.size(); ++k) r.push_back({{uint32_t(k), 0, 0}, depths[k]});
    return r;
}

std::vector<uint32_t> Ids(const Records& r) {
    std::vector<uint32_t> ids;
    for (const Triangle& t : r) ids.push_back(t.corner[0]);
    return ids;
}

void ExpectSameOrderAsPlainSort(const std::vector<float>& depths) {
    Records mine = WithDepths(depths), oracle = mine;
    SortByDepth(mine.data(), 0, int32_t(mine.size()) - 1);
    PlainSort(oracle.data(), 0, int32_t(oracle.size()) - 1);
    ASSERT_EQ(Ids(mine), Ids(oracle)) << depths.size() << " records";
}

// `values` distinct depths drawn at random; few values mean many ties.
std::vector<float> RandomDepths(std::mt19937& rng, size_t n, int values) {
    std::uniform_int_distribution<int> pick(0, values - 1);
    std::vector<float> d(n);
    for (float& v : d) v = float(pick(rng)) * 0.25f - 1.0f;
    return d;
}

TEST(SortByDepth, TiesComeOutInThePlainQuicksortsOrder) {
    std::mt19937 rng(2024);
    for (int values : {1, 2, 5}) {
        for (size_t n = 1; n <= 70; ++n)
            for (int round = 0; round < 20; ++round) ExpectSameOrderAsPlainSort(RandomDepths(rng, n, values));
        for (size_t n : {255u, 1000u, 4099u, 30000u}) ExpectSameOrderAsPlainSort(RandomDepths(rng, n, values));
    }
}

// Hundreds of distinct depths with ties among them make the recursion as deep
// as it gets on ordinary input: the fallback must not cut in there.
TEST(SortByDepth, DeepOrdinaryInputsKeepThePlainQuicksortsOrder) {
    std::mt19937 rng(77);
    for (int round = 0; round < 200; ++round) ExpectSameOrderAsPlainSort(RandomDepths(rng, 1000, 500));
    for (int round = 0; round < 10; ++round) ExpectSameOrderAsPlainSort(RandomDepths(rng, 50000, 5000));
    // Models often list their faces already in depth order, or in reverse.
    std::vector<float> rising = RandomDepths(rng, 5000, 40);
    std::sort(rising.begin(), rising.end());
    ExpectSameOrderAsPlainSort(rising);
    ExpectSameOrderAsPlainSort(std::vector<float>(rising.rbegin(), rising.rend()));
}

using testing::MiddlePivotKiller;

void ExpectSortedFast(const std::vector<float>& depths) {
    Records r = WithDepths(depths);
    const auto start = std::chrono::steady_clock::now();
    SortByDepth(r.data(), 0, int32_t(r.size()) - 1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);  // the plain procedure needs minutes
    for (size_t k = 1; k < r.size(); ++k) ASSERT_LE(r[k - 1].depth, r[k].depth) << k;
    std::vector<uint32_t> ids = Ids(r);
    std::sort(ids.begin(), ids.end());
    for (size_t k = 0; k < ids.size(); ++k) ASSERT_EQ(ids[k], k);
}

TEST(SortByDepth, InputsThatDefeatTheMiddlePivotFinishSorted) {
    constexpr size_t n = size_t{1} << 19;
    ExpectSortedFast(MiddlePivotKiller(n));
    std::vector<float> organ_pipe(n);
    for (size_t k = 0; k < n; ++k) organ_pipe[k] = float(std::min(k, n - 1 - k));
    ExpectSortedFast(organ_pipe);
}

// The range sits between guard records whose depths would lure a runaway
// scan on (+inf left of it, -inf right of it); they must stay untouched.
TEST(SortByDepth, NanDepthsStayWithinTheRange) {
    constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    std::mt19937 rng(5);
    for (size_t n = 1; n <= 300; n += (n < 40 ? 1 : 37)) {
        for (int nan_share : {1, 2, 4, 8}) {  // every nan_share-th record, on average
            std::vector<float> d = RandomDepths(rng, n + 2, 5);
            for (size_t k = 1; k <= n; ++k)
                if (rng() % nan_share == 0) d[k] = kNan;
            d.front() = kInf;
            d.back() = -kInf;
            Records r = WithDepths(d);
            SortByDepth(r.data(), 1, int32_t(n));
            ASSERT_EQ(r.front().corner[0], 0u);
            ASSERT_EQ(r.back().corner[0], n + 1);
            std::vector<uint32_t> ids = Ids(r);
            std::sort(ids.begin(), ids.end());
            for (size_t k = 0; k < ids.size(); ++k) ASSERT_EQ(ids[k], k);
        }
    }
}

TEST(SortByDepth, EmptyAndSingleRangesAreLeftAlone) {
    SortByDepth(nullptr, 0, -1);  // T = 0: nothing may be touched
    Records one = WithDepths({3.0f, 1.0f});
    SortByDepth(one.data(), 1, 1);
    SortByDepth(one.data(), 1, 0);
    EXPECT_EQ(Ids(one), (std::vector<uint32_t>{0, 1}));
}

}  // namespace
}  // namespace qavren
