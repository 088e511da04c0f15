// The triangles of the polygon renderer and their depth sort.
#pragma once

#include <cstdint>

namespace qavren {

// 16 bytes: three point numbers and the depth (mean model z of the corners).
struct Triangle {
    uint32_t corner[3];
    float depth;
};
static_assert(sizeof(Triangle) == 16, "Triangle records are 16 bytes");

// Sorts records low..high (inclusive, signed; high < low is empty) by
// ascending depth in place, with exactly the order of a Hoare quicksort on
// the middle element's depth, so that equal depths are painted in the same
// order on every build.
void SortByDepth(Triangle* records, int32_t low, int32_t high);

}  // namespace qavren
