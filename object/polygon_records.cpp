// Decoding the LWLO and LWO2 records (LWOB's are decoded inline): for LWO2
// the length is checked index by index, since indices vary in length.
#include "object/polygon_records.h"

namespace qavren {
namespace {

constexpr uint16_t kCountMask = 0x03FF;  // LWO2: the high 6 bits are flags

}  // namespace

Status PolygonRecords::NextLwlo(uint16_t* count, uint32_t* indices) {
    if (rest_.remaining() == 0) return details_left_ ? Fail(RecordFault::kMissingDetails, details_left_) : 0;
    const bool detail = details_left_ > 0;
    const Status s = NextLwob(kMaxPolygonIndices, count, indices);
    if (s != 1) return s;
    if (detail) {
        --details_left_;
    } else if (surface_ < 0) {
        uint16_t details = 0;
        if (!rest_.ReadU16(&details)) return Fail(RecordFault::kOverrun);
        details_left_ = details;
    }
    return 1;
}

Status PolygonRecords::NextLwo2(uint16_t* count, uint32_t* indices) {
    if (rest_.remaining() == 0) return 0;
    uint16_t word = 0;
    if (!rest_.ReadU16(&word)) return Fail(RecordFault::kOverrun);
    const uint16_t n = word & kCountMask;
    if (n == 0) return Fail(RecordFault::kVertexCount, n);
    for (uint16_t k = 0; k < n; ++k) {
        uint32_t index = 0;
        const uint8_t* p = rest_.position();
        if (rest_.remaining() >= 4 && p[0] == 0xFF) {
            index = ByteReader::LoadU32(p) & 0x00FFFFFFu;
            rest_.Skip(4);
        } else {
            uint16_t shorter = 0;
            // A lone 0xFF byte pair at the end is a cut-off long index.
            if (rest_.remaining() < 2 || p[0] == 0xFF || !rest_.ReadU16(&shorter)) return Fail(RecordFault::kOverrun);
            index = shorter;
        }
        if (index >= point_count_) return Fail(RecordFault::kPointNumber, index);
        indices[k] = first_point_ + index;
    }
    *count = n;
    return 1;
}

}  // namespace qavren
