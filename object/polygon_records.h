// The polygon records of one POLS chunk, in the three layouts the forms use.
// The chunk's bytes are untrusted: every count is checked against what is
// left of the chunk before it is read, and every point number against the
// points it names before it is handed out, so renderers may index their
// point arrays with the numbers they get.
#pragma once

#include <cstdint>

#include "platform/byte_reader.h"
#include "platform/status.h"

namespace qavren {

enum class RecordLayout : uint8_t {
    kLwob,  // U2 n (1..200), n U2 point numbers, I2 surface
    kLwlo,  // the same with n up to 1023; a negative surface is followed by
            // U2 m and m detail records of the same layout (not nested)
    kLwo2,  // U2 word with n (1..1023) in its low 10 bits and flags above,
            // n VX point numbers: U2, or U4 with its top byte (0xFF) dropped
};

// The most vertices a record of any layout may have: the 10 bits of LWO2;
// LWOB's own limit (the described one) is lower.
constexpr uint16_t kMaxPolygonIndices = 1023;
constexpr uint16_t kMaxLwobVertices = 200;

// Why a walk stopped early.
enum class RecordFault : uint8_t {
    kNone,
    kVertexCount,    // n is 0 or above the layout's limit
    kOverrun,        // the record, or the detail count, runs past the chunk
    kPointNumber,    // a point number not smaller than the point count
    kMissingDetails, // the chunk ends before the detail records it announced
};

class PolygonRecords {
public:
    PolygonRecords() = default;
    // Point numbers must be smaller than `point_count`; `first_point` is
    // added to each one handed out (the layer's place in the object's points).
    PolygonRecords(const ByteReader& chunk, RecordLayout layout, uint32_t first_point, uint32_t point_count)
        : rest_(chunk), first_point_(first_point), point_count_(point_count), layout_(layout) {}

    // 1 with the next record's vertex count in *count and its point numbers
    // in indices[0 .. *count); 0 when the chunk is used up exactly; -5 with
    // fault() set otherwise. Inline: the renderers call it for every record.
    Status Next(uint16_t* count, uint32_t* indices) {
        record_ = rest_.position();
        if (layout_ == RecordLayout::kLwob) return NextLwob(kMaxLwobVertices, count, indices);
        return layout_ == RecordLayout::kLwlo ? NextLwlo(count, indices) : NextLwo2(count, indices);
    }

    // Start of the record Next last read or failed at.
    const uint8_t* record() const { return record_; }
    // The surface word of the last record read (LWOB and LWLO layouts).
    int16_t surface() const { return surface_; }
    RecordFault fault() const { return fault_; }
    // The vertex count or point number at fault.
    uint32_t fault_value() const { return fault_value_; }

private:
    Status Fail(RecordFault fault, uint32_t value = 0) {
        fault_ = fault;
        fault_value_ = value;
        return status::kCorrupt;
    }
    // One check of the record's length against the chunk, then plain reads.
    Status NextLwob(uint16_t limit, uint16_t* count, uint32_t* indices) {
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
    Status NextLwlo(uint16_t* count, uint32_t* indices);
    Status NextLwo2(uint16_t* count, uint32_t* indices);

    ByteReader rest_;
    const uint8_t* record_ = nullptr;
    uint32_t first_point_ = 0;
    uint32_t point_count_ = 0;
    uint32_t details_left_ = 0;
    uint32_t fault_value_ = 0;
    int16_t surface_ = 0;
    RecordLayout layout_ = RecordLayout::kLwob;
    RecordFault fault_ = RecordFault::kNone;
};

}  // namespace qavren
