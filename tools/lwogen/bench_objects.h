// Big objects for the benchmarks: a jittered 256 x 256 grid of points (every
// point number a polygon may hold) and any count of triangles over it, small
// or large, in random or in depth-sorted file order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qavren::tools {

enum class TriangleSize {
    kSmall,  // one grid cell: about 3 pixels at 800 x 600, 70 at 4000 x 3000
    kLarge,  // 24 to 40 cells a side: about 1/4 of the picture's width
};

enum class DepthOrder {
    kRandom,  // triangles anywhere, in no order
    kSorted,  // the same triangles, nearest first: the order the renderer's sort leaves
};

// The form the object is written in: the same triangles either way, as one
// LWO2 layer with its indices in the 2- or 4-byte form as they need.
enum class BenchForm { kLwob, kLwo2 };

struct BenchObjectKind {
    uint32_t triangles = 1000;
    TriangleSize size = TriangleSize::kSmall;
    DepthOrder order = DepthOrder::kRandom;
    BenchForm form = BenchForm::kLwob;
    // A real object file instead of a generated one (triangles: its count).
    const char* file = nullptr;
};

// "small-random", "large-sorted", ...
std::string NameOf(TriangleSize size, DepthOrder order);
// The same with "lwo2-" before the newer form's, and the file's name for a real one.
std::string NameOf(const BenchObjectKind& kind);

// The object as a file. The same kind gives the same bytes on every build.
std::vector<uint8_t> MakeBenchObject(const BenchObjectKind& kind);

}  // namespace qavren::tools
