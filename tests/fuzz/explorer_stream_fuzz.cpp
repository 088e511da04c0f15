// Fuzz target over the thumbnail handler's reading and drawing: the input's
// first bytes choose the size the stream reports, a limit, where a read
// fails and the pieces it hands out; the rest is the stream. Whatever comes
// back must be the stream's bytes or a refusal that fits, and what is read is
// then drawn as the handler draws it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "render/thumbnail.h"
#include "viewers/explorer/stream_reader.h"

using namespace qavren;

namespace {

class FuzzStream final : public explorer::ByteStream {
public:
    FuzzStream(const uint8_t* data, size_t size, const uint8_t* pieces, size_t piece_count, uint32_t fail_at)
        : data_(data), size_(size), pieces_(pieces), piece_count_(piece_count), fail_at_(fail_at) {}
    bool Read(void* destination, uint32_t want, uint32_t* got) override {
        if (++reads_ == fail_at_) return false;
        const uint32_t piece = piece_count_ ? 1u + pieces_[reads_ % piece_count_] * 97u : want;
        uint32_t n = want < piece ? want : piece;
        if (n > size_ - at_) n = static_cast<uint32_t>(size_ - at_);
        if (n) std::memcpy(destination, data_ + at_, n);
        at_ += n;
        *got = n;
        return true;
    }
    bool failed() const { return fail_at_ != 0 && reads_ >= fail_at_; }

private:
    const uint8_t* data_;
    size_t size_, at_ = 0;
    const uint8_t* pieces_;
    size_t piece_count_;
    uint32_t fail_at_, reads_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8 || size > UINT32_MAX) return 0;
    // hint: exact, unknown, or off by the signed byte; limit: none or small.
    const int8_t hint_shift = static_cast<int8_t>(data[0]);
    const uint32_t limit = data[1] < 16 ? data[1] * 64u : UINT32_MAX;
    const uint32_t fail_at = data[2] < 32 ? data[2] : 0;
    const size_t piece_count = data[3] % 5;
    const uint8_t* pieces = data + 4;
    const uint8_t* object = data + 8;
    const size_t length = size - 8;
    uint64_t hint = explorer::kUnknownSize;
    if (hint_shift != -128)
        hint = static_cast<uint64_t>(std::max<int64_t>(0, static_cast<int64_t>(length) + hint_shift));

    FuzzStream stream(object, length, pieces, piece_count, fail_at);
    ObjectBuffer buffer;
    const Status read = explorer::ReadWholeStream(stream, hint, &buffer, limit);
    if (read == status::kOk) {
        if (buffer.size() != length || (length && std::memcmp(buffer.data(), object, length) != 0)) std::abort();
        if (length > limit || stream.failed()) std::abort();
    } else if (read == status::kReadError) {
        if (!stream.failed()) std::abort();
        if (!buffer.empty()) std::abort();
    } else if (read == status::kNoMemory) {
        if (length <= limit && (hint == explorer::kUnknownSize || hint <= limit)) std::abort();
        if (!buffer.empty()) std::abort();
    } else {
        std::abort();
    }
    if (read == status::kOk) {
        RgbaPicture picture;
        DrawThumbnail(buffer, 24, 24, &picture);
    }
    return 0;
}
