// A demanding host: one that unmasks floating-point exceptions, calls from
// several threads at once, and passes odd arguments. The plug-in must not
// fault, must hand the caller's floating-point state back unchanged, and
// must draw the same pictures as for a quiet host.
#include <gtest/gtest.h>

#include <windows.h>
#include <xmmintrin.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/wine/plugin_under_test.h"
#include "tests/wine/registry_fixture.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::testing {
namespace {

using Bytes = std::vector<uint8_t>;

const PluginUnderTest& Plugin() {
    static PluginUnderTest plugin;
    return plugin;
}

struct FpState {
    uint16_t x87_control;
    uint32_t mxcsr;
    bool operator==(const FpState& o) const { return x87_control == o.x87_control && mxcsr == o.mxcsr; }
};

FpState ReadFpState() {
    FpState s;
    __asm__ __volatile__("fnstcw %0" : "=m"(s.x87_control));
    s.mxcsr = _mm_getcsr();
    return s;
}

// Every exception unmasked, rounding toward zero in SSE: a host that wants
// to hear about every floating-point event.
void UnmaskEverything() {
    const uint16_t control = 0x0F40;  // x87: all unmasked, 53-bit precision, round to zero
    __asm__ __volatile__("fnclex; fldcw %0" : : "m"(control));
    _mm_setcsr(0x6000);  // SSE: all unmasked, round toward zero
}

void Restore(const FpState& s) {
    __asm__ __volatile__("fnclex; fldcw %0" : : "m"(s.x87_control));
    _mm_setcsr(s.mxcsr);
}

// The pixels of one picture from a memory image, or empty on failure.
Bytes PictureOf(const Bytes& object, int32_t* code) {
    HLOCAL info = nullptr, bits = nullptr;
    int32_t delta;
    *code = Plugin().Call("GetPicture", {Arg(object.data()), uint32_t(object.size()), 1, Arg(&info), Arg(&bits), 0, 0},
                          &delta);
    if (*code != 0) return {};
    const auto* p = static_cast<const uint8_t*>(bits);
    Bytes pixels(p, p + LocalSize(bits));
    LocalFree(info);
    LocalFree(bits);
    return pixels;
}

class HostileHost : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
};

TEST_F(HostileHost, UnmaskedExceptionsAreRespectedAndHandedBack) {
    const FpState quiet = ReadFpState();
    for (uint32_t mode : {0u, 1u}) {
        SetDword("Type", mode);
        for (const auto& [name, bytes] : tools::HostileObjects()) {
            int32_t calm_code, strict_code;
            const Bytes calm = PictureOf(bytes, &calm_code);
            UnmaskEverything();
            const FpState strict = ReadFpState();
            const Bytes under_strict_host = PictureOf(bytes, &strict_code);
            const FpState after = ReadFpState();
            Restore(quiet);
            EXPECT_EQ(after, strict) << name;
            EXPECT_EQ(calm_code, strict_code) << name;
            EXPECT_EQ(calm, under_strict_host) << name << " mode " << mode;
        }
    }
    // The question exports too.
    const Bytes cube = tools::MakeCube().Build();
    std::vector<uint8_t> head(2048, 0);
    std::memcpy(head.data(), cube.data(), cube.size() < 2048 ? cube.size() : 2048);
    UnmaskEverything();
    const FpState strict = ReadFpState();
    int32_t delta;
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x"), Arg(head.data())}, &delta), 1);
    EXPECT_EQ(ReadFpState(), strict);
    Restore(quiet);
}

TEST_F(HostileHost, FourThreadsAtOnceGetFourCorrectPictures) {
    SetDword("Type", 1);
    const Bytes objects[4] = {tools::MakeCube().Build(), tools::MakeSphere(10, 16).Build(),
                              tools::MakeTorus(16, 8, 1.0f, 0.4f).Build(), tools::MakeSphere(4, 5).Build()};
    Bytes expected[4];
    for (int i = 0; i < 4; ++i) {
        int32_t code;
        expected[i] = PictureOf(objects[i], &code);
        ASSERT_EQ(code, 0);
    }
    Bytes got[4][5];
    int32_t codes[4][5] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) got[t][round] = PictureOf(objects[t], &codes[t][round]);
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) {
        for (int round = 0; round < 5; ++round) {
            EXPECT_EQ(codes[t][round], 0);
            EXPECT_TRUE(got[t][round] == expected[t]) << "thread " << t << " round " << round;
        }
    }
}

// Busy blocks of the process heap, where local memory lives.
int64_t BusyHeapBlocks() {
    HANDLE heap = GetProcessHeap();
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    int64_t busy = 0;
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
    }
    HeapUnlock(heap);
    return busy;
}

TEST_F(HostileHost, NothingLeaksAcrossManyCalls) {
    const Bytes objects[] = {tools::MakeSphere(8, 12).Build(), tools::HostileObjects()[1].second,
                             Bytes{'F', 'O', 'R', 'M'}};
    int32_t code;
    for (uint32_t mode : {0u, 1u}) {
        SetDword("Type", mode);
        for (const Bytes& o : objects) PictureOf(o, &code);  // warm up the registry and the heap
        const int64_t before = BusyHeapBlocks();
        for (int round = 0; round < 20; ++round) {
            for (const Bytes& o : objects) PictureOf(o, &code);
        }
        EXPECT_EQ(BusyHeapBlocks(), before) << "mode " << mode;
    }
}

TEST_F(HostileHost, BadHandleValuesAndNullOutPointers) {
    int32_t delta;
    for (uint32_t handle : {0u, 0x4u, 0xFFFFu, 0x1234u}) {
        EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x"), handle}, &delta), 0) << handle;
    }
    const Bytes cube = tools::MakeCube().Build();
    HLOCAL bits = nullptr;
    EXPECT_EQ(Plugin().Call("GetPicture", {Arg(cube.data()), uint32_t(cube.size()), 1, 0, Arg(&bits), 0, 0}, &delta),
              5);
    EXPECT_EQ(bits, nullptr);
}

}  // namespace
}  // namespace qavren::testing
