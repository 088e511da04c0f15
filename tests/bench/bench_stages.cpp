// One benchmark function a stage of a picture, each timing only its stage;
// bench_main.cpp registers them over the objects and canvases.
#include "tests/bench/bench_stages.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "object/geometry.h"
#include "platform/memory.h"
#include "plugin/picture.h"
#include "render/coverage.h"
#include "render/parallel.h"
#include "render/shaded.h"
#include "render/renderers.h"
#include "tests/bench/peak_memory.h"

namespace qavren::bench {
namespace {

void CountTriangles(benchmark::State& state, uint64_t triangles) {
    state.counters["triangles"] = static_cast<double>(triangles);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * triangles));
}

// Mode 2 stands for the shaded style: polygons with Shaded = 1.
RenderSettings SettingsFor(Canvas canvas, int32_t mode) {
    RenderSettings s;
    s.mode = mode == 2 ? 1 : mode;
    s.shaded = mode == 2 ? 1 : 0;
    s.width = canvas.width;
    s.height = canvas.height;
    s.forms = 1;  // the newer forms' objects are drawn too
    return s;
}

// One drawing thread unless a benchmark says otherwise (threads_*), so
// that every stage's time is that of one core.
constexpr DrawingOptions kOneThread{1, 0};

// GetPicture without the registry: the file read into a buffer, the two
// host blocks, the picture drawn into them, the blocks freed.
int32_t WholePicture(const std::string& file, const RenderSettings& settings,
                     const DrawingOptions& drawing = kOneThread) {
    ObjectBuffer buffer;
    const Status loaded = buffer.LoadFromFile(file.c_str(), 0);
    void* info = nullptr;
    void* bits = nullptr;
    const int32_t code = AssemblePicture(loaded, buffer, settings, &info, &bits, drawing);
    platform::FreeHostBlock(info);
    platform::FreeHostBlock(bits);
    return code;
}

}  // namespace

void ChunkSearch(benchmark::State& state, BenchObjectKind kind, const char* tag) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    for (auto _ : state) benchmark::DoNotOptimize(FindChunk(buffer, tag));
    const uint32_t at = FindChunk(buffer, tag);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (at == kChunkNotFound ? buffer.size() : at));
}

// Every byte the first letter of the tag: a byte scan that looks for that
// letter first stops at every offset. The tag itself sits at the very end.
void ChunkSearchDense(benchmark::State& state, uint32_t bytes) {
    std::vector<uint8_t> data(bytes, 'P');
    std::memcpy(data.data(), "FORM\0\0\0\0LWOB", 12);
    std::memcpy(data.data() + bytes - 4, "POLS", 4);
    ObjectBuffer buffer;
    buffer.LoadFromMemory(data.data(), bytes);
    for (auto _ : state) benchmark::DoNotOptimize(FindChunk(buffer, "POLS"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

void Project(benchmark::State& state, uint32_t cloud_points, Canvas canvas) {
    const std::vector<uint8_t>& object = PointCloud(cloud_points);
    ObjectBuffer buffer;
    buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size()));
    uint32_t count = 0;
    for (auto _ : state) {
        ObjectModel model;
        ProjectedPoints points;
        benchmark::DoNotOptimize(ProjectObject(buffer, canvas.width, canvas.height, &model, &points));
        count = points.count();
    }
    state.counters["points"] = count;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}

void Build(benchmark::State& state, BenchObjectKind kind) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    ObjectModel model;
    ProjectedPoints points;
    ProjectObject(buffer, 800, 600, &model, &points);
    std::vector<Triangle> triangles;
    for (auto _ : state) {
        std::vector<Triangle>().swap(triangles);  // a fresh block each time, as the renderer has
        BuildTriangles(model, points, &triangles);
        benchmark::DoNotOptimize(triangles.data());
    }
    CountTriangles(state, triangles.size());
}

// Only SortByDepth is timed: each round sorts a fresh copy of the records.
void Sort(benchmark::State& state, BenchObjectKind kind) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    ObjectModel model;
    ProjectedPoints points;
    ProjectObject(buffer, 800, 600, &model, &points);
    std::vector<Triangle> records, work;
    BuildTriangles(model, points, &records);
    for (auto _ : state) {
        work = records;
        const auto start = std::chrono::steady_clock::now();
        SortByDepth(work.data(), 0, static_cast<int32_t>(work.size()) - 1);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
    }
    CountTriangles(state, records.size());
}

// SortByDepth on bare depths of one pattern: its time, and its comparisons
// against T·log2 T and against the budget.
void SortPattern(benchmark::State& state, const std::vector<float>& depths) {
    std::vector<Triangle> records(depths.size()), work;
    for (size_t k = 0; k < depths.size(); ++k) records[k] = {{static_cast<uint32_t>(k), 0, 0}, depths[k]};
    SortWork done;
    for (auto _ : state) {
        work = records;
        const auto start = std::chrono::steady_clock::now();
        done = SortByDepth(work.data(), 0, static_cast<int32_t>(work.size()) - 1);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
    }
    const double n = static_cast<double>(depths.size());
    state.counters["comparisons"] = static_cast<double>(done.comparisons);
    state.counters["per_TlogT"] = static_cast<double>(done.comparisons) / (n * std::log2(n));
    state.counters["budget"] = static_cast<double>(ComparisonBudget(static_cast<int64_t>(depths.size())));
    state.counters["fell_back"] = done.fell_back;
    CountTriangles(state, depths.size());
}

void SortFloats(benchmark::State& state, BenchObjectKind kind) {
    const std::vector<float> depths = TriangleDepths(kind);
    std::vector<float> work;
    for (auto _ : state) {
        work = depths;
        const auto start = std::chrono::steady_clock::now();
        std::sort(work.begin(), work.end());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
    }
    CountTriangles(state, depths.size());
}

void Paint(benchmark::State& state, BenchObjectKind kind, Canvas canvas) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    ObjectModel model;
    ProjectedPoints points;
    ProjectObject(buffer, canvas.width, canvas.height, &model, &points);
    std::vector<Triangle> records;
    BuildTriangles(model, points, &records);
    SortByDepth(records.data(), 0, static_cast<int32_t>(records.size()) - 1);
    PixelBlock block(canvas);
    for (auto _ : state) PaintSorted(block.surface(), points, records);
    CountTriangles(state, records.size());
}

void Draw(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    PixelBlock block(canvas);
    for (auto _ : state) {
        block.surface().SelectPen(kBlackPen);
        ObjectModel model;  // read each time, as a picture reads it
        ReadModel(buffer, kEveryForm, ModelParts::kGeometry, &model);
        benchmark::DoNotOptimize(
            mode == 0 ? DrawWireframe(model, block.surface(), canvas.width, canvas.height, ModelTurn())
                      : DrawPolygons(model, block.surface(), canvas.width, canvas.height, ModelTurn(), kOneThread));
    }
    CountTriangles(state, kind.triangles);
}

void PictureOnThreads(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode, int32_t threads) {
    const std::string& file = ObjectFile(kind);
    const RenderSettings settings = SettingsFor(canvas, mode);
    for (auto _ : state) {
        if (WholePicture(file, settings, {threads, 0}) != 0) state.SkipWithError("the picture failed");
    }
    CountTriangles(state, kind.triangles);
}

void Picture(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode) {
    PictureOnThreads(state, kind, canvas, mode, 1);
}

// What no way of drawing the picture can skip: reading the file, decoding
// the points, sorting the T depths, and a fresh host block cleared.
void Floor(benchmark::State& state, BenchObjectKind kind, Canvas canvas) {
    const std::string& file = ObjectFile(kind);
    const std::vector<float> depths = TriangleDepths(kind);
    std::vector<float> work, coordinates;
    PictureLayout layout;
    ComputeLayout(canvas.width, canvas.height, &layout);
    for (auto _ : state) {
        ObjectBuffer buffer;
        buffer.LoadFromFile(file.c_str(), 0);
        ObjectPoints source;
        source.Find(buffer);
        coordinates.resize(3u * source.count());
        float* c = coordinates.data();
        PointRuns runs(source);
        for (PointList list; runs.Next(&list);) {
            for (uint32_t k = 0; k < list.count(); ++k, c += 3) list.Get(k, &c[0], &c[1], &c[2]);
        }
        work = depths;
        std::sort(work.begin(), work.end());
        auto* bits = static_cast<uint8_t*>(platform::AllocateForHost(layout.image_size));
        Surface(bits, layout.width, layout.height, layout.stride).Fill(kBackground);
        benchmark::DoNotOptimize(bits);
        platform::FreeHostBlock(bits);
    }
    CountTriangles(state, depths.size());
}

// One whole picture under the counting allocator, against the budget of
// object + 12 B a point + 16 B a triangle + pixel block + 1 MiB, the slack
// holding the coverage up to half of it (at 800 x 600, 70 KB) and larger
// coverages (at 4000 x 3000, 1.7 MB: a 21st of the pixel block) added.
void PeakMemory(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode) {
    const std::string& file = ObjectFile(kind);
    const std::vector<uint8_t>& bytes = ObjectBytes(kind);
    const RenderSettings settings = SettingsFor(canvas, mode);
    uint64_t peak = 0;
    for (auto _ : state) {
        StartPeakMemory();
        const int32_t code = WholePicture(file, settings);
        peak = StopPeakMemory();
        if (code != 0) state.SkipWithError("the picture failed");
    }
    ObjectBuffer buffer;
    Load(kind, &buffer);
    ObjectPoints source;
    source.Find(buffer);
    PictureLayout layout;
    ComputeLayout(canvas.width, canvas.height, &layout);
    const double coverage = static_cast<double>(Coverage::BlockSize(layout.width, layout.height));
    // The shaded style holds the turned points, where a surface is smooth the
    // face normals and which polygons share each point (at most 16 bytes a
    // point and 28 a triangle), its shapes (64 bytes a triangle), their order
    // and each thread's list of a band's shapes (4 bytes a triangle each),
    // and each thread's band block: 256 KiB, or one row of samples where
    // that is more.
    const double threads = static_cast<double>(DrawingThreads(kOneThread));
    const double band = std::max(262144.0, ShadedSamples::kBytesPerPixel * static_cast<double>(layout.width));
    const double budget =
        mode == 2 ? static_cast<double>(bytes.size()) + 40.0 * source.count() +
                        (28.0 + 64.0 + 4.0 + 4.0 * threads) * kind.triangles + layout.image_size +
                        threads * band + 1048576.0
                  : static_cast<double>(bytes.size()) + 12.0 * source.count() + 16.0 * kind.triangles +
                        layout.image_size + 1048576.0 + std::max(0.0, coverage - 524288.0);
    if (static_cast<double>(peak) > budget) state.SkipWithError("peak memory above the budget");
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["budget_bytes"] = budget;
    state.counters["peak_per_budget"] = static_cast<double>(peak) / budget;
    state.counters["triangles"] = kind.triangles;
}

}  // namespace qavren::bench
