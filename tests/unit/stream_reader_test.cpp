// Reading an object out of a stream in pieces: whatever the pieces and the
// size the stream reports, the buffer holds the stream's bytes; a read error,
// a stream above the limit, a stream that gives more than it was asked for
// and every failed allocation end in their status with nothing left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/memory.h"
#include "viewers/explorer/stream_reader.h"

namespace qavren::explorer {
namespace {

using Bytes = std::vector<uint8_t>;

// A stream over `data` that hands out pieces of random length (up to
// `largest`), fails on read number `fail_at` (0: never) and, when
// `overgive`, claims one byte more than asked on its second read.
class PieceStream : public ByteStream {
public:
    PieceStream(const Bytes& data, uint32_t seed, uint32_t largest) : data_(data), rng_(seed), largest_(largest) {}
    uint32_t fail_at = 0;
    bool overgive = false;
    uint32_t reads = 0;
    size_t given = 0;

    bool Read(void* destination, uint32_t want, uint32_t* got) override {
        ++reads;
        if (reads == fail_at) return false;
        const size_t left = data_.size() - given;
        const uint32_t piece = std::uniform_int_distribution<uint32_t>(1, largest_)(rng_);
        const auto n = static_cast<uint32_t>(std::min<size_t>({left, want, piece}));
        if (n) std::memcpy(destination, data_.data() + given, n);
        given += n;
        *got = overgive && reads == 2 ? want + 1 : n;
        return true;
    }

private:
    const Bytes& data_;
    std::mt19937 rng_;
    uint32_t largest_;
};

Bytes Generated(size_t length, uint32_t seed) {
    Bytes bytes(length);
    std::mt19937 rng(seed);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

TEST(StreamReader, HoldsTheStreamsBytesWhateverThePiecesAndTheReportedSize) {
    const size_t lengths[] = {0, 1, 7, kFirstPiece - 1, kFirstPiece, kFirstPiece + 1, 3 * kFirstPiece + 5};
    uint32_t seed = 1;
    for (const size_t length : lengths) {
        const Bytes data = Generated(length, seed);
        // The stream's true size, none, one too few, one too many, nothing.
        const uint64_t hints[] = {length, kUnknownSize, length ? length - 1 : 0, length + 1, 0};
        for (const uint64_t hint : hints) {
            for (const uint32_t largest : {1u, 13u, 4096u, UINT32_MAX}) {
                if (largest == 1 && length > kFirstPiece) continue;
                SCOPED_TRACE(::testing::Message() << "length " << length << " hint " << hint << " pieces " << largest);
                const int64_t live = platform::LiveBlockCount();
                PieceStream stream(data, ++seed, largest);
                {
                    ObjectBuffer buffer;
                    ASSERT_EQ(ReadWholeStream(stream, hint, &buffer), status::kOk);
                    ASSERT_EQ(buffer.size(), length);
                    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.data()));
                }
                EXPECT_EQ(platform::LiveBlockCount(), live);
            }
        }
    }
}

struct Refusal {
    const char* name;
    size_t length;
    uint64_t hint;
    uint32_t limit;
    uint32_t fail_at;
    bool overgive;
    Status expected;
};

TEST(StreamReader, RefusesCleanly) {
    const Refusal cases[] = {
        {"read error first", 100, kUnknownSize, UINT32_MAX, 1, false, status::kReadError},
        {"read error on the end probe", 100, 100, UINT32_MAX, 2, false, status::kReadError},
        {"read error after a grow", 3 * kFirstPiece, kUnknownSize, UINT32_MAX, 5, false, status::kReadError},
        {"more than asked", 100, kUnknownSize, UINT32_MAX, 0, true, status::kReadError},
        {"told too large", 101, 101, 100, 0, false, status::kNoMemory},
        {"found too large", 101, kUnknownSize, 100, 0, false, status::kNoMemory},
        {"found too large behind a small hint", 101, 10, 100, 0, false, status::kNoMemory},
        {"exactly the limit", 100, kUnknownSize, 100, 0, false, status::kOk},
        {"exactly the limit, told", 100, 100, 100, 0, false, status::kOk},
        {"nothing at a zero limit", 0, kUnknownSize, 0, 0, false, status::kOk},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes data = Generated(c.length, 7);
        const int64_t live = platform::LiveBlockCount();
        PieceStream stream(data, 3, 40000);
        stream.fail_at = c.fail_at;
        stream.overgive = c.overgive;
        {
            ObjectBuffer buffer;
            EXPECT_EQ(ReadWholeStream(stream, c.hint, &buffer, c.limit), c.expected);
            EXPECT_EQ(buffer.empty(), c.expected != status::kOk);
        }
        EXPECT_EQ(platform::LiveBlockCount(), live);
    }
    // A size told above the limit is refused before anything is read.
    const Bytes told = Generated(101, 7);
    PieceStream stream(told, 3, 40000);
    ObjectBuffer buffer;
    EXPECT_EQ(ReadWholeStream(stream, 101, &buffer, 100), status::kNoMemory);
    EXPECT_EQ(stream.reads, 0u);
}

TEST(StreamReader, EveryFailedAllocationGivesNoMemoryAndKeepsNothing) {
    const Bytes data = Generated(5 * kFirstPiece / 2, 11);
    for (const uint64_t hint : {uint64_t{data.size()}, kUnknownSize}) {
        uint32_t allocations = 0;
        {
            PieceStream stream(data, 5, 9000);
            ObjectBuffer buffer;
            const uint64_t before = platform::AllocationCount();
            ASSERT_EQ(ReadWholeStream(stream, hint, &buffer), status::kOk);
            allocations = static_cast<uint32_t>(platform::AllocationCount() - before);
        }
        ASSERT_GE(allocations, hint == kUnknownSize ? 3u : 2u);
        for (uint32_t n = 1; n <= allocations; ++n) {
            SCOPED_TRACE(::testing::Message() << "hint " << hint << " allocation " << n);
            const int64_t live = platform::LiveBlockCount();
            PieceStream stream(data, 5, 9000);
            {
                ObjectBuffer buffer;
                platform::FailAllocationAfter(n);
                EXPECT_EQ(ReadWholeStream(stream, hint, &buffer), status::kNoMemory);
                platform::FailAllocationAfter(0);
                EXPECT_TRUE(buffer.empty());
            }
            EXPECT_EQ(platform::LiveBlockCount(), live);
        }
    }
}

}  // namespace
}  // namespace qavren::explorer
