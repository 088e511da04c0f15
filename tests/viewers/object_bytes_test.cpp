// ObjectBytes, the bounded gathering every viewer loader feeds: the bound
// and failed allocations refuse a piece and keep what came before. (Pieces
// gathering to the object's bytes is shown through the loaders themselves,
// fed in random pieces.)
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/memory.h"
#include "viewers/object_bytes.h"

namespace qavren::viewers {
namespace {

std::vector<uint8_t> Gathered(const ObjectBytes& bytes) {
    return std::vector<uint8_t>(bytes.data(), bytes.data() + bytes.size());
}

TEST(ObjectBytes, BoundAndFailuresKeepWhatCame) {
    const uint8_t data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    struct Step {
        const void* piece;
        size_t length;
        Status result;
    };
    struct Case {
        const char* name;
        uint64_t most;
        std::vector<Step> steps;
        uint64_t kept;
    };
    const Case cases[] = {
        {"up to the bound exactly", 10, {{data, 4, 0}, {data, 6, 0}}, 10},
        {"one past the bound", 10, {{data, 4, 0}, {data, 7, status::kNoMemory}, {data, 6, 0}}, 10},
        {"a piece that wraps the sum", 10, {{data, 3, 0}, {data, SIZE_MAX, status::kNoMemory}}, 3},
        {"nothing allowed", 0, {{data, 0, 0}, {data, 1, status::kNoMemory}}, 0},
        {"no piece but a length", 10, {{nullptr, 2, status::kNoData}, {nullptr, 0, 0}}, 0},
        {"a bound above the largest object", UINT64_MAX, {{data, 16, 0}}, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ObjectBytes bytes(c.most);
        std::vector<uint8_t> accepted;
        for (const Step& step : c.steps) {
            EXPECT_EQ(bytes.Append(step.piece, step.length), step.result);
            if (step.result == status::kOk && step.length) accepted.insert(accepted.end(), data, data + step.length);
        }
        ASSERT_EQ(bytes.size(), c.kept);
        EXPECT_EQ(Gathered(bytes), accepted);
    }

    // A block that cannot be had refuses the piece, and the next one still goes.
    ObjectBytes bytes;
    std::vector<uint8_t> big(5000, 7);
    ASSERT_EQ(bytes.Append(big.data(), 100), status::kOk);
    platform::FailAllocationAfter(1);
    EXPECT_EQ(bytes.Append(big.data(), big.size()), status::kNoMemory);
    platform::FailAllocationAfter(0);
    EXPECT_EQ(bytes.size(), 100u);
    EXPECT_EQ(bytes.Append(big.data(), big.size()), status::kOk);
    EXPECT_EQ(bytes.size(), 5100u);
}

// Pieces of every size, from a byte to more than the block holds, some
// ending exactly on a power of two (where a doubling block fills up) and
// single bytes after them,
// gather into exactly what came, across every growth of the block (run
// sanitized as well, where a write past the block is caught at once).
TEST(ObjectBytes, RandomPiecesGatherWhatCame) {
    uint32_t seed = 29;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int round = 0; round < 20; ++round) {
        ObjectBytes bytes;
        std::vector<uint8_t> expected;
        while (expected.size() < 300000) {
            size_t length = 1 + next() % (round % 2 ? 20000 : 300);
            const uint32_t pick = next() % 6;
            if (pick < 2) {  // up to the next power of two
                size_t power = 1;
                while (power <= expected.size()) power *= 2;
                length = power - expected.size();
            } else if (pick == 2) {
                length = 1;
            }
            std::vector<uint8_t> piece(length);
            for (uint8_t& b : piece) b = static_cast<uint8_t>(next());
            ASSERT_EQ(bytes.Append(piece.data(), piece.size()), status::kOk);
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
        ASSERT_EQ(Gathered(bytes), expected);
    }
}

}  // namespace
}  // namespace qavren::viewers
