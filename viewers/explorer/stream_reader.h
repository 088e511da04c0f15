// Reading a whole object out of a stream that hands its bytes over in pieces
// (the shell's IStream), into an ObjectBuffer, within the ObjectBuffer's
// limits: the object fits a 32-bit size and every block may fail to be had.
// Nothing here knows COM; the handler wraps its IStream in a ByteStream.
#pragma once

#include <cstdint>

#include "object/object_buffer.h"
#include "platform/status.h"

namespace qavren::explorer {

// A source of bytes read front to back.
class ByteStream {
public:
    // Up to `want` bytes into `destination`, the count in *got; *got = 0 at
    // the end. False on a read error.
    virtual bool Read(void* destination, uint32_t want, uint32_t* got) = 0;

protected:
    ~ByteStream() = default;
};

constexpr uint64_t kUnknownSize = UINT64_MAX;
// What the stream is read in, and the first block while its size is unknown.
constexpr uint32_t kFirstPiece = 64 * 1024;

// Reads the stream to its end into the empty *out. `size_hint` is the size
// the stream reports, or kUnknownSize; the stream's own end decides, the hint
// only sizes the first block. 0; status::kNoMemory for an object above
// `limit` bytes (told by the hint before reading, or found while reading) or
// memory not had; status::kReadError for a read error or a stream that gives
// more than it was asked for; status::kAlreadyFilled when *out already holds
// data. On failure *out is as it was.
Status ReadWholeStream(ByteStream& stream, uint64_t size_hint, ObjectBuffer* out, uint32_t limit = UINT32_MAX);

}  // namespace qavren::explorer
