// Pictures drawn on several threads: the same bytes as on one, for any
// thread count, whether threads start or not; and RunPieces running every
// piece exactly once.
#include "render/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/threads.h"
#include "render/canvas.h"
#include "render/coverage.h"
#include "render/surface.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/bench_objects.h"
#include "tools/lwogen/depth_objects.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;

// What the last picture drawn reported (nothing: allowed 0).
DrawReport g_report;
void KeepReport(const DrawReport& report) { g_report = report; }

// Every byte of the block, row padding included; g_report its report.
Bytes Picture(const Bytes& object, int32_t mode, int32_t width, int32_t height, int32_t threads, int32_t angle = 0) {
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), status::kOk);
    const auto stride = static_cast<uint32_t>(RowStride(static_cast<uint32_t>(width)));
    Bytes bits(static_cast<size_t>(stride) * static_cast<size_t>(height), 0xA5);
    g_report = DrawReport();
    SetDrawObserver(KeepReport);
    struct Unobserve {
        ~Unobserve() { SetDrawObserver(nullptr); }
    } unobserve;
    // Mode 2: the shaded style over the backdrop, with a margin.
    DrawRequest request;
    request.style = mode == 2 ? DrawStyle::kShaded : mode ? DrawStyle::kPolygons : DrawStyle::kWireframe;
    request.turn = ModelTurn(angle, angle, 0);
    request.margin = mode == 2 ? 5 : 0;
    request.drawing = DrawingOptions{threads, 0};
    ObjectModel model;
    EXPECT_EQ(ReadModel(buffer, kEveryForm, PartsFor(request.style), &model), status::kOk);
    EXPECT_EQ(DrawModel(model, request, {DrawTarget::Format::kBottomUpBgr, bits.data(), width, height, stride}),
              status::kOk);
    return bits;
}

// The first differing byte as a row and column, for a readable failure.
std::string FirstDifference(const Bytes& a, const Bytes& b, int32_t width) {
    const size_t stride = RowStride(static_cast<uint32_t>(width));
    for (size_t k = 0; k < a.size(); ++k) {
        if (a[k] != b[k]) return "row " + std::to_string(k / stride) + " from the bottom, byte " + std::to_string(k % stride);
    }
    return "none";
}

struct PictureCase {
    const char* name;
    tools::BenchObjectKind generated;  // when `file` is empty
    const char* file;                  // under the corpus folder's parent
    int32_t mode, width, height, angle;
    Bytes (*make)() = nullptr;         // instead of both
};

void PrintTo(const PictureCase& c, std::ostream* os) { *os << c.name; }

// Depths that defeat the sort's pivot: the threads' sort gives up, and the
// records are built and sorted again on one thread.
Bytes PivotKillerObject() { return tools::MakeDepthObject(tools::MiddlePivotKiller(150'000)).Build(); }

Bytes ObjectOf(const PictureCase& c) {
    if (c.make) return c.make();
    if (!c.file) return tools::MakeBenchObject(c.generated);
    return testing::ReadFile((testing::CorpusDir().parent_path() / c.file).string());
}

class ThreadedPicture : public ::testing::TestWithParam<PictureCase> {};

// Bands fall at other rows for each thread count; any pixel moved, lost or
// drawn twice across a band's edge (fill, outline, grid, background,
// coverage) changes bytes.
TEST_P(ThreadedPicture, HasTheBytesOfTheOneThreadPicture) {
    const PictureCase& c = GetParam();
    const Bytes object = ObjectOf(c);
    if (object.empty()) GTEST_SKIP() << "no corpus beside the checkout";
    const Bytes single = Picture(object, c.mode, c.width, c.height, 1, c.angle);
    for (int32_t threads : {2, 3, 7}) {
        SCOPED_TRACE(threads);
        const Bytes many = Picture(object, c.mode, c.width, c.height, threads, c.angle);
        // The threads it was allowed; every band's thread ran (one where
        // there is too little work); the sort exact but on the pivot killer.
        const DrawReport r = g_report;
        EXPECT_EQ(r.allowed, c.mode ? threads : 0);
        if (c.mode == 1) {
            const bool killer = std::string(c.name) == "pivot_killer";
            EXPECT_EQ(r.threads, std::min(threads, r.bands));
            EXPECT_EQ(r.bands > 1, std::string(c.name) != "small_canvas") << r.bands;
            EXPECT_EQ(r.sort, killer ? DrawReport::Sort::kFellBack : DrawReport::Sort::kExact);
            if (killer) {
                EXPECT_EQ(r.sort_threads, threads);
            }
        } else if (c.mode == 2) {
            EXPECT_GE(r.threads, 2);  // each has the work of a few threads at least
            EXPECT_LE(r.threads, threads);
        }
        ASSERT_EQ(many.size(), single.size());
        EXPECT_TRUE(std::memcmp(many.data(), single.data(), single.size()) == 0)
            << "first difference: " << FirstDifference(many, single, c.width);
    }
}

using tools::DepthOrder;
using tools::TriangleSize;
constexpr tools::BenchObjectKind kNone{};

INSTANTIATE_TEST_SUITE_P(
    Objects, ThreadedPicture,
    ::testing::Values(
        // Small triangles: the painter's order, the backdrop drawn band by band.
        PictureCase{"small_random", {30000, TriangleSize::kSmall, DepthOrder::kRandom}, nullptr, 1, 1600, 1200, 0},
        // Large overlapping ones: nearest first into each band's coverage.
        PictureCase{"large_random", {3000, TriangleSize::kLarge, DepthOrder::kRandom}, nullptr, 1, 1600, 1200, 0},
        // Rows not a whole number of bands, a width not a whole number of
        // coverage words, a turned view.
        PictureCase{"large_odd_size", {3000, TriangleSize::kLarge, DepthOrder::kSorted}, nullptr, 1, 1501, 1133, 30},
        PictureCase{"piramid", kNone, "lwo/revival_piramid_77k.lwo", 1, 1203, 905, 0},
        PictureCase{"ship_turned", kNone, "lwo/revival_ship1_17k.lwo", 1, 1600, 1200, 35},
        PictureCase{"interceptor", kNone, "lwo2/blenderlwo_lwo3_interceptor_hull.lwo", 1, 2000, 1500, 0},
        PictureCase{"pivot_killer", kNone, nullptr, 1, 800, 600, 0, PivotKillerObject},
        PictureCase{"wireframe", {30000, TriangleSize::kSmall, DepthOrder::kRandom}, nullptr, 0, 1600, 1200, 0},
        // Too little work for a second thread.
        PictureCase{"small_canvas", {2000, TriangleSize::kLarge, DepthOrder::kRandom}, nullptr, 1, 97, 61, 0},
        // The shaded style: bands of a few rows, each thread's block reused.
        PictureCase{"shaded_small_random", {30000, TriangleSize::kSmall, DepthOrder::kRandom}, nullptr, 2, 1600, 1200, 0},
        PictureCase{"shaded_large_odd_size", {3000, TriangleSize::kLarge, DepthOrder::kSorted}, nullptr, 2, 1501, 1133, 30},
        PictureCase{"shaded_piramid", kNone, "lwo/revival_piramid_77k.lwo", 2, 1203, 905, 0},
        PictureCase{"shaded_interceptor", kNone, "lwo2/blenderlwo_lwo3_interceptor_hull.lwo", 2, 2000, 1500, 35}),
    [](const ::testing::TestParamInfo<PictureCase>& row) { return std::string(row.param.name); });

// By default a picture may use every processor the process may use (at
// most kMaxThreads), and a set count is kept within 1 .. kMaxThreads.
TEST(DrawingThreads, DefaultIsEveryProcessorAllowed) {
    const Bytes object = tools::MakeBenchObject({30000, TriangleSize::kSmall, DepthOrder::kRandom});
    const int32_t processors = std::min(platform::ProcessorCount(), kMaxThreads);
    for (const int32_t mode : {1, 2}) {
        Picture(object, mode, 1600, 1200, 0);
        EXPECT_EQ(g_report.allowed, processors);
        EXPECT_GE(g_report.threads, std::min(processors, 2));  // the work of a few threads at least
        EXPECT_LE(g_report.threads, processors);
    }
    for (const auto& [set, kept] : {std::pair{1000, kMaxThreads}, std::pair{-3, processors}, std::pair{5, 5}}) {
        EXPECT_EQ(DrawingThreads({set, 0}), kept) << set;
    }
}

// When the system refuses threads, the threads that did start (at least
// the caller) draw the whole picture.
TEST(ThreadStarts, RefusedThreadsLeaveTheSamePicture) {
    const Bytes object = tools::MakeBenchObject({3000, TriangleSize::kLarge, DepthOrder::kRandom});
    const Bytes single = Picture(object, 1, 1600, 1200, 1);
    for (uint32_t refused_from : {1u, 2u}) {
        SCOPED_TRACE(refused_from);
        platform::FailThreadStartsAfter(refused_from);
        const Bytes drawn = Picture(object, 1, 1600, 1200, 7);
        platform::FailThreadStartsAfter(0);
        EXPECT_TRUE(drawn == single) << "first difference: " << FirstDifference(drawn, single, 1600);
    }
}

// A view of some rows counts exactly their unwritten pixels: over rows
// partly written beforehand (through the whole and through other views),
// it is full only once its last pixel is claimed.
TEST(CoverageView, IsFullExactlyWhenItsRowsAre) {
    struct Case {
        int32_t width, height, top, bottom;
    };
    const Case cases[] = {{130, 40, 8, 23}, {64, 16, 0, 15}, {200, 37, 32, 36}, {1, 9, 8, 8}};
    uint32_t seed = 7;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height << ", rows " << c.top << ".." << c.bottom);
        Coverage whole;
        ASSERT_EQ(whole.Allocate(c.width, c.height), status::kOk);
        for (int32_t y = 0; y < c.height; ++y) {  // about half of every row, in runs
            for (int32_t x = 0; x < c.width; ++x) {
                seed = seed * 1664525u + 1013904223u;
                if (seed >> 31) whole.ClaimPixel(x, y);
            }
        }
        Coverage view;
        view.ViewRows(whole, c.top, c.bottom);
        std::vector<std::pair<int32_t, int32_t>> open;  // the pixels still to claim
        for (int32_t y = c.top; y <= c.bottom; ++y) {
            for (int32_t x = 0; x < c.width; ++x) {
                if (!whole.Written(x, x, y, y)) open.emplace_back(x, y);
            }
        }
        for (size_t k = 0; k < open.size(); ++k) {
            ASSERT_FALSE(view.Full()) << open.size() - k << " pixels left";
            EXPECT_TRUE(view.ClaimPixel(open[k].first, open[k].second));
        }
        EXPECT_TRUE(view.Full());
    }
}

// Every piece runs once, whatever the threads asked for and granted; the
// threads that ran are as many as could be used and could start, and each
// piece's worker index is below that and held by one piece at a time.
TEST(RunPieces, RunsEveryPieceOnceOnTheThreadsThatStart) {
    struct Case {
        int32_t count, threads;
        uint32_t refused_from;  // 0: every start succeeds
        int32_t ran;
    };
    const Case cases[] = {
        {0, 4, 0, 0},   {1, 4, 0, 1},    {5, 1, 0, 1},     {5, 0, 0, 1},    {5, 3, 0, 3},
        {3, 7, 0, 3},   {100, 7, 0, 7},  {500, 100, 0, 64}, {100, 7, 1, 1}, {100, 7, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.count << " pieces, " << c.threads << " threads, refused from "
                                          << c.refused_from);
        std::vector<std::atomic<int>> runs(static_cast<size_t>(c.count));
        std::atomic<bool> busy[kMaxThreads] = {};
        std::atomic<int32_t> highest{-1}, shared{0};
        auto job = [&](int32_t k, int32_t worker) {
            shared += busy[worker].exchange(true);
            runs[static_cast<size_t>(k)].fetch_add(1);
            for (int32_t w = highest.load(); w < worker && !highest.compare_exchange_weak(w, worker);) {}
            busy[worker].store(false);
        };
        platform::FailThreadStartsAfter(c.refused_from);
        const int32_t ran = RunPieces(c.count, c.threads, job);
        platform::FailThreadStartsAfter(0);
        EXPECT_EQ(ran, c.ran);
        EXPECT_LT(highest.load(), std::max(ran, 1));
        EXPECT_EQ(shared.load(), 0);
        for (int32_t k = 0; k < c.count; ++k) EXPECT_EQ(runs[static_cast<size_t>(k)].load(), 1) << "piece " << k;
    }
}

}  // namespace
}  // namespace qavren
