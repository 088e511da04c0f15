// Depths that defeat a quicksort whose pivot is the middle record: the
// middle record of every range the sort meets is that range's smallest, so
// each partition splits off one record and the plain procedure needs about
// n^2 / 2 comparisons.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace qavren::testing {

inline std::vector<float> MiddlePivotKiller(size_t n) {
    std::vector<size_t> at(n);  // at[p]: original index of the record now at p
    for (size_t p = 0; p < n; ++p) at[p] = p;
    std::vector<float> depth(n);
    for (size_t low = 0; low + 1 < n; ++low) {
        const size_t middle = (low + n - 1) / 2;
        depth[at[middle]] = float(low);
        std::swap(at[low], at[middle]);
    }
    depth[at[n - 1]] = float(n - 1);
    return depth;
}

}  // namespace qavren::testing
