// Depth patterns that test the depth sort, and objects that carry them:
// inputs that defeat the middle pivot, rings of depths, double-sided
// cylinders. Used by the tests, the benchmarks and lwogen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/lwogen/lwo_writer.h"

namespace qavren::tools {

// Depths that defeat a quicksort whose pivot is the middle record: the
// middle record of every range the sort meets is that range's smallest, so
// each partition splits off one record and the plain procedure needs about
// n^2 / 2 comparisons.
std::vector<float> MiddlePivotKiller(size_t n);

// -cos(2πk/n): the depths of a ring of faces seen end-on, on which the
// middle pivot needs about n^2 / 4 comparisons.
std::vector<float> RingDepths(size_t n);

// An object whose triangle records, in file order, have depths in the same
// order and with the same ties as `depths` (at most kMaxDepthRecords): two-point
// polygons over 65,536 points, one a record.
constexpr size_t kMaxDepthRecords = 196'599;
LwoWriter MakeDepthObject(const std::vector<float>& depths);

// A cylinder of `sides` faces, each a quad cut into two triangles, each
// triangle listed twice in a row, the second time reversed (a double-sided
// face, as exporters write them): 4 · sides triangles, no caps. Its axis
// runs along y (seen side-on) or, with `end_on`, along z, and it is then
// turned by `turn` radians about the x axis.
LwoWriter MakeDoubleSidedCylinder(int sides, double turn, bool end_on);

}  // namespace qavren::tools
