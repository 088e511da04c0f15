// The whole stream gathered piece by piece into the bytes every shell
// gathers (ObjectBytes), then handed to the ObjectBuffer.
#include "viewers/explorer/stream_reader.h"

#include <algorithm>

#include "platform/owned_array.h"
#include "viewers/object_bytes.h"

namespace qavren::explorer {

Status ReadWholeStream(ByteStream& stream, uint64_t size_hint, ObjectBuffer* out, uint32_t limit) {
    if (!out->empty()) return status::kAlreadyFilled;
    viewers::ObjectBytes bytes(limit);
    // A stream that ends where it said takes one block; the bytes grow past
    // the hint only as more of them come.
    const uint64_t first = size_hint != kUnknownSize ? size_hint : std::min(kFirstPiece, limit);
    if (const Status s = bytes.Reserve(first); Failed(s)) return s;
    OwnedArray<uint8_t> piece;
    if (const Status s = piece.Allocate(kFirstPiece); Failed(s)) return s;
    for (;;) {
        uint32_t got = 0;
        if (!stream.Read(piece.data(), kFirstPiece, &got) || got > kFirstPiece) return status::kReadError;
        if (got == 0) break;
        if (const Status s = bytes.Append(piece.data(), got); Failed(s)) return s;
    }
    return bytes.MoveInto(out);
}

}  // namespace qavren::explorer
