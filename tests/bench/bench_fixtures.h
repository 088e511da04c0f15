// What the benchmarks share: the generated objects (made once, kept in memory
// and on disk), a host-sized pixel block, and the polygon renderer's stages
// rebuilt from the object API, so that each stage can be timed on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "object/object_buffer.h"
#include "render/depth_sort.h"
#include "render/projection.h"
#include "render/surface.h"
#include "tools/lwogen/bench_objects.h"

namespace qavren::bench {

using tools::BenchObjectKind;

struct Canvas {
    int32_t width;
    int32_t height;
    std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

constexpr Colour kBackground = Rgb(0, 40, 60);

// The object's bytes, generated on first use.
const std::vector<uint8_t>& ObjectBytes(const BenchObjectKind& kind);

// Points only, for the projection loop alone: n points on a lattice and
// an empty polygon list, generated on first use.
const std::vector<uint8_t>& PointCloud(uint32_t n);

// The object as a file in the benchmark's scratch folder, written on first
// use; QAVREN_BENCH_DIR chooses the folder (default: the system's temp).
const std::string& ObjectFile(const BenchObjectKind& kind);

// The object loaded into a buffer, as a renderer receives it.
void Load(const BenchObjectKind& kind, ObjectBuffer* buffer);

// A bottom-up 24-bit block the size of a host's, with a surface over it.
class PixelBlock {
public:
    explicit PixelBlock(Canvas canvas);
    Surface& surface() { return surface_; }
    uint8_t* bits() { return bits_.data(); }

private:
    std::vector<uint8_t> bits_;
    Surface surface_;
};

// The polygon renderer's triangle build (its two walks over POLS, the fan
// and the mean depth), the painting pass over sorted records as a picture
// runs it (a fresh coverage, the triangles, the background into what they
// leave), and the T depths the floor sorts. Each returns false on a broken object.
// The model of `buffer` read and its points projected on a width × height canvas.
bool ProjectObject(const ObjectBuffer& buffer, int32_t width, int32_t height, ObjectModel* model,
                   ProjectedPoints* points);
bool BuildTriangles(const ObjectModel& model, const ProjectedPoints& points, std::vector<Triangle>* out);
void PaintSorted(Surface& surface, const ProjectedPoints& points, const std::vector<Triangle>& sorted);
std::vector<float> TriangleDepths(const BenchObjectKind& kind);
std::vector<float> TriangleDepths(const ObjectBuffer& buffer);

}  // namespace qavren::bench
