// Allocation-failure injection: every allocation that a support question or
// a picture makes is failed in turn. Each must end in the documented code,
// with the out-handles as documented and nothing left allocated.
#include <gtest/gtest.h>

#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"
#include "plugin/plugin_info.h"
#include "render/surface.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
void* const kUntouched = reinterpret_cast<void*>(0x5150);

struct Outcome {
    int32_t code;
    void* info = kUntouched;
    void* bits = kUntouched;
};

// GetPicture's path on a memory image, with the newer forms read.
Outcome Picture(const Bytes& object, int32_t mode) {
    RenderSettings settings;
    settings.mode = mode;
    settings.forms = 1;
    settings.width = 96;
    settings.height = 64;
    ObjectBuffer buffer;
    const Status loaded = buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size()));
    Outcome out;
    out.code = AssemblePicture(loaded, buffer, settings, &out.info, &out.bits);
    return out;
}

// The picture's pixels, and how many allocations it took.
Bytes PixelsOf(const Bytes& object, int32_t mode, uint64_t* allocations) {
    const uint64_t before = platform::AllocationCount();
    const Outcome ok = Picture(object, mode);
    *allocations = platform::AllocationCount() - before;
    EXPECT_EQ(ok.code, 0);
    const auto* bits = static_cast<const uint8_t*>(ok.bits);
    const Bytes pixels(bits, bits + RowStride(96) * 64);
    platform::FreeHostBlock(ok.info);
    platform::FreeHostBlock(ok.bits);
    return pixels;
}

TEST(AllocationWalk, EveryAllocationOfAPictureInBothModes) {
    // LWOB, and a layered object of each newer form: the same blocks.
    tools::LayeredWriter layers = tools::LayeredWriter::From(tools::MakeSphere(5, 7), "LWO2");
    layers.AddLayer(1, 0, "second");
    for (int k = 0; k < 3; ++k) layers.AddPoint(float(k), 2.f, 0.f);
    layers.AddPolygon({0, 1, 2}, "FACE", true);
    const Bytes objects[] = {tools::MakeCube().Build(), tools::MakeSphere(5, 7).Build(), layers.Build(),
                             tools::LayeredWriter::From(tools::MakeCube(), "LWO3").Build(),
                             tools::LayeredWriter::From(tools::MakeCube(), "LWLO").Build()};
    // The object copy, the two host blocks, the model's points, polygon
    // starts and point numbers, the projected points, and in polygon mode
    // the coverage (before the projected points) and the triangles. Without
    // the coverage the picture is drawn the plain way: the same pixels, no
    // failure.
    constexpr uint32_t kCoverage = 7;
    int walked = 0;
    for (const Bytes& object : objects) {
        for (int32_t mode : {0, 1}) {
            uint64_t count = 0;
            const Bytes pixels = PixelsOf(object, mode, &count);
            EXPECT_EQ(count, mode == 0 ? 7u : 9u);
            for (uint32_t n = 1; n <= count; ++n, ++walked) {
                const int64_t live = platform::LiveBlockCount();
                platform::FailAllocationAfter(n);
                const Outcome failed = Picture(object, mode);
                platform::FailAllocationAfter(0);
                if (mode != 0 && n == kCoverage) {
                    ASSERT_EQ(failed.code, 0) << "mode " << mode;
                    const auto* bits = static_cast<const uint8_t*>(failed.bits);
                    EXPECT_EQ(Bytes(bits, bits + pixels.size()), pixels) << "mode " << mode;
                    platform::FreeHostBlock(failed.info);
                    platform::FreeHostBlock(failed.bits);
                } else {
                    EXPECT_EQ(failed.code, 4) << "allocation " << n << " mode " << mode;
                    // The object copy fails before the handles exist; later ones null them.
                    void* expected = n == 1 ? kUntouched : nullptr;
                    EXPECT_EQ(failed.info, expected) << n;
                    EXPECT_EQ(failed.bits, expected) << n;
                }
                EXPECT_EQ(platform::LiveBlockCount(), live) << "leak at allocation " << n << " mode " << mode;
            }
        }
    }
    EXPECT_EQ(walked, 80);
}

TEST(AllocationWalk, ASupportQuestionWithoutMemoryAnswersNo) {
    Bytes head = tools::MakeCube().Build();
    head.resize(2048);
    const int64_t live = platform::LiveBlockCount();
    platform::FailAllocationAfter(1);
    ObjectBuffer buffer;
    const Status loaded = buffer.LoadFromMemory(head.data(), 2048);
    platform::FailAllocationAfter(0);
    EXPECT_EQ(loaded, status::kNoMemory);
    EXPECT_EQ(SupportAnswer(loaded, buffer, kLwobOnly), 0);
    EXPECT_EQ(platform::LiveBlockCount(), live);
}

}  // namespace
}  // namespace qavren
