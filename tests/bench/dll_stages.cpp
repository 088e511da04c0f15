// dll_stages: where a picture's time goes in the plug-in's own 32-bit code
// under Wine. It links the core exactly as QAVREN.SPI does and times each
// stage of GetPicture on its own, median of N runs.
//
//   dll_stages [--runs N] CASE...     CASE: OBJECT/WxH/TRIANGLES, e.g. small-random/800x600/100000
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "object/lwob.h"
#include "platform/memory.h"
#include "plugin/picture.h"
#include "settings/settings_store.h"
#include "tests/bench/bench_fixtures.h"

namespace qavren::bench {
namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Median milliseconds of `runs` calls of setup() then the timed work().
template <typename Setup, typename Work>
double Median(int runs, Setup setup, Work work) {
    std::vector<double> ms;
    for (int k = 0; k < runs; ++k) {
        setup();
        const double start = Now();
        work();
        ms.push_back(Now() - start);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

bool ParseCase(const char* text, BenchObjectKind* kind, Canvas* canvas) {
    char object[32] = {};
    unsigned w = 0, h = 0, t = 0;
    if (std::sscanf(text, "%31[a-z-]/%ux%u/%u", object, &w, &h, &t) != 4) return false;
    *canvas = {static_cast<int32_t>(w), static_cast<int32_t>(h)};
    for (auto size : {tools::TriangleSize::kSmall, tools::TriangleSize::kLarge}) {
        for (auto order : {tools::DepthOrder::kRandom, tools::DepthOrder::kSorted}) {
            if (tools::NameOf(size, order) == object) {
                *kind = {t, size, order};
                return true;
            }
        }
    }
    return false;
}

void Row(const char* stage, double ms) { std::printf("  %-44s %9.3f ms\n", stage, ms); }

void Stages(const BenchObjectKind& kind, Canvas canvas, int runs) {
    const std::string& file = ObjectFile(kind);
    ObjectBuffer buffer;
    Load(kind, &buffer);
    ObjectModel model;
    ProjectedPoints points;
    ProjectObject(buffer, canvas.width, canvas.height, &model, &points);
    std::vector<Triangle> built, sorted;
    BuildTriangles(model, points, &built);
    PictureLayout layout;
    ComputeLayout(canvas.width, canvas.height, &layout);
    PixelBlock block(canvas);
    RenderSettings settings;
    settings.width = canvas.width;
    settings.height = canvas.height;
    const auto none = [] {};

    Row("registry settings (LoadSettings)", Median(runs, none, [] { LoadSettings(); }));
    Row("chunk search, POLS after the points", Median(runs, none, [&] { FindChunk(buffer, "POLS"); }));
    Row("chunk search, the whole object", Median(runs, none, [&] { FindChunk(buffer, "SURF"); }));
    Row("file read into a buffer", Median(runs, none, [&] { ObjectBuffer b; b.LoadFromFile(file.c_str(), 0); }));
    Row("fresh pixel block, cleared", Median(runs, none, [&] {
            void* bits = platform::AllocateForHost(layout.image_size);
            Surface(static_cast<uint8_t*>(bits), layout.width, layout.height, layout.stride).Fill(kBackground);
            platform::FreeHostBlock(bits);
        }));
    Row("model read and projection (their blocks)", Median(runs, none, [&] {
            ObjectModel m;
            ProjectedPoints p;
            ProjectObject(buffer, canvas.width, canvas.height, &m, &p);
        }));
    Row("triangle build", Median(runs, [&] { std::vector<Triangle>().swap(built); },
                                             [&] { BuildTriangles(model, points, &built); }));
    Row("depth sort", Median(runs, [&] { sorted = built; },
                             [&] { SortByDepth(sorted.data(), 0, static_cast<int32_t>(sorted.size()) - 1); }));
    Row("painting the sorted triangles", Median(runs, none, [&] { PaintSorted(block.surface(), points, sorted); }));
    for (int32_t mode : {1, 0}) {
        settings.mode = mode;
        Row(mode ? "AssemblePicture, polygons" : "AssemblePicture, wireframe", Median(runs, none, [&] {
                void* info = nullptr;
                void* bits = nullptr;
                AssemblePicture(0, buffer, settings, &info, &bits);
                platform::FreeHostBlock(info);
                platform::FreeHostBlock(bits);
            }));
    }
}

}  // namespace
}  // namespace qavren::bench

int main(int argc, char** argv) {
    using namespace qavren::bench;
    int runs = 15, first = 1;
    if (argc > 2 && !std::strcmp(argv[1], "--runs")) {
        runs = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: dll_stages [--runs N] OBJECT/WxH/TRIANGLES...\n");
        return 2;
    }
    for (int k = first; k < argc; ++k) {
        BenchObjectKind kind;
        Canvas canvas{};
        if (!ParseCase(argv[k], &kind, &canvas)) {
            std::fprintf(stderr, "dll_stages: not a case: %s\n", argv[k]);
            return 2;
        }
        std::printf("%s (median of %d)\n", argv[k], runs);
        Stages(kind, canvas, runs);
    }
    return 0;
}
