// The LWOB container: the form check, the chunk search, and the point
// records of the PNTS chunk (the POLS records are read by PolygonRecords).
// All multi-byte fields are big-endian. Everything here reads through
// ByteReader, so nothing reads outside the buffer.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "object/polygon_records.h"
#include "platform/byte_reader.h"
#include "platform/status.h"

namespace qavren {

// 1 for LWOB, 2 for LWLO, -1 without data, -5 for short or non-FORM data,
// -6 for a FORM of another type. Reads no more than the first
// kFormHeaderSize bytes: "FORM", the length, the form type.
Status CheckForm(const ObjectBuffer& buffer);
constexpr uint32_t kFormHeaderSize = 12;

constexpr uint32_t kChunkNotFound = UINT32_MAX;

// Offset of the first occurrence of the four tag bytes anywhere in the
// buffer, scanning every byte offset from 0; kChunkNotFound when there is
// none or the buffer is not an LWOB form. The scan knows nothing of chunk
// boundaries: a surface name spelling the tag is taken for the chunk.
uint32_t FindChunk(const ObjectBuffer& buffer, const char tag[4]);

// The data of the chunk FindChunk finds: its length is read from the four
// bytes after the tag. -5 when the chunk is missing or its stated length
// runs past the end of the buffer.
Status LocateChunk(const ObjectBuffer& buffer, const char tag[4], ByteReader* data);

constexpr uint32_t kPointRecordSize = 12;
constexpr uint16_t kMaxPolygonVertices = kMaxLwobVertices;

// The PNTS records: x, y, z single-precision floats, 12 bytes a point; a
// trailing remainder of 1 to 11 bytes is ignored.
class PointList {
public:
    PointList() = default;
    explicit PointList(const ByteReader& data)
        : data_(data.position()), count_(data.remaining() / kPointRecordSize) {}

    uint32_t count() const { return count_; }
    void Get(uint32_t k, float* x, float* y, float* z) const {
        const uint8_t* p = data_ + static_cast<size_t>(k) * kPointRecordSize;
        *x = ByteReader::LoadF32(p);
        *y = ByteReader::LoadF32(p + 4);
        *z = ByteReader::LoadF32(p + 8);
    }

private:
    const uint8_t* data_ = nullptr;
    uint32_t count_ = 0;
};

}  // namespace qavren
