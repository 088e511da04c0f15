// The benchmarks' objects, pixel blocks and renderer stages.
#include "tests/bench/bench_fixtures.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include "object/lwob.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::bench {
namespace {

using Key = std::tuple<uint32_t, tools::TriangleSize, tools::DepthOrder>;
Key KeyOf(const BenchObjectKind& s) { return {s.triangles, s.size, s.order}; }

std::filesystem::path ScratchDir() {
    const char* dir = std::getenv("QAVREN_BENCH_DIR");
    std::filesystem::path path = dir && *dir ? std::filesystem::path(dir)
                                             : std::filesystem::temp_directory_path() / "qavren-bench";
    std::filesystem::create_directories(path);
    return path;
}

// The renderer's depth: the corner sum in double, times the float third.
float MeanDepth(double z_sum) { return static_cast<float>(z_sum * double{0.33333334f}); }

}  // namespace

const std::vector<uint8_t>& ObjectBytes(const BenchObjectKind& kind) {
    static std::map<Key, std::vector<uint8_t>> made;
    auto [it, fresh] = made.try_emplace(KeyOf(kind));
    if (fresh) it->second = tools::MakeBenchObject(kind);
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
    if (fresh) {
        const std::string name = tools::NameOf(kind.size, kind.order) + "-" + std::to_string(kind.triangles) + ".lwo";
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

bool BuildTriangles(const ObjectBuffer& buffer, const ProjectedPoints& points, std::vector<Triangle>* out) {
    ByteReader pols;
    if (Failed(LocateChunk(buffer, "POLS", &pols))) return false;
    uint64_t count = 0;
    Polygon polygon;
    Status s;
    for (PolygonWalk walk(pols, points.count()); (s = walk.Next(&polygon)) == 1;) {
        count += polygon.count >= 3 ? polygon.count - 2u : 1u;
    }
    if (Failed(s)) return false;
    out->resize(count);
    Triangle* t = out->data();
    for (PolygonWalk walk(pols, points.count()); walk.Next(&polygon) == 1;) {
        const uint32_t p0 = polygon.Index(0);
        const double z0 = points[p0].z;
        if (polygon.count < 3) {
            const uint32_t p1 = polygon.Index(polygon.count - 1);
            *t++ = {{p0, p0, p1}, polygon.count == 1 ? points[p0].z : MeanDepth(z0 + z0 + points[p1].z)};
            continue;
        }
        for (uint16_t k = 1; k + 1 < polygon.count; ++k) {
            const uint32_t a = polygon.Index(k), b = polygon.Index(k + 1);
            *t++ = {{p0, a, b}, MeanDepth(double{points[a].z} + points[b].z + z0)};
        }
    }
    return true;
}

void PaintSorted(Surface& surface, const ProjectedPoints& points, const std::vector<Triangle>& sorted) {
    for (size_t k = sorted.size(); k-- > 0;) {
        const Triangle& t = sorted[k];
        const ProjectedPoint &a = points[t.corner[0]], &b = points[t.corner[1]], &c = points[t.corner[2]];
        const double facing = (double{b.x} - a.x) * (double{c.y} - a.y) - (double{c.x} - a.x) * (double{b.y} - a.y);
        const Brush previous = surface.SelectBrush(Brush{facing > 0.0 ? Rgb(255, 255, 255) : Rgb(128, 128, 128)});
        surface.Triangle(CanvasPoint(a), CanvasPoint(b), CanvasPoint(c));
        surface.SelectBrush(previous);
    }
}

std::vector<float> TriangleDepths(const BenchObjectKind& kind) {
    ObjectBuffer buffer;
    Load(kind, &buffer);
    ProjectedPoints points;
    std::vector<Triangle> triangles;
    std::vector<float> depths;
    if (Failed(ProjectPoints(buffer, 800, 600, &points)) || !BuildTriangles(buffer, points, &triangles)) return depths;
    for (const Triangle& t : triangles) depths.push_back(t.depth);
    return depths;
}

}  // namespace qavren::bench
