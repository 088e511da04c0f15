// Picture assembly: the layout, the header, background and grid worked out
// by hand, the host blocks on every failure, and golden pictures of the
// samples that must be the same on every build.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "plugin/picture.h"
#include "render/surface.h"
#include "render/thumbnail.h"
#include "tests/golden/golden_list.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr Colour kBackground = Rgb(0, 40, 60);
constexpr Colour kGrid = Rgb(20, 60, 80);
constexpr Colour kWhite = Rgb(255, 255, 255);

// A drawn picture, read back through a surface over its pixels.
struct Picture {
    Picture(const Bytes& object, int32_t w, int32_t h, int32_t mode = 0, int32_t view = 0,
            const int32_t (&angles)[3] = {0, 0, 0}, int32_t shaded = 0) {
        EXPECT_TRUE(ComputeLayout(w, h, &layout));
        pixels.assign(layout.image_size, 0xEE);
        ObjectBuffer buffer;
        buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size()));
        RenderSettings s;
        s.mode = mode;
        s.width = w;
        s.height = h;
        s.view = view;
        s.angle_x = angles[0];
        s.angle_y = angles[1];
        s.angle_z = angles[2];
        s.shaded = shaded;
        status = DrawPicture(buffer, RequestOf(s), layout, pixels.data());
    }
    Colour At(int32_t x, int32_t y) {
        return Surface(pixels.data(), layout.width, layout.height, layout.stride).PixelAt(x, y);
    }
    PictureLayout layout;
    Bytes pixels;
    Status status;
};

Bytes EmptyObject() {
    tools::LwoWriter w;
    w.AddPoint(0, 0, 0);
    return w.Build();
}

TEST(Layout, StrideSizeAndRefusals) {
    PictureLayout l;
    ASSERT_TRUE(ComputeLayout(800, 600, &l));
    EXPECT_EQ(l.stride, 2400u);
    EXPECT_EQ(l.image_size, 1440000u);
    ASSERT_TRUE(ComputeLayout(10, 1, &l));
    EXPECT_EQ(l.stride, 32u);
    ASSERT_TRUE(ComputeLayout(801, 2, &l));
    EXPECT_EQ(l.stride, 2404u);
    EXPECT_FALSE(ComputeLayout(0, 600, &l));
    EXPECT_FALSE(ComputeLayout(800, -1, &l));
    EXPECT_FALSE(ComputeLayout(65536, 65536, &l));
    EXPECT_FALSE(ComputeLayout(100000, 100000, &l));
    EXPECT_FALSE(ComputeLayout(INT32_MAX, 1, &l));
    // 3W + 3 passes 2^32 here: a stride taken in 32 bits would wrap to 0, 4
    // and 2^29 and let a block of a few bytes through.
    EXPECT_FALSE(ComputeLayout(0x55555555, 1, &l));
    EXPECT_FALSE(ComputeLayout(0x55555556, 1, &l));
    EXPECT_FALSE(ComputeLayout(0x60000000, 1, &l));
    // Beyond 2^28 a side the grid's lines could not reach their rows.
    EXPECT_TRUE(ComputeLayout(1, 1 << 28, &l));
    EXPECT_EQ(l.image_size, 1u << 30);
    EXPECT_FALSE(ComputeLayout(1, (1 << 28) + 1, &l));
    EXPECT_TRUE(ComputeLayout(1 << 28, 1, &l));
    EXPECT_EQ(l.stride, 3u << 28);
    EXPECT_FALSE(ComputeLayout((1 << 28) + 1, 1, &l));
    // Just under and just over 2^31 - 1 bytes.
    EXPECT_TRUE(ComputeLayout(4, 178956970, &l));   // stride 12
    EXPECT_FALSE(ComputeLayout(4, 178956971, &l));
}

TEST(Header, BitmapInfoHeaderFields) {
    PictureLayout l;
    ASSERT_TRUE(ComputeLayout(800, 600, &l));
    uint8_t h[kBitmapHeaderSize];
    std::memset(h, 0xEE, sizeof h);
    WriteBitmapHeader(l, h);
    const uint8_t expected[kBitmapHeaderSize] = {40, 0, 0, 0, 0x20, 0x03, 0, 0, 0x58, 0x02, 0, 0, 1, 0, 24, 0,
                                                 0,  0, 0, 0, 0x00, 0xF9, 0x15, 0};
    EXPECT_EQ(0, std::memcmp(h, expected, sizeof h));
}

TEST(Grid, HandWorked800x600) {
    Picture p(EmptyObject(), 800, 600);
    ASSERT_EQ(p.status, 0);
    // Rows y = 300 ± 16 i for i = 0..18: 12 to 588; columns 400 ± 16 i: 0 to 784.
    for (int32_t y = 0; y < 600; ++y) {
        const bool grid_row = y >= 12 && y <= 588 && (y - 300) % 16 == 0;
        for (int32_t x = 0; x < 800; ++x) {
            const bool grid_column = x % 16 == 0;
            ASSERT_EQ(p.At(x, y), grid_row || grid_column ? kGrid : kBackground) << x << "," << y;
        }
    }
}

TEST(Grid, EmptyPolygonListIsBackgroundAndGridOnly) {
    Picture wire(EmptyObject(), 800, 600, 0);
    Picture poly(EmptyObject(), 800, 600, 1);
    EXPECT_EQ(wire.status, 0);
    EXPECT_EQ(poly.status, 0);
    EXPECT_EQ(wire.pixels, poly.pixels);
}

TEST(Grid, OddAndNarrowCanvasesPadWithZeros) {
    for (int32_t w : {1, 2, 10, 31, 801}) {
        Picture p(EmptyObject(), w, 7);
        for (int32_t row = 0; row < 7; ++row) {
            for (uint32_t b = 3u * uint32_t(w); b < p.layout.stride; ++b) {
                ASSERT_EQ(p.pixels[row * p.layout.stride + b], 0) << w;
            }
        }
    }
    // W = 801: hw = 400, so the columns stay at 400 ± 16 i; x = 800 is a grid column.
    Picture odd(EmptyObject(), 801, 600);
    EXPECT_EQ(odd.At(800, 1), kGrid);
    EXPECT_EQ(odd.At(400, 1), kGrid);
    EXPECT_EQ(odd.At(401, 1), kBackground);
    // Tiny canvases: H / 32 = 0 still draws the centre line.
    Picture tiny(EmptyObject(), 3, 3);
    EXPECT_EQ(tiny.At(0, 1), kGrid);
    EXPECT_EQ(tiny.At(1, 0), kGrid);
    EXPECT_EQ(tiny.At(0, 0), kBackground);
}

TEST(Model, OnePointLandsOnTheCentre) {
    tools::LwoWriter w;
    w.AddPoint(3, 4, 0);
    w.AddPoint(3, 4, 0);
    w.AddPolygon({0, 1});
    Picture p(w.Build(), 800, 600);
    EXPECT_EQ(p.status, 0);
    // A two-vertex polygon on one point draws nothing; the centre stays grid.
    EXPECT_EQ(p.At(400, 300), kGrid);
    tools::LwoWriter line;
    line.AddPoint(0, 0, 0);
    line.AddPoint(1, 0, 0);
    line.AddPolygon({0, 1});
    Picture q(line.Build(), 800, 600);
    // x from 0 to 1 at y = 0: s = 800; the segment runs along row hh = 300.
    EXPECT_EQ(q.At(0, 300), kWhite);
    EXPECT_EQ(q.At(799, 300), kWhite);
    EXPECT_EQ(q.At(400, 299), kGrid);
}

TEST(Model, TheTriangleAsWireframe) {
    tools::LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddPoint(1, 0, 0);
    w.AddPoint(0, 1, 0);
    w.AddPolygon({0, 1, 2});
    Picture p(w.Build(), 800, 600);
    ASSERT_EQ(p.status, 0);
    for (int32_t y = 0; y < 600; ++y) ASSERT_EQ(p.At(100, y), kWhite) << y;
    EXPECT_EQ(p.At(400, 599), kGrid);  // the bottom edge lies on row 600, clipped
    EXPECT_EQ(p.At(400, 300), kWhite); // on the diagonal from (700, 600) to (100, 0)
}

// Every failure of the assembly: its host code and what becomes of the
// out-handles, with nothing left allocated.
TEST(Assemble, FailuresAndTheOutHandles) {
    void* const kUntouched = reinterpret_cast<void*>(0x1234);
    const int64_t live = platform::LiveBlockCount();
    auto run = [&](const Bytes& bytes, Status load, const RenderSettings& s, void** info, void** bits,
                   uint32_t fail_allocation = 0) {
        ObjectBuffer b;
        if (load == 0) b.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
        platform::FailAllocationAfter(fail_allocation);
        const int32_t code = AssemblePicture(load, b, s, info, bits);
        platform::FailAllocationAfter(0);
        return code;
    };
    RenderSettings s;
    void* info = kUntouched;
    void* bits = kUntouched;
    EXPECT_EQ(run({}, status::kUnsupportedInput, s, &info, &bits), -1);
    EXPECT_EQ(run({}, status::kReadError, s, &info, &bits), 6);
    EXPECT_EQ(run(Bytes{'F', 'O', 'R', 'M'}, 0, s, &info, &bits), 3);
    tools::LwoWriter cube = tools::MakeCube();
    EXPECT_EQ(run(cube.Build("LWLO"), 0, s, &info, &bits), 2);
    EXPECT_EQ(run(cube.Build("LWO2"), 0, s, &info, &bits), 2);
    EXPECT_EQ(info, kUntouched);
    EXPECT_EQ(bits, kUntouched);

    Bytes no_pols = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'L', 'W', 'O', 'B'};
    EXPECT_EQ(run(no_pols, 0, s, &info, &bits), 3);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(bits, nullptr);

    for (int32_t bad : {0, -1}) {
        RenderSettings t;
        t.width = bad;
        info = bits = kUntouched;
        EXPECT_EQ(run(cube.Build(), 0, t, &info, &bits), 4);
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    RenderSettings huge;
    huge.width = huge.height = 65536;
    info = bits = kUntouched;
    EXPECT_EQ(run(cube.Build(), 0, huge, &info, &bits), 4);
    EXPECT_EQ(info, nullptr);

    for (uint32_t n = 1; n <= 3; ++n) {  // header block, pixel block, projected points
        info = bits = kUntouched;
        EXPECT_EQ(run(cube.Build(), 0, s, &info, &bits, n), 4);
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(platform::LiveBlockCount(), live);

    ASSERT_EQ(run(cube.Build(), 0, s, &info, &bits), 0);
    EXPECT_EQ(static_cast<uint8_t*>(info)[0], 40);
    platform::FreeHostBlock(info);
    platform::FreeHostBlock(bits);
    EXPECT_EQ(platform::LiveBlockCount(), live);
}

// The native pictures of the golden lists; the DLL's are checked against
// the same lists under Wine. A front-view picture is also drawn with View 0
// and angles stored, which it ignores, and with View 1 and no turn.
int CheckGoldenList(const std::string& list_name, int32_t shaded = 0) {
    int checked = 0;
    for (const testing::GoldenPicture& g : testing::ReadGoldenList(list_name)) {
        const Bytes bytes = testing::ReadFile(g.object);
        EXPECT_FALSE(bytes.empty()) << g.object;
        Picture p(bytes, g.width, g.height, g.mode, g.turned ? 1 : 0, g.angles, shaded);
        const std::string now = testing::Fingerprint(p.pixels);
        EXPECT_EQ(g.fingerprint, now) << "now: " << g.line << " -> " << now;
        if (!g.turned) {
            EXPECT_EQ(Picture(bytes, g.width, g.height, g.mode, 0, {30, -40, 7}, shaded).pixels, p.pixels) << g.line;
            EXPECT_EQ(Picture(bytes, g.width, g.height, g.mode, 1, {0, 0, 0}, shaded).pixels, p.pixels) << g.line;
        }
        ++checked;
    }
    return checked;
}

// Turned pictures of samples and of both corpora, in both modes.
// The thumbnail is the canvas picture in its view, as RGBA rows top first:
// every pixel of the cube at an odd size, both styles.
TEST(Thumbnail, IsTheCanvasPictureInRgba) {
    const Bytes cube = tools::MakeCube().Build();
    ObjectBuffer buffer;
    ASSERT_EQ(buffer.LoadFromMemory(cube.data(), static_cast<uint32_t>(cube.size())), status::kOk);
    for (const DrawStyle style : {DrawStyle::kWireframe, DrawStyle::kPolygons}) {
        ThumbnailOptions options = ThumbnailDefaults();
        options.style = style;
        RgbaPicture thumbnail;
        ASSERT_EQ(DrawThumbnail(buffer, 97, 61, options, &thumbnail), status::kOk);
        Picture canvas(cube, 97, 61, style == DrawStyle::kWireframe ? 0 : 1, 1,
                       {options.angle_x, options.angle_y, options.angle_z});
        for (int32_t y = 0; y < 61; ++y) {
            for (int32_t x = 0; x < 97; ++x) {
                const uint8_t* p = thumbnail.pixels() + 4 * (97 * y + x);
                ASSERT_EQ(Rgb(p[0], p[1], p[2]), canvas.At(x, y)) << x << "," << y;
                ASSERT_EQ(p[3], 255);
            }
        }
    }
    RgbaPicture refused;
    EXPECT_EQ(DrawThumbnail(buffer, 0, 10, &refused), status::kNoMemory);
    EXPECT_EQ(refused.pixels(), nullptr);
}

TEST(Golden, TurnedPicturesAreUnchanged) {
    if (!std::filesystem::exists(testing::CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    EXPECT_GT(CheckGoldenList("views.txt"), 0);
}

TEST(Golden, SamplePicturesAreUnchanged) { EXPECT_GT(CheckGoldenList("pictures.txt"), 0); }

TEST(Golden, CorpusPicturesAreUnchanged) {
    if (!std::filesystem::exists(testing::CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    EXPECT_GT(CheckGoldenList("corpus.txt"), 30);
}

// The samples and both corpora in the shaded style, front and three-quarter
// views.
TEST(Golden, ShadedSamplePicturesAreUnchanged) { EXPECT_EQ(CheckGoldenList("shaded.txt", 1), 6); }

TEST(Golden, ShadedCorpusPicturesAreUnchanged) {
    if (!std::filesystem::exists(testing::CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    EXPECT_GT(CheckGoldenList("shaded_corpus.txt", 1), 140);
}

// Every sound object of the newer forms in the corpus, in both modes.
TEST(Golden, NewerFormsCorpusPicturesAreUnchanged) {
    if (!std::filesystem::exists(testing::CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    EXPECT_EQ(CheckGoldenList("corpus_lwo2.txt"), 80);
}

}  // namespace
}  // namespace qavren
