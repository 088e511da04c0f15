// The benchmarks' objects, pixel blocks and renderer stages.
#include "tests/bench/bench_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include "object/geometry.h"
#include "render/coverage.h"
#include "render/triangle_passes.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::bench {
namespace {

using Key = std::tuple<uint32_t, tools::TriangleSize, tools::DepthOrder, tools::BenchForm, std::string>;
Key KeyOf(const BenchObjectKind& s) { return {s.triangles, s.size, s.order, s.form, s.file ? s.file : ""}; }

std::filesystem::path ScratchDir() {
    const char* dir = std::getenv("QAVREN_BENCH_DIR");
    std::filesystem::path path = dir && *dir ? std::filesystem::path(dir)
                                             : std::filesystem::temp_directory_path() / "qavren-bench";
    std::filesystem::create_directories(path);
    return path;
}

std::vector<uint8_t> ReadWhole(const char* path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::fprintf(stderr, "bench: cannot read %s\n", path);
        std::exit(1);
    }
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return bytes;
}

}  // namespace

const std::vector<uint8_t>& ObjectBytes(const BenchObjectKind& kind) {
    static std::map<Key, std::vector<uint8_t>> made;
    auto [it, fresh] = made.try_emplace(KeyOf(kind));
    if (fresh) it->second = kind.file ? ReadWhole(kind.file) : tools::MakeBenchObject(kind);
    return it->second;
}

const std::vector<uint8_t>& PointCloud(uint32_t n) {
    static std::map<uint32_t, std::vector<uint8_t>> made;
    auto [it, fresh] = made.try_emplace(n);
    if (fresh) {
        tools::LwoWriter w;
        for (uint32_t k = 0; k < n; ++k) {
            w.AddPoint(static_cast<float>(k % 1024), static_cast<float>(k / 1024 % 1024), static_cast<float>(k % 7));
        }
        it->second = w.Build();
    }
    return it->second;
}

const std::string& ObjectFile(const BenchObjectKind& kind) {
    static std::map<Key, std::string> written;
    auto [it, fresh] = written.try_emplace(KeyOf(kind));
    if (fresh && kind.file) it->second = kind.file;
    if (fresh && !kind.file) {
        const std::string name = tools::NameOf(kind) + "-" + std::to_string(kind.triangles) + ".lwo";
        it->second = (ScratchDir() / name).string();
        const std::vector<uint8_t>& bytes = ObjectBytes(kind);
        FILE* f = std::fopen(it->second.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "bench: cannot write %s\n", it->second.c_str());
            std::exit(1);
        }
    }
    return it->second;
}

void Load(const BenchObjectKind& kind, ObjectBuffer* buffer) {
    const std::vector<uint8_t>& bytes = ObjectBytes(kind);
    buffer->Release();
    buffer->LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

PixelBlock::PixelBlock(Canvas canvas)
    : bits_(static_cast<size_t>(RowStride(canvas.width)) * canvas.height),
      surface_(bits_.data(), canvas.width, canvas.height, RowStride(canvas.width)) {
    surface_.Fill(kBackground);
}

bool ProjectObject(const ObjectBuffer& buffer, int32_t width, int32_t height, ObjectModel* model,
                   ProjectedPoints* points) {
    return !Failed(ReadModel(buffer, kEveryForm, ModelParts::kGeometry, model)) &&
           !Failed(ProjectPoints(*model, width, height, ModelTurn(), points));
}

bool BuildTriangles(const ObjectModel& model, const ProjectedPoints& points, std::vector<Triangle>* out) {
    if (Failed(model.polygon_status)) return false;
    out->resize(CountTriangles(model.polygons));
    FillTriangles(model.polygons, points, out->data());
    return true;
}

void PaintSorted(Surface& surface, const ProjectedPoints& points, const std::vector<Triangle>& sorted) {
    Coverage coverage;
    if (!Failed(coverage.Allocate(surface.width(), surface.height()))) {
        surface.DrawNearestFirst(&coverage, [](Surface& s) { s.Fill(kBackground); });
    }
    PaintTriangles(surface, points, sorted.data(), static_cast<uint32_t>(sorted.size()));
    surface.FinishBackdrop();
}

std::vector<float> TriangleDepths(const BenchObjectKind& kind) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    return TriangleDepths(buffer);
}

std::vector<float> TriangleDepths(const ObjectBuffer& buffer) {
    ObjectModel model;
    ProjectedPoints points;
    std::vector<Triangle> triangles;
    std::vector<float> depths;
    if (!ProjectObject(buffer, 800, 600, &model, &points) || !BuildTriangles(model, points, &triangles)) return depths;
    for (const Triangle& t : triangles) depths.push_back(t.depth);
    return depths;
}

}  // namespace qavren::bench
