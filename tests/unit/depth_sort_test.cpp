// Tests for SortByDepth: the order of ties is exactly the plain Hoare
// quicksort's whenever that procedure needs no more comparisons than the
// budget (ordinary depths, double-sided models, short rings), inputs that
// defeat the middle pivot end within a bounded number of comparisons, and
// NaN depths never move a scan outside the range.
#include "render/depth_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "object/lwob.h"
#include "render/triangle_passes.h"
#include "tools/lwogen/depth_objects.h"

namespace qavren {
namespace {

using Records = std::vector<Triangle>;

// The plain recursive Hoare quicksort on the middle record's depth, without
// the stack bound and the fallback: the oracle for the order of equal depths
// and for the number of comparisons. Returns the comparisons it made.
uint64_t PlainSort(Triangle* r, int32_t low, int32_t high) {
    uint64_t comparisons = 0;
    while (low < high) {
        const float pivot = r[(low + high) / 2].depth;
        int32_t i = low - 1, j = high + 1;
        for (;;) {
            do ++i, ++comparisons; while (r[i].depth < pivot);
            do --j, ++comparisons; while (r[j].depth > pivot);
            if (i >= j) break;
            std::swap(r[i], r[j]);
        }
        comparisons += PlainSort(r, low, i - 1);
        low = j + 1;
    }
    return comparisons;
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

// The plain procedure must need no more than the budget here, and then the
// sort is that procedure: the same records in the same order, with the same
// number of comparisons.
void ExpectSameOrderAsPlainSort(const std::vector<float>& depths) {
    Records mine = WithDepths(depths), oracle = mine;
    const SortWork work = SortByDepth(mine.data(), 0, int32_t(mine.size()) - 1);
    const uint64_t plain = PlainSort(oracle.data(), 0, int32_t(oracle.size()) - 1);
    ASSERT_LE(plain, ComparisonBudget(int64_t(depths.size())));
    ASSERT_FALSE(work.fell_back);
    ASSERT_EQ(work.comparisons, plain);
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

// The depths of the triangle records the polygon renderer builds for an
// object, in file order.
std::vector<float> TriangleDepths(const tools::LwoWriter& object) {
    const std::vector<uint8_t> bytes = object.Build();
    ObjectBuffer buffer;
    ObjectModel model;
    ProjectedPoints points;
    EXPECT_EQ(buffer.LoadFromMemory(bytes.data(), uint32_t(bytes.size())), status::kOk);
    EXPECT_EQ(ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model), status::kOk);
    EXPECT_EQ(ProjectPoints(model, 800, 600, ModelTurn(), &points), status::kOk);
    Records records(CountTriangles(model.polygons));
    FillTriangles(model.polygons, points, records.data());
    std::vector<float> depths;
    for (const Triangle& t : records) depths.push_back(t.depth);
    return depths;
}

// Double-sided faces put every depth twice in a row, and a cylinder whose
// axis lies across the view puts its faces on a ring of depths: the plain
// procedure goes deep on both, yet must keep its order. Up to 500 sides,
// turned a little or not at all, seen across or along the axis.
TEST(SortByDepth, DoubleSidedCylindersAndShortRingsKeepThePlainOrder) {
    for (int sides : {24, 37, 96, 150, 256, 333, 500}) {
        for (double turn : {0.0, 0.001, 0.003, 0.02, 0.1}) {
            for (bool end_on : {false, true}) {
                SCOPED_TRACE(testing::Message() << sides << " sides, turned " << turn << (end_on ? ", end on" : ""));
                ExpectSameOrderAsPlainSort(TriangleDepths(tools::MakeDoubleSidedCylinder(sides, turn, end_on)));
            }
        }
    }
    for (size_t n : {1000u, 3000u, 6000u}) {
        SCOPED_TRACE(testing::Message() << "ring of " << n);
        ExpectSameOrderAsPlainSort(tools::RingDepths(n));
    }
}

// Beyond the budget the work stays bounded: the budget, one more partition
// and heap sorts of the rest, 2 T log2 T comparisons at most; the result is
// sorted and holds every record once.
TEST(SortByDepth, QuadraticInputsEndWithinTheBudget) {
    constexpr size_t n = size_t{1} << 17;
    std::vector<float> organ_pipe(n);
    for (size_t k = 0; k < n; ++k) organ_pipe[k] = float(std::min(k, n - 1 - k));
    const std::vector<float> inputs[] = {tools::MiddlePivotKiller(n), organ_pipe, tools::RingDepths(n)};
    const uint64_t bound = ComparisonBudget(n) + (n + 2) + 2 * n * (17 + 1);
    for (const std::vector<float>& depths : inputs) {
        Records r = WithDepths(depths);
        const SortWork work = SortByDepth(r.data(), 0, int32_t(n) - 1);
        EXPECT_TRUE(work.fell_back);
        EXPECT_LE(work.comparisons, bound);
        for (size_t k = 1; k < n; ++k) ASSERT_LE(r[k - 1].depth, r[k].depth) << k;
        std::vector<uint32_t> ids = Ids(r);
        std::sort(ids.begin(), ids.end());
        for (size_t k = 0; k < n; ++k) ASSERT_EQ(ids[k], k);
    }
}

// The budget is max(c · T · bits(T), K) in integers.
TEST(SortByDepth, BudgetGrowsAsTLogTAboveItsFloor) {
    EXPECT_EQ(ComparisonBudget(1000), ComparisonBudget(2));
    const uint64_t big = ComparisonBudget(int64_t{1} << 20), bigger = ComparisonBudget(int64_t{1} << 21);
    EXPECT_GT(big, ComparisonBudget(1000));
    EXPECT_EQ(bigger * 21, big * 2 * 22);
    EXPECT_EQ(ComparisonBudget(INT32_MAX), ComparisonBudget(INT32_MAX - 1) + 5 * 31);
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

namespace qavren {
namespace {

// On several threads the order is SortByDepth's, record for record, with
// the same count, whenever the plain procedure keeps within the budget;
// beyond it the result is only sorted and said to be inexact, and the
// caller sorts again on one thread.
struct ThreadedCase {
    const char* name;
    std::vector<float> (*depths)();
    bool within_budget;
};

constexpr size_t kThreadedRecords = 300'000;  // ranges for up to four threads

void PrintTo(const ThreadedCase& c, std::ostream* os) { *os << c.name; }

std::vector<float> ManyTies() {
    std::mt19937 rng(11);
    return RandomDepths(rng, kThreadedRecords, 40);
}
std::vector<float> FewTies() {
    std::mt19937 rng(12);
    return RandomDepths(rng, kThreadedRecords, 1 << 24);
}
std::vector<float> TiesAndNans() {
    std::vector<float> d = ManyTies();
    for (size_t k = 0; k < d.size(); k += 97) d[k] = std::numeric_limits<float>::quiet_NaN();
    return d;
}
std::vector<float> Ascending() {
    std::vector<float> d = FewTies();
    std::sort(d.begin(), d.end());
    return d;
}
std::vector<float> Killer() { return tools::MiddlePivotKiller(kThreadedRecords); }
std::vector<float> Ring() { return tools::RingDepths(kThreadedRecords); }

class ThreadedSortTest : public ::testing::TestWithParam<ThreadedCase> {};

TEST_P(ThreadedSortTest, MatchesTheOneThreadSortOrSaysItDoesNot) {
    const ThreadedCase& c = GetParam();
    const std::vector<float> depths = c.depths();
    Records single = WithDepths(depths);
    const SortWork one = SortByDepth(single.data(), 0, int32_t(single.size()) - 1);
    for (int32_t threads : {1, 2, 3, 7}) {
        SCOPED_TRACE(threads);
        Records mine = WithDepths(depths);
        const ThreadedSort sorted = SortByDepthOnThreads(mine.data(), 0, int32_t(mine.size()) - 1, threads);
        EXPECT_EQ(sorted.exact, c.within_budget || threads == 1);
        if (sorted.exact) {
            EXPECT_EQ(sorted.work.comparisons, one.comparisons);
            EXPECT_EQ(sorted.work.fell_back, one.fell_back);
            EXPECT_TRUE(Ids(mine) == Ids(single));
            continue;
        }
        // Every record once, in depth order; the work bounded as one thread's is.
        constexpr uint64_t n = kThreadedRecords, log2n = 19;
        EXPECT_LE(sorted.work.comparisons, ComparisonBudget(n) + (n + 2 * 128) + 2 * n * (log2n + 1));
        for (size_t k = 1; k < mine.size(); ++k) ASSERT_LE(mine[k - 1].depth, mine[k].depth) << k;
        std::vector<uint32_t> ids = Ids(mine);
        std::sort(ids.begin(), ids.end());
        for (size_t k = 0; k < ids.size(); ++k) ASSERT_EQ(ids[k], k);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ThreadedSortTest,
                         ::testing::Values(ThreadedCase{"many_ties", ManyTies, true},
                                           ThreadedCase{"few_ties", FewTies, true},
                                           ThreadedCase{"ties_and_nans", TiesAndNans, true},
                                           ThreadedCase{"ascending", Ascending, true},
                                           ThreadedCase{"killer", Killer, false},
                                           ThreadedCase{"ring", Ring, false}),
                         [](const ::testing::TestParamInfo<ThreadedCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace qavren
