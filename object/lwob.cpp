// Form check, chunk search and the polygon walk over an object's bytes.
#include "object/lwob.h"

#include <cstring>

namespace qavren {

Status CheckForm(const ObjectBuffer& buffer) {
    if (buffer.empty()) return status::kNoData;
    if (buffer.size() < 12) return status::kCorrupt;
    const uint8_t* d = buffer.data();
    if (std::memcmp(d, "FORM", 4) != 0) return status::kCorrupt;
    if (std::memcmp(d + 8, "LWOB", 4) == 0) return status::kLwob;
    if (std::memcmp(d + 8, "LWLO", 4) == 0) return status::kLayered;
    return status::kOtherForm;
}

uint32_t FindChunk(const ObjectBuffer& buffer, const char tag[4]) {
    if (CheckForm(buffer) != status::kLwob) return kChunkNotFound;
    const uint8_t* data = buffer.data();
    const uint32_t last = buffer.size() - 4;
    // memchr for the first tag byte does the byte scan at memory speed.
    const uint8_t* p = data;
    const uint8_t* end = data + last + 1;
    const auto first = static_cast<unsigned char>(tag[0]);
    while (p < end) {
        p = static_cast<const uint8_t*>(std::memchr(p, first, static_cast<size_t>(end - p)));
        if (!p) break;
        if (std::memcmp(p, tag, 4) == 0) return static_cast<uint32_t>(p - data);
        ++p;
    }
    return kChunkNotFound;
}

Status LocateChunk(const ObjectBuffer& buffer, const char tag[4], ByteReader* data) {
    const uint32_t at = FindChunk(buffer, tag);
    if (at == kChunkNotFound) return status::kCorrupt;
    ByteReader reader(buffer.data() + at, buffer.size() - at);
    uint32_t length = 0;
    if (!reader.Skip(4) || !reader.ReadU32(&length) || !reader.Take(length, data)) return status::kCorrupt;
    return status::kOk;
}

Status PolygonWalk::Next(Polygon* polygon) {
    if (rest_.remaining() == 0) return 0;
    uint16_t n = 0;
    if (!rest_.ReadU16(&n) || n == 0 || n > kMaxPolygonVertices) return status::kCorrupt;
    // One check for the whole record, then plain reads.
    ByteReader record;
    if (!rest_.Take(2u * n + 2u, &record)) return status::kCorrupt;
    const uint8_t* indices = record.position();
    for (uint16_t k = 0; k < n; ++k) {
        if (ByteReader::LoadU16(indices + 2 * k) >= point_count_) return status::kCorrupt;
    }
    polygon->count = n;
    polygon->indices = indices;
    return 1;
}

}  // namespace qavren
