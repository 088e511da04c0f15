// Benchmark objects. Only integer arithmetic and exact float values go into
// the bytes, so the native and the Windows build make the same objects and
// the pictures of them can be compared across builds.
#include "tools/lwogen/bench_objects.h"

#include <algorithm>
#include <utility>

#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::tools {
namespace {

constexpr int kGrid = 256;  // 256 x 256 points: point numbers 0 .. 65535

// splitmix64: small, fast, and the same sequence everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state_;
};

// A bowl 0 .. 16 deep: neighbouring points lie at nearly the same depth, so
// small triangles stay small on the canvas. Exact in float.
float BowlDepth(int i, int j) {
    const int di = i - kGrid / 2, dj = j - kGrid / 2;
    return static_cast<float>(di * di + dj * dj) / 2048.0f;
}

// Grid points jittered by up to a quarter cell (multiples of 1/256: exact).
void AddGrid(LwoWriter& w, std::vector<float>& depth) {
    Random random(7);
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            const float jx = static_cast<float>(random.Below(129) - 64) / 256.0f;
            const float jy = static_cast<float>(random.Below(129) - 64) / 256.0f;
            depth[j * kGrid + i] = BowlDepth(i, j);
            w.AddPoint(static_cast<float>(i) + jx, static_cast<float>(j) + jy, depth[j * kGrid + i]);
        }
    }
}

struct Tri {
    uint16_t corner[3];
    float depth;
};

// The renderer's depth of a triangle record: the corner sum in double in
// its order, times the float third, rounded to float.
float RendererDepth(const std::vector<float>& z, const uint16_t c[3]) {
    return static_cast<float>((double{z[c[1]]} + z[c[2]] + z[c[0]]) * double{0.33333334f});
}

// One half of a square of `s` cells at (i, j), wound either way round.
Tri RandomTriangle(Random& random, int s, const std::vector<float>& z) {
    const int i = random.Below(kGrid - s), j = random.Below(kGrid - s);
    const auto at = [](int x, int y) { return static_cast<uint16_t>(y * kGrid + x); };
    Tri t{};
    const bool lower = random.Below(2) == 0;
    t.corner[0] = at(i, j);
    t.corner[1] = lower ? at(i + s, j) : at(i + s, j + s);
    t.corner[2] = lower ? at(i + s, j + s) : at(i, j + s);
    if (random.Below(2)) std::swap(t.corner[1], t.corner[2]);
    t.depth = RendererDepth(z, t.corner);
    return t;
}

}  // namespace

std::string NameOf(TriangleSize size, DepthOrder order) {
    return std::string(size == TriangleSize::kSmall ? "small" : "large") +
           (order == DepthOrder::kRandom ? "-random" : "-sorted");
}

std::string NameOf(const BenchObjectKind& kind) {
    if (kind.file) {
        const std::string path = kind.file;
        const std::string base = path.substr(path.find_last_of('/') + 1);
        return base.substr(0, base.find_last_of('.'));
    }
    return (kind.form == BenchForm::kLwo2 ? "lwo2-" : "") + NameOf(kind.size, kind.order);
}

std::vector<uint8_t> MakeBenchObject(const BenchObjectKind& kind) {
    LwoWriter w;
    std::vector<float> depth(kGrid * kGrid);
    AddGrid(w, depth);
    Random random(kind.triangles * 2u + (kind.size == TriangleSize::kLarge ? 1u : 0u));
    std::vector<Tri> triangles(kind.triangles);
    for (Tri& t : triangles) {
        const int s = kind.size == TriangleSize::kSmall ? 1 : 24 + random.Below(17);
        t = RandomTriangle(random, s, depth);
    }
    if (kind.order == DepthOrder::kSorted) {
        std::stable_sort(triangles.begin(), triangles.end(),
                         [](const Tri& a, const Tri& b) { return a.depth < b.depth; });
    }
    w.AddSurface("Bench");
    for (const Tri& t : triangles) w.AddPolygon({t.corner[0], t.corner[1], t.corner[2]});
    return kind.form == BenchForm::kLwo2 ? LayeredWriter::From(w, "LWO2").Build() : w.Build();
}

}  // namespace qavren::tools
