// Decoding polygon records: one check of the record's length against the
// chunk (per index for LWO2, whose indices vary in length), then plain reads.
#include "object/polygon_records.h"

#include "object/lwob.h"

namespace qavren {
namespace {

constexpr uint16_t kCountMask = 0x03FF;  // LWO2: the high 6 bits are flags

}  // namespace

Status PolygonRecords::Next(uint16_t* count, uint32_t* indices) {
    record_ = rest_.position();
    switch (layout_) {
    case RecordLayout::kLwob: return NextLwob(kMaxPolygonVertices, count, indices);
    case RecordLayout::kLwlo: {
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
    case RecordLayout::kLwo2: return NextLwo2(count, indices);
    }
    return status::kCorrupt;
}

Status PolygonRecords::NextLwob(uint16_t limit, uint16_t* count, uint32_t* indices) {
    if (rest_.remaining() == 0) return 0;
    uint16_t n = 0;
    if (!rest_.ReadU16(&n)) return Fail(RecordFault::kOverrun);
    if (n == 0 || n > limit) return Fail(RecordFault::kVertexCount, n);
    ByteReader record;
    if (!rest_.Take(2u * n + 2u, &record)) return Fail(RecordFault::kOverrun);
    const uint8_t* p = record.position();
    for (uint16_t k = 0; k < n; ++k) {
        const uint32_t index = ByteReader::LoadU16(p + 2 * k);
        if (index >= point_count_) return Fail(RecordFault::kPointNumber, index);
        indices[k] = first_point_ + index;
    }
    surface_ = static_cast<int16_t>(ByteReader::LoadU16(p + 2 * n));
    *count = n;
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
