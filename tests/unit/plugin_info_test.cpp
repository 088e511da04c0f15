// The plug-in's small answers: information strings, status translation,
// input kinds and the packed picture record.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/host_codes.h"
#include "plugin/plugin_info.h"

namespace qavren {
namespace {

TEST(CopyPluginInfo, StoresZeroFillsAndTruncatesByTheByte) {
    char buf[260];
    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(CopyPluginInfo(0, buf, 256), 4);
    EXPECT_STREQ(buf, "00IN");
    for (int i = 4; i < 256; ++i) ASSERT_EQ(buf[i], 0) << i;
    for (int i = 256; i < 260; ++i) EXPECT_EQ(buf[i], 0x5A);

    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(CopyPluginInfo(2, buf, 3), 3);
    EXPECT_EQ(0, std::memcmp(buf, "*.L", 3));
    EXPECT_EQ(buf[3], 0x5A);

    // Exactly the string's length: no terminator fits.
    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(CopyPluginInfo(2, buf, 5), 5);
    EXPECT_EQ(buf[5], 0x5A);
}

TEST(CopyPluginInfo, RefusesWithoutTouchingTheBuffer) {
    char buf[16];
    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(CopyPluginInfo(4, buf, 16), 0);
    EXPECT_EQ(CopyPluginInfo(-1, buf, 16), 0);
    EXPECT_EQ(CopyPluginInfo(0, buf, 0), 0);
    EXPECT_EQ(CopyPluginInfo(0, buf, -5), 0);
    EXPECT_EQ(CopyPluginInfo(0, nullptr, 0), 0);
    for (char c : buf) EXPECT_EQ(c, 0x5A);
}

TEST(CopyPluginInfo, TheFourStrings) {
    char buf[256];
    CopyPluginInfo(1, buf, sizeof buf);
    EXPECT_EQ(std::strncmp(buf, "LWOB to DIB filter  Ver 0.01a  ", 31), 0);
    EXPECT_GT(std::strlen(buf), 31u);
    CopyPluginInfo(3, buf, sizeof buf);
    EXPECT_STREQ(buf, "LightWave 3D LWOB Format");
}

TEST(MapToHostCode, TheWholeTable) {
    EXPECT_EQ(MapToHostCode(1), 0);
    EXPECT_EQ(MapToHostCode(0), 0);
    EXPECT_EQ(MapToHostCode(2), 2);
    EXPECT_EQ(MapToHostCode(-1), 5);
    EXPECT_EQ(MapToHostCode(-2), 5);
    EXPECT_EQ(MapToHostCode(-3), 6);
    EXPECT_EQ(MapToHostCode(-4), 4);
    EXPECT_EQ(MapToHostCode(-5), 3);
    EXPECT_EQ(MapToHostCode(-6), 2);
    EXPECT_EQ(MapToHostCode(-7), -1);
    EXPECT_EQ(MapToHostCode(3), -1);
    EXPECT_EQ(MapToHostCode(-9), -1);
}

TEST(InputKind, OnlyTheLowThreeBitsCount) {
    EXPECT_EQ(InputKindOf(0), InputKind::kFile);
    EXPECT_EQ(InputKindOf(8), InputKind::kFile);
    EXPECT_EQ(InputKindOf(1), InputKind::kMemory);
    EXPECT_EQ(InputKindOf(0xFFFFFFF9u), InputKind::kMemory);
    EXPECT_EQ(InputKindOf(2), InputKind::kUnsupported);
    EXPECT_EQ(InputKindOf(7), InputKind::kUnsupported);
}

TEST(WritePictureInfo, PackedLittleEndianRecord) {
    RenderSettings s;
    s.width = 1024;
    s.height = -3;
    uint8_t rec[kPictureInfoSize];
    std::memset(rec, 0x77, sizeof rec);
    WritePictureInfo(s, rec);
    const uint8_t expected[26] = {0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x04, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF,
                                  0, 0, 0, 0, 24, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(rec, expected, 26));
}

// Both packings, whichever module this build is: the handle's width sets the
// size, and no byte past the record is written.
TEST(WritePictureInfo, LayoutFollowsThePointerSize) {
    EXPECT_EQ(kPictureInfoSize, sizeof(void*) == 8 ? 32u : 26u);
    RenderSettings s;
    s.width = 640;
    s.height = 480;
    for (PictureInfoLayout layout : {PictureInfoLayout::kPointer32, PictureInfoLayout::kPointer64}) {
        const uint32_t size = PictureInfoSize(layout);
        uint8_t rec[kMaxPictureInfoSize + 4];
        std::memset(rec, 0x77, sizeof rec);
        WritePictureInfo(s, layout, rec);
        EXPECT_EQ(rec[8] | rec[9] << 8, 640);
        EXPECT_EQ(rec[12] | rec[13] << 8, 480);
        EXPECT_EQ(rec[20], 24);
        for (uint32_t i = 22; i < size; ++i) EXPECT_EQ(rec[i], 0) << size << " byte " << i;
        for (uint32_t i = size; i < sizeof rec; ++i) EXPECT_EQ(rec[i], 0x77) << size << " byte " << i;
    }
}

}  // namespace
}  // namespace qavren
