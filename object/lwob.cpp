// Form check and chunk search over an object's bytes.
#include "object/lwob.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "object/tags.h"

namespace qavren {

Status CheckForm(const ObjectBuffer& buffer) {
    if (buffer.empty()) return status::kNoData;
    if (buffer.size() < 12) return status::kCorrupt;
    const uint8_t* d = buffer.data();
    if (!IsTag(d, "FORM")) return status::kCorrupt;
    if (IsTag(d + 8, "LWOB")) return status::kLwob;
    if (IsTag(d + 8, "LWLO")) return status::kLayered;
    return status::kOtherForm;
}

namespace {

// The byte scan, 64 offsets at a time: a block is looked at offset by offset
// only when some offset in it has both the tag's first byte and, three bytes
// on, its last one, which arbitrary data rarely has (a search for the first
// byte alone stops at every byte of a run of it). Blocks go in order, so the
// first match is still the first in the buffer. The test of a block is a
// plain loop that compilers turn into 16-byte compares.
constexpr ptrdiff_t kBlock = 64;

bool MayHold(const uint8_t* p, uint8_t first, uint8_t last) {
    uint8_t any = 0;
    for (ptrdiff_t k = 0; k < kBlock; ++k) any |= static_cast<uint8_t>((p[k] == first) & (p[k + 3] == last));
    return any != 0;
}

// First offset in [from, to) where the tag starts; `to` + 3 <= size.
const uint8_t* ScanBytes(const uint8_t* from, const uint8_t* to, const char tag[4]) {
    for (const uint8_t* p = from; p < to; ++p) {
        if (IsTag(p, tag)) return p;
    }
    return nullptr;
}

}  // namespace

uint32_t FindChunk(const ObjectBuffer& buffer, const char tag[4]) {
    if (CheckForm(buffer) != status::kLwob) return kChunkNotFound;
    const uint8_t* data = buffer.data();
    const uint8_t* end = data + buffer.size() - 3;  // one past the last offset a tag fits at
    const auto first = static_cast<uint8_t>(tag[0]), last = static_cast<uint8_t>(tag[3]);
    const uint8_t* p = data;
    // Whole blocks while a block's last read, p[kBlock + 2], lies inside.
    for (; end - p >= kBlock; p += kBlock) {
        if (!MayHold(p, first, last)) continue;
        if (const uint8_t* at = ScanBytes(p, p + kBlock, tag)) return static_cast<uint32_t>(at - data);
    }
    const uint8_t* at = ScanBytes(p, end, tag);
    return at ? static_cast<uint32_t>(at - data) : kChunkNotFound;
}

Status LocateChunk(const ObjectBuffer& buffer, const char tag[4], ByteReader* data) {
    const uint32_t at = FindChunk(buffer, tag);
    if (at == kChunkNotFound) return status::kCorrupt;
    ByteReader reader(buffer.data() + at, buffer.size() - at);
    uint32_t length = 0;
    if (!reader.Skip(4) || !reader.ReadU32(&length) || !reader.Take(length, data)) return status::kCorrupt;
    return status::kOk;
}

}  // namespace qavren
