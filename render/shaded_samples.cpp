// The band block of the shaded style: allocated once a drawing thread, and
// cleared band after band only where the last band drew.
#include "render/shaded_samples.h"

#include <algorithm>

namespace qavren {

Status ShadedSamples::Allocate(int32_t width, int32_t rows) {
    samples_.Reset();
    width_ = rows_ = band_top_ = band_bottom_ = 0;
    drawn_ = {INT32_MAX, -1, INT32_MAX, -1};
    if (width <= 0 || rows <= 0 || width > kMaxSide || rows > kMaxSide) return status::kNoMemory;
    const uint64_t count = uint64_t{kSide * kSide} * static_cast<uint32_t>(width) * static_cast<uint32_t>(rows);
    const uint64_t bytes = count * sizeof(Sample);
    if (static_cast<size_t>(bytes) != bytes) return status::kNoMemory;
    if (const Status s = samples_.Allocate(count); Failed(s)) return s;
    width_ = width;
    rows_ = rows;
    band_bottom_ = kSide * rows;
    return status::kOk;
}

void ShadedSamples::Start(int32_t top, int32_t rows) {
    // Only the box the last band drew holds anything.
    if (drawn_.x0 <= drawn_.x1) {
        const int32_t x0 = kSide * (drawn_.x0 / kSide), x1 = kSide * (drawn_.x1 / kSide) + kSide - 1;
        const int32_t y0 = kSide * (drawn_.y0 / kSide), y1 = kSide * (drawn_.y1 / kSide) + kSide - 1;
        for (int32_t j = y0; j <= y1; ++j) {
            std::fill(&At(x0, j), &At(x0, j) + (x1 - x0 + 1), Sample{0.0f, 0});
        }
    }
    drawn_ = {INT32_MAX, -1, INT32_MAX, -1};
    band_top_ = kSide * top;
    band_bottom_ = kSide * (top + std::min(rows, rows_));
}

}  // namespace qavren
