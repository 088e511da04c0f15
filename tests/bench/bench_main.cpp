// qavren_bench: every stage of a picture over generated objects of one
// thousand to four million triangles, at 800 x 600 and 4000 x 3000. Names
// read stage/object/canvas/triangles; scripts/bench runs them all.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "render/parallel.h"
#include "tests/bench/bench_stages.h"
#include "tools/lwogen/depth_objects.h"

namespace qavren::bench {
namespace {

using tools::DepthOrder;
using tools::TriangleSize;

constexpr Canvas kSmallCanvas{800, 600};
constexpr Canvas kLargeCanvas{4000, 3000};
constexpr uint32_t kCounts[] = {1000, 10000, 100000, 1000000, 4000000};
constexpr const char* kLargestCorpusObject = "blenderlwo_lwo3_interceptor_hull.lwo";

// Large triangles fill so many pixels that only the smaller counts finish
// in benchmark time; small ones run up to four million.
uint32_t MostTriangles(TriangleSize size, Canvas canvas) {
    if (size == TriangleSize::kSmall) return 4000000;
    return canvas.width == kSmallCanvas.width ? 1000000 : 100000;
}

std::vector<float> RandomDepths(uint32_t count) {
    std::vector<float> depths(count);
    uint32_t seed = 12345;
    for (float& d : depths) {
        seed = seed * 1664525u + 1013904223u;
        d = static_cast<float>(seed >> 8);
    }
    return depths;
}

void RegisterSortPattern(const char* pattern, const std::vector<float>& depths) {
    const std::string name = std::string("sort_budget/") + pattern + "/" + std::to_string(depths.size());
    benchmark::RegisterBenchmark(name.c_str(), SortPattern, depths)->UseManualTime()->Unit(benchmark::kMillisecond);
}

// The depths of the triangles the renderer builds for a double-sided cylinder.
std::vector<float> CylinderDepths(int sides, double turn, bool end_on) {
    const std::vector<uint8_t> bytes = tools::MakeDoubleSidedCylinder(sides, turn, end_on).Build();
    ObjectBuffer buffer;
    buffer.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return TriangleDepths(buffer);
}

std::string Name(const char* stage, const BenchObjectKind& kind, const std::string& canvas = "") {
    std::string name = std::string(stage) + "/" + tools::NameOf(kind);
    if (!canvas.empty()) name += "/" + canvas;
    return name + "/" + std::to_string(kind.triangles);
}

void RegisterObjectStages(const BenchObjectKind& kind) {
    auto* b = benchmark::RegisterBenchmark(Name("triangles", kind).c_str(), Build, kind);
    b->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(Name("sort", kind).c_str(), Sort, kind)->UseManualTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(Name("std_sort", kind).c_str(), SortFloats, kind)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    if (kind.size == TriangleSize::kSmall && kind.order == DepthOrder::kRandom) {
        benchmark::RegisterBenchmark(Name("chunk_pols", kind).c_str(), ChunkSearch, kind, "POLS")
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(Name("chunk_scan", kind).c_str(), ChunkSearch, kind, "SURF")
            ->Unit(benchmark::kMicrosecond);
    }
}

void RegisterCanvasStages(const BenchObjectKind& kind, Canvas canvas) {
    const std::string c = canvas.Name();
    const auto ms = benchmark::kMillisecond;
    benchmark::RegisterBenchmark(Name("floor", kind, c).c_str(), Floor, kind, canvas)->Unit(ms);
    benchmark::RegisterBenchmark(Name("paint", kind, c).c_str(), Paint, kind, canvas)->Unit(ms);
    benchmark::RegisterBenchmark(Name("wireframe", kind, c).c_str(), Draw, kind, canvas, 0)->Unit(ms);
    benchmark::RegisterBenchmark(Name("polygons", kind, c).c_str(), Draw, kind, canvas, 1)->Unit(ms);
    benchmark::RegisterBenchmark(Name("picture_wireframe", kind, c).c_str(), Picture, kind, canvas, 0)->Unit(ms);
    benchmark::RegisterBenchmark(Name("picture_polygons", kind, c).c_str(), Picture, kind, canvas, 1)->Unit(ms);
    benchmark::RegisterBenchmark(Name("picture_shaded", kind, c).c_str(), Picture, kind, canvas, 2)->Unit(ms);
    benchmark::RegisterBenchmark(Name("memory_polygons", kind, c).c_str(), PeakMemory, kind, canvas, 1)
        ->Iterations(1)
        ->Unit(ms);
    benchmark::RegisterBenchmark(Name("memory_shaded", kind, c).c_str(), PeakMemory, kind, canvas, 2)
        ->Iterations(1)
        ->Unit(ms);
}

void RegisterCorpus() {
    static std::vector<std::string> files;  // the names the benchmarks keep pointers into
    for (const char* corpus : {"lwo", "lwo2"}) {
        const std::filesystem::path dir = std::filesystem::path(QAVREN_SOURCE_DIR) / "../shared/corpus" / corpus;
        if (!std::filesystem::exists(dir)) continue;
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (entry.path().extension() != ".lwo" || name.rfind("neg_", 0) == 0 || name.rfind("bad_", 0) == 0) continue;
            found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    files.shrink_to_fit();
    for (const std::string& file : files) {
        BenchObjectKind real;
        real.file = file.c_str();
        real.triangles = static_cast<uint32_t>(TriangleDepths(real).size());
        const auto ms = benchmark::kMillisecond;
        benchmark::RegisterBenchmark(Name("corpus_floor", real, "800x600").c_str(), Floor, real, kSmallCanvas)->Unit(ms);
        benchmark::RegisterBenchmark(Name("corpus_polygons", real, "800x600").c_str(), Picture, real, kSmallCanvas, 1)
            ->Unit(ms);
        benchmark::RegisterBenchmark(Name("corpus_shaded", real, "800x600").c_str(), Picture, real, kSmallCanvas, 2)
            ->Unit(ms);
    }
}

void RegisterAll() {
    for (TriangleSize size : {TriangleSize::kSmall, TriangleSize::kLarge}) {
        for (DepthOrder order : {DepthOrder::kRandom, DepthOrder::kSorted}) {
            for (uint32_t count : kCounts) {
                const BenchObjectKind kind{count, size, order};
                if (count <= MostTriangles(size, kSmallCanvas)) RegisterObjectStages(kind);
                for (Canvas canvas : {kSmallCanvas, kLargeCanvas}) {
                    if (count <= MostTriangles(size, canvas)) RegisterCanvasStages(kind, canvas);
                }
            }
        }
    }
    for (uint32_t points : {65536u, 1u << 20, 1u << 22}) {
        for (Canvas canvas : {kSmallCanvas, kLargeCanvas}) {
            const std::string name = "project/points/" + canvas.Name() + "/" + std::to_string(points);
            benchmark::RegisterBenchmark(name.c_str(), Project, points, canvas)->Unit(benchmark::kMicrosecond);
        }
    }
    // The depth sort's budget: inputs that defeat the middle pivot and long
    // rings of depths, each beside random depths of its size.
    for (uint32_t count : {100000u, 1000000u}) {
        const std::pair<const char*, std::vector<float>> patterns[] = {
            {"random", RandomDepths(count)},
            {"killer", tools::MiddlePivotKiller(count)},
            {"ring", tools::RingDepths(count)},
        };
        for (const auto& [pattern, depths] : patterns) RegisterSortPattern(pattern, depths);
    }
    // Ordinary depths at their worst: in order, reversed, and double-sided
    // cylinders along the view and across it, turned a little.
    std::vector<float> sorted = RandomDepths(1000000);
    std::sort(sorted.begin(), sorted.end());
    RegisterSortPattern("sorted", sorted);
    RegisterSortPattern("reversed", std::vector<float>(sorted.rbegin(), sorted.rend()));
    RegisterSortPattern("cylinder-along-0.01", CylinderDepths(16000, 0.01, true));
    RegisterSortPattern("cylinder-across-0.001", CylinderDepths(10000, 0.001, false));
    RegisterSortPattern("cylinder-across-0.001", CylinderDepths(16000, 0.001, false));
    benchmark::RegisterBenchmark("chunk_dense/first-letter/64MiB", ChunkSearchDense, 64u << 20)
        ->Unit(benchmark::kMicrosecond);
    // The newer forms: a million triangles as one LWO2 layer (4-byte indices
    // for the upper point numbers), and the largest object of the corpus.
    RegisterCanvasStages({1000000, TriangleSize::kSmall, DepthOrder::kRandom, tools::BenchForm::kLwo2}, kSmallCanvas);
    // Whole pictures on one thread and on two: large canvases, where bands
    // of rows pay, and one small picture, where no thread should start.
    const std::pair<BenchObjectKind, Canvas> threaded[] = {
        {{1000000, TriangleSize::kSmall, DepthOrder::kRandom}, kLargeCanvas},
        {{20000, TriangleSize::kLarge, DepthOrder::kRandom}, kLargeCanvas},
        {{100000, TriangleSize::kLarge, DepthOrder::kRandom}, kLargeCanvas},
        {{1000, TriangleSize::kSmall, DepthOrder::kRandom}, kSmallCanvas},
    };
    for (const auto& [kind, canvas] : threaded) {
        for (int32_t threads : {1, 2}) {
            const std::string name = Name("threads_polygons", kind, canvas.Name()) + "/" + std::to_string(threads);
            benchmark::RegisterBenchmark(name.c_str(), PictureOnThreads, kind, canvas, 1, threads)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    static const std::string corpus = std::string(QAVREN_SOURCE_DIR) + "/../shared/corpus/lwo2/" + kLargestCorpusObject;
    if (FILE* f = std::fopen(corpus.c_str(), "rb")) {
        std::fclose(f);
        BenchObjectKind real;
        real.file = corpus.c_str();
        real.triangles = static_cast<uint32_t>(TriangleDepths(real).size());
        for (Canvas canvas : {kSmallCanvas, kLargeCanvas}) RegisterCanvasStages(real, canvas);
    }
    // With QAVREN_BENCH_CORPUS set: the floor and the three pictures of every
    // sound object of both corpora at 800 x 600, for the corpus geomeans.
    if (std::getenv("QAVREN_BENCH_CORPUS")) RegisterCorpus();
}

}  // namespace
}  // namespace qavren::bench

int main(int argc, char** argv) {
    // Blocks from 128 KiB up always come fresh from the system, first touch
    // and all, as they do for a viewer's one picture; left alone, glibc would
    // raise that bound after the first free, and the times of a benchmark
    // would depend on those that ran before it.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    qavren::bench::RegisterAll();
    const size_t ran = benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return ran > 0 ? 0 : 1;  // a filter that matches nothing is a mistake
}
