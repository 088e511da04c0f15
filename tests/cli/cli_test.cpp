// qavren end to end: the pictures it writes are the core's pixels, in PNG
// and BMP; batches, thumbnails, info; every error with its words, its exit
// status and nothing left behind; help and version.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "plugin/picture.h"
#include "plugin/version.h"
#include "tests/cli/cli_harness.h"
#include "tests/golden/golden_list.h"
#include "tools/qavren/commands.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::testing {
namespace {
namespace fs = std::filesystem;
using tools::LwoWriter;

Bytes Cube() { return tools::MakeCube().Build(); }
Bytes Torus() { return tools::MakeTorus(24, 12, 1.0f, 0.35f).Build(); }

// An LWO2 object whose only layer has a polygon and no points.
Bytes LayerWithoutPoints() {
    tools::LayeredWriter w("LWO2");
    w.AddLayer(7, 0, "empty");
    w.AddPoint(0, 0, 0);
    w.AddPolygon({0});
    Bytes b = w.Build();
    const char pnts[] = "PNTS";
    *std::search(b.begin(), b.end(), pnts, pnts + 4) = 'Q';  // PNTS becomes QNTS
    return b;
}

// A cube whose first polygon has the given vertex count.
Bytes CubeWithBadPolygon(uint16_t first_vertex_count) {
    LwoWriter w = tools::MakeCube();
    Bytes bytes = w.Build();
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin("POLS"), std::end("POLS") - 1);
    at[8] = static_cast<uint8_t>(first_vertex_count >> 8);
    at[9] = static_cast<uint8_t>(first_vertex_count);
    return bytes;
}

using Render = CliTest;

TEST_F(Render, DefaultIsTheWireframeAt800x600BesideTheInput) {
    Put("cube.lwo", Cube());
    const CommandResult r = RunQavren({"render", "cube.lwo"}, dir_);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(DecodePng(dir_ / "cube.png", 800, 600), CorePicture(Cube(), Settings(0)));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"cube.lwo", "cube.png"}));
}

// Odd widths pad rows to 4 bytes: the PNG must hold the pixels, not the padding.
TEST_F(Render, ModesAndSizesGiveTheCorePixels) {
    Put("torus.lwo", Torus());
    struct Case { std::vector<std::string> flags; RenderSettings settings; };
    const Case cases[] = {
        {{"--polygons"}, Settings(1)},
        {{"--size", "333x111", "--polygons"}, Settings(1, 333, 111)},
        {{"--size=1x1"}, Settings(0, 1, 1)},
        {{"--polygons", "--wireframe", "--size", "640X480"}, Settings(0, 640, 480)},
        {{"--polygons", "--threads", "3", "--size", "1600x1200"}, Settings(1, 1600, 1200)},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"render", "torus.lwo", "-o", "out.png"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const CommandResult r = RunQavren(args, dir_);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const Bytes core = CorePicture(Torus(), c.settings);
        EXPECT_EQ(DecodePng(dir_ / "out.png", c.settings.width, c.settings.height), core) << c.flags[0];
    }
    EXPECT_NE(CorePicture(Torus(), Settings(0)), CorePicture(Torus(), Settings(1)));
}

TEST_F(Render, BmpIsTheFileHeaderThePluginHeaderAndTheBlock) {
    Put("torus.lwo", Torus());
    ASSERT_EQ(RunQavren({"render", "torus.lwo", "--polygons", "--size", "301x200", "-o", "t.BMP"}, dir_).exit_code, 0);
    PictureLayout layout;
    ASSERT_TRUE(ComputeLayout(301, 200, &layout));
    Bytes expected = {'B', 'M'};
    const uint32_t size = 54 + layout.image_size;
    for (uint32_t v : {size, 0u, 54u}) {
        for (int i = 0; i < 4; ++i) expected.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    uint8_t header[kBitmapHeaderSize];
    WriteBitmapHeader(layout, header);
    expected.insert(expected.end(), header, header + sizeof header);
    const Bytes block = CorePicture(Torus(), Settings(1, 301, 200));
    expected.insert(expected.end(), block.begin(), block.end());
    EXPECT_EQ(ReadBytes(dir_ / "t.BMP"), expected);
}

// --shaded is the plug-in's picture with Shaded = 1, over the canvas; over
// a colour or nothing it is the thumbnail picture without a margin.
TEST_F(Render, ShadedOverEachBackground) {
    Put("torus.lwo", Torus());
    RenderSettings shaded = Settings(1, 120, 90);
    shaded.shaded = 1;
    ASSERT_EQ(RunQavren({"render", "torus.lwo", "--shaded", "-s", "120x90", "-o", "s.png"}, dir_).exit_code, 0);
    EXPECT_EQ(DecodePng(dir_ / "s.png", 120, 90), CorePicture(Torus(), shaded));
    ThumbnailOptions front = ThumbnailDefaults();
    front.angle_x = front.angle_y = front.angle_z = 0;
    front.margin = false;
    for (const char* background : {"none", "FF8000"}) {
        SCOPED_TRACE(background);
        front.background = *background == 'n' ? ShadedBackground{ShadedBackground::Kind::kNone, 0}
                                               : ShadedBackground{ShadedBackground::Kind::kColour, Rgb(255, 128, 0)};
        ASSERT_EQ(RunQavren({"render", "torus.lwo", "--shaded", "--background", background, "-s", "120x90", "-o", "b.png"},
                            dir_).exit_code, 0);
        bool alpha = false;
        EXPECT_EQ(DecodeRgbaPng(dir_ / "b.png", 120, 90, &alpha), CoreThumbnail(Torus(), 120, 90, front));
        EXPECT_EQ(alpha, *background == 'n');
    }
    // A BMP over a colour is the same picture.
    ASSERT_EQ(RunQavren({"render", "torus.lwo", "--shaded", "--background=ff8000", "-s", "120x90", "-o", "b.bmp"}, dir_)
                  .exit_code, 0);
    const Bytes bmp = ReadBytes(dir_ / "b.bmp");
    ASSERT_GT(bmp.size(), 54u);
    const Bytes rgba = DecodeRgbaPng(dir_ / "b.png", 120, 90);
    PictureLayout layout;
    ASSERT_TRUE(ComputeLayout(120, 90, &layout));
    for (int32_t y = 0; y < 90; ++y) {
        for (int32_t x = 0; x < 120; ++x) {
            const uint8_t* bgr = bmp.data() + 54 + (89 - y) * layout.stride + 3 * x;
            const uint8_t* p = rgba.data() + 4 * (120 * y + x);
            ASSERT_EQ(Rgb(bgr[2], bgr[1], bgr[0]), Rgb(p[0], p[1], p[2])) << x << "," << y;
        }
    }
}

// Sides beyond what a PNG may hold are refused for PNG only.
// The later forms need no option: render and thumbnail draw each as the
// LWOB object of the same points and polygons.
TEST_F(Render, NewerFormsByDefault) {
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        Put("newer.lwo", tools::LayeredWriter::From(tools::MakeTorus(24, 12, 1.0f, 0.35f), form).Build());
        ASSERT_EQ(RunQavren({"render", "newer.lwo", "--polygons"}, dir_).exit_code, 0) << form;
        EXPECT_EQ(DecodePng(dir_ / "newer.png", 800, 600), CorePicture(Torus(), Settings(1))) << form;
        const std::vector<std::string> front = {"thumbnail", "-s", "64", "--angles", "0,0,0", "--wireframe",
                                                "newer.lwo", "thumb.png"};
        ASSERT_EQ(RunQavren(front, dir_).exit_code, 0) << form;
        EXPECT_EQ(DecodePng(dir_ / "thumb.png", 64, 64), CorePicture(Torus(), Settings(0, 64, 64))) << form;
    }
}

TEST_F(Render, BmpTakesSidesLongerThanAPngMay) {
    Put("a.lwo", Cube());
    ASSERT_EQ(RunQavren({"render", "a.lwo", "--size", "1000001x2", "-o", "wide.bmp"}, dir_).exit_code, 0);
    EXPECT_EQ(fs::file_size(dir_ / "wide.bmp"), 54u + 2u * 3000004u);
}

TEST_F(Render, BatchWritesTheGoodOnesAndReportsTheBadOne) {
    Put("a.lwo", Cube());
    Put("b.lwo", tools::MakeCube().Build("LWO4"));
    Put("c.lwo", Torus());
    fs::create_directory(dir_ / "sub");
    Put("sub/a.lwo", Torus());  // would overwrite a.png
    const CommandResult r = RunQavren({"render", "a.lwo", "b.lwo", "c.lwo", "sub/a.lwo", "-d", "out/"}, dir_);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{"a.png", "c.png"}));
    EXPECT_EQ(DecodePng(dir_ / "out/a.png", 800, 600), CorePicture(Cube(), Settings(0)));
    EXPECT_EQ(DecodePng(dir_ / "out/c.png", 800, 600), CorePicture(Torus(), Settings(0)));
    EXPECT_EQ(r.err,
              "qavren: b.lwo: is a LightWave object of a form not known here (FORM LWO4); LWOB, LWLO, LWO2 and LWO3 "
              "can be drawn\n"
              "qavren: sub/a.lwo: not written: out/a.png would overwrite the picture of a.lwo\n"
              "qavren: 2 of 4 objects could not be rendered\n");
    EXPECT_EQ(r.err.find('\r'), std::string::npos);  // no progress line off a terminal
}

TEST_F(Render, ProgressLineOnATerminalOnly) {
    Put("a.lwo", Cube());
    Put("b.lwo", Cube());
    const CommandResult r = RunQavren({"render", "a.lwo", "b.lwo", "-d", "out"}, dir_, {.on_terminal = true});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("\r\033[K[1/2] a.lwo"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\r\033[K[2/2] b.lwo"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 4), "\r\033[K");  // the line is cleared at the end
}

using Errors = CliTest;

// Each failure: one line naming the file and the trouble, exit 1, and the
// directory exactly as it was: no picture, no temporary file.
TEST_F(Errors, OneLineEachAndNothingLeftBehind) {
    const Bytes cube = Cube();
    Bytes truncated(cube.begin(), cube.begin() + 203);  // 65 of POLS's 72 bytes
    Bytes no_pols(cube.begin(), cube.begin() + 12);
    no_pols[7] = 4;
    Put("big_count.lwo", CubeWithBadPolygon(201));
    Put("zero_count.lwo", CubeWithBadPolygon(0));
    Put("truncated.lwo", truncated);
    Put("no_pols.lwo", no_pols);
    Put("layered.lwo", LayerWithoutPoints());
    Put("new.lwo", tools::MakeCube().Build("LWO4"));
    Put("picture.lwo", Bytes{'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'});
    Put("text.lwo", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'});
    Put("short.lwo", Bytes{'F', 'O', 'R', 'M', 0});
    Put("empty.lwo", {});
    ASSERT_EQ(::mkfifo((dir_ / "fifo.lwo").c_str(), 0600), 0);
    const std::pair<const char*, const char*> cases[] = {
        {"missing.lwo", "no such file"},
        {"fifo.lwo", "is not a regular file"},
        {"empty.lwo", "is empty"},
        {"short.lwo", "is not a LightWave object: only 5 bytes, too short for an IFF FORM header"},
        {"text.lwo", "is not a LightWave object: it does not begin with an IFF FORM header"},
        {"picture.lwo", "is an IFF file of type 'ILBM', not a LightWave object"},
        {"layered.lwo", "corrupt object: the POLS chunk at byte 78 (layer 7) comes before any PNTS chunk of its layer"},
        {"new.lwo",
         "is a LightWave object of a form not known here (FORM LWO4); LWOB, LWLO, LWO2 and LWO3 can be drawn"},
        {"no_pols.lwo", "corrupt object: it has no PNTS chunk (the point list)"},
        {"big_count.lwo", "corrupt object: polygon 0 (at byte 138) has 201 vertices; 1 to 200 are allowed"},
        {"zero_count.lwo", "corrupt object: polygon 0 (at byte 138) has 0 vertices; 1 to 200 are allowed"},
        {"truncated.lwo", "corrupt object: the POLS chunk at byte 130 states 72 bytes of data, but only 65 follow"},
    };
    const std::vector<std::string> before = Listing();
    for (const auto& [file, words] : cases) {
        for (const char* out : {"out.png", "out.bmp"}) {
            const CommandResult r = RunQavren({"render", file, "-o", out}, dir_);
            EXPECT_EQ(r.exit_code, 1) << file;
            EXPECT_EQ(r.err, std::string("qavren: ") + file + ": " + words + "\n");
            EXPECT_EQ(Listing(), before) << file;
        }
        const CommandResult t = RunQavren({"thumbnail", "-s", "64", file, "thumb.png"}, dir_);
        EXPECT_EQ(t.exit_code, 1);
        EXPECT_EQ(t.err, std::string("qavren: ") + file + ": " + words + "\n");
        EXPECT_EQ(Listing(), before) << file;
    }
}

TEST_F(Errors, PolygonOnAPointThatIsNotThere) {
    LwoWriter w;
    w.AddPoint(0, 0, 0);
    w.AddPoint(1, 0, 0);
    w.AddPolygon({0, 1});
    w.AddPolygon({1, 0, 2});
    Put("o.lwo", w.Build());
    const CommandResult r = RunQavren({"render", "o.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "qavren: o.lwo: corrupt object: polygon 1 (at byte 60) uses point 2, but there are only 2 points\n");
}

TEST_F(Errors, UnwritableOutputLeavesNothing) {
    Put("cube.lwo", Cube());
    const CommandResult r = RunQavren({"render", "cube.lwo", "-o", "nowhere/cube.png"}, dir_);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "qavren: cannot write nowhere/cube.png: No such file or directory\n");
    Put("file", {});
    const CommandResult d = RunQavren({"render", "cube.lwo", "-d", "file"}, dir_);
    EXPECT_EQ(d.exit_code, 1);
    EXPECT_EQ(d.err, "qavren: file is not a directory\n");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"cube.lwo", "file"}));
}

// A failed write, here a file-size limit hit halfway, and a failed object
// both leave an earlier picture of the same name as it was.
TEST_F(Errors, FailedWritesKeepTheOldPicture) {
    Put("cube.lwo", Cube());
    Put("layered.lwo", LayerWithoutPoints());
    const Bytes old = {'o', 'l', 'd'};
    Put("cube.bmp", old);
    const CommandResult r = RunQavren({"render", "cube.lwo", "-o", "cube.bmp"}, dir_, {.file_size_limit = 100000});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "qavren: cannot write cube.bmp: File too large\n");
    const CommandResult p = RunQavren({"render", "cube.lwo", "-o", "cube.png"}, dir_, {.file_size_limit = 1000});
    EXPECT_EQ(p.exit_code, 1);
    EXPECT_EQ(p.err.rfind("qavren: cannot write cube.png: ", 0), 0u) << p.err;
    EXPECT_EQ(RunQavren({"render", "layered.lwo", "-o", "cube.bmp"}, dir_).exit_code, 1);
    EXPECT_EQ(ReadBytes(dir_ / "cube.bmp"), old);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"cube.bmp", "cube.lwo", "layered.lwo"}));
}

TEST_F(Errors, UnreadableFileWhenPermissionsApply) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    Put("locked.lwo", Cube());
    fs::permissions(dir_ / "locked.lwo", fs::perms::none);
    const CommandResult r = RunQavren({"render", "locked.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "qavren: locked.lwo: cannot be read: Permission denied\n");
}

using Usage = CliTest;

TEST_F(Usage, MistakesExitWithTwoAndAHint) {
    Put("a.lwo", Cube());
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "qavren: no command given\nTry 'qavren --help'.\n"},
        {{"draw", "a.lwo"}, "qavren: no such command 'draw'\nTry 'qavren --help'.\n"},
        {{"--frobnicate"}, "qavren: unknown option '--frobnicate'\nTry 'qavren --help'.\n"},
        {{"render"}, "qavren render: no object file given\nTry 'qavren render --help'.\n"},
        {{"render", "a.lwo", "--colour"}, "qavren render: unknown option '--colour'\nTry 'qavren render --help'.\n"},
        {{"render", "a.lwo", "-o"}, "qavren render: option '-o' needs a value\nTry 'qavren render --help'.\n"},
        {{"render", "a.lwo", "-s", "800y600"},
         "qavren render: bad size '800y600': give WxH such as 800x600, or N for N x N; each side 1 to 268435456, "
         "the picture under 2 GiB (3 bytes a pixel), a PNG at most 1000000 a side\n"
         "Try 'qavren render --help'.\n"},
        {{"thumbnail", "--size", "64x", "a.lwo", "t.png"}, nullptr},
        {{"thumbnail", "-s", "64", "a.lwo", "t.tmp"},
         "qavren thumbnail: the thumbnail is a PNG picture: give OUT a .png name, not 't.tmp'\n"
         "Try 'qavren thumbnail --help'.\n"},
        {{"thumbnail", "-s", "64", "a.lwo", "t.png~"}, nullptr},
        {{"render", "a.lwo", "--format", "gif"}, nullptr},
        {{"render", "a.lwo", "--format", "bmp", "-o", "a.png"}, nullptr},
        {{"render", "a.lwo", "-j", "0"}, nullptr},
        {{"render", "a.lwo", "--threads", "0"},
         "qavren render: bad --threads '0': give a number of threads, 1 or more\nTry 'qavren render --help'.\n"},
        {{"render", "-", "-"}, "qavren render: standard input (-) can be read only once\nTry 'qavren render --help'.\n"},
        {{"render", "a.lwo", "-", "-", "-d", "d"}, "qavren render: standard input (-) can be read only once\nTry 'qavren render --help'.\n"},
        {{"render", "-"}, "qavren render: name the picture of standard input with -o\nTry 'qavren render --help'.\n"},
        {{"render", "a.lwo", "--size", "0x5"}, nullptr},
        {{"render", "a.lwo", "--size", "-3x5"}, nullptr},
        {{"render", "a.lwo", "--size", "65536x65536"}, nullptr},
        {{"render", "a.lwo", "--size", "1431655766x1"}, nullptr},  // 3W + 3 passes 2^32
        {{"render", "a.lwo", "--size", "1000001x2"},
         "qavren render: a PNG picture is at most 1000000 pixels a side; write a .bmp for 1000001x2\n"
         "Try 'qavren render --help'.\n"},
        {{"render", "a.lwo", "--size", "2x1000001", "-o", "tall.png"}, nullptr},
        {{"render", "a.lwo", "a.lwo", "-o", "x.png"},
         "qavren render: -o takes one object file; use -d for several\nTry 'qavren render --help'.\n"},
        {{"render", "a.lwo", "-o", "x.jpg"},
         "qavren render: cannot tell the picture format of 'x.jpg': name it .png or .bmp\n"
         "Try 'qavren render --help'.\n"},
        {{"render", "a.lwo", "-o", "x.png", "-d", "d"}, nullptr},
        {{"thumbnail", "a.lwo", "t.png"}, "qavren thumbnail: no size given: -s SIZE\nTry 'qavren thumbnail --help'.\n"},
        {{"thumbnail", "-s", "0", "a.lwo", "t.png"}, nullptr},
        {{"thumbnail", "-s", "64", "a.lwo"}, nullptr},
        {{"info"}, nullptr},
        {{"help", "draw"}, nullptr},
        {{"render", "a.lwo", "--shaded", "--background", "12345"}, nullptr},
        {{"render", "a.lwo", "--shaded", "--background", "12345g"}, nullptr},
        {{"render", "a.lwo", "--shaded", "--background", "1234567"}, nullptr},
        {{"render", "a.lwo", "--polygons", "--background", "none"},
         "qavren render: --background is for --shaded; the other styles draw the canvas\n"
         "Try 'qavren render --help'.\n"},
        {{"render", "a.lwo", "--shaded", "--background", "none", "-o", "a.bmp"},
         "qavren render: --background none needs a PNG picture: a BMP has no transparency\n"
         "Try 'qavren render --help'.\n"},
        {{"thumbnail", "--wireframe", "--background", "none", "-s", "8", "a.lwo", "t.png"}, nullptr},
    };
    for (const auto& [args, message] : cases) {
        const CommandResult r = RunQavren(args, dir_);
        EXPECT_EQ(r.exit_code, 2) << (args.empty() ? "" : args.back());
        if (message) {
            EXPECT_EQ(r.err, message);
        }
        EXPECT_NE(r.err.find("Try 'qavren"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Listing(), std::vector<std::string>{"a.lwo"});
}

TEST_F(Usage, HelpAndVersionOnStdout) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"help"}, {"render", "--help"}, {"info", "-h"}, {"thumbnail", "--help"},
             {"help", "thumbnail"}}) {
        const CommandResult r = RunQavren(args, dir_);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out.rfind("Usage: qavren ", 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_NE(RunQavren({"--help"}, dir_).out.find("thumbnail"), std::string::npos);
    EXPECT_NE(RunQavren({"render", "--help"}, dir_).out.find("--polygons"), std::string::npos);
    for (const char* command : {"render", "thumbnail"}) {  // the size limits
        EXPECT_NE(RunQavren({command, "--help"}, dir_).out.find("each side 1 to 268435456"), std::string::npos);
    }
    for (const char* flag : {"--version", "-V"}) {
        const CommandResult r = RunQavren({flag}, dir_);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, std::string("qavren ") + QAVREN_VERSION + "\n");
    }
}

using Thumbnail = CliTest;

// The settings of a picture turned by the angles, as View = 1 gives them.
RenderSettings Turned(RenderSettings s, const int32_t (&angles)[3]) {
    s.view = 1;
    s.angle_x = angles[0];
    s.angle_y = angles[1];
    s.angle_z = angles[2];
    return s;
}

// Square, in the three-quarter view unless --angles says otherwise: by
// default DrawThumbnail's own picture (shaded, transparent, RGBA), with a
// style option the canvas picture in that style (opaque, RGB).
TEST_F(Thumbnail, SquarePngOfTheGivenSide) {
    Put("torus.lwo", Torus());
    for (const char* side : {"256", "128", "33"}) {
        const CommandResult r = RunQavren({"thumbnail", "-s", side, "torus.lwo", "thumb.PNG"}, dir_);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const int32_t n = std::atoi(side);
        bool alpha = false;
        EXPECT_EQ(DecodeRgbaPng(dir_ / "thumb.PNG", n, n, &alpha), CoreThumbnail(Torus(), n, n, ThumbnailDefaults()))
            << side;
        EXPECT_TRUE(alpha);
    }
    ASSERT_EQ(RunQavren({"thumbnail", "--polygons", "--size=48", "torus.lwo", "p.png"}, dir_).exit_code, 0);
    EXPECT_EQ(DecodePng(dir_ / "p.png", 48, 48), CorePicture(Torus(), Turned(Settings(1, 48, 48), cli::kThumbnailAngles)));
    char named[48];
    std::snprintf(named, sizeof named, "--angles=%d,%d,%d turns it", cli::kThumbnailAngles[0], cli::kThumbnailAngles[1],
                  cli::kThumbnailAngles[2]);
    EXPECT_NE(RunQavren({"thumbnail", "--help"}, dir_).out.find(named), std::string::npos);  // the help names them
    ASSERT_EQ(RunQavren({"thumbnail", "--angles=0,0,0", "--wireframe", "-s", "48", "torus.lwo", "f.png"}, dir_).exit_code, 0);
    EXPECT_EQ(DecodePng(dir_ / "f.png", 48, 48), CorePicture(Torus(), Settings(0, 48, 48)));
    ASSERT_EQ(RunQavren({"thumbnail", "--angles", "-90,450,810", "--wireframe", "-s", "48", "torus.lwo", "a.png"}, dir_).exit_code, 0);
    EXPECT_EQ(DecodePng(dir_ / "a.png", 48, 48), CorePicture(Torus(), Turned(Settings(0, 48, 48), {-90, 450, 810})));
    // The shaded style's own options: the angles, and a background.
    ThumbnailOptions front = ThumbnailDefaults();
    front.angle_x = front.angle_y = front.angle_z = 0;
    front.background = {ShadedBackground::Kind::kColour, Rgb(0x12, 0x34, 0x56)};
    ASSERT_EQ(RunQavren({"thumbnail", "--angles=0,0,0", "--background=123456", "-s", "48", "torus.lwo", "c.png"}, dir_)
                  .exit_code, 0);
    bool alpha = true;
    EXPECT_EQ(DecodeRgbaPng(dir_ / "c.png", 48, 48, &alpha), CoreThumbnail(Torus(), 48, 48, front));
    EXPECT_FALSE(alpha);
}

// render --angles writes the BMP the DLL gives with View = 1 and the angles
// in the registry: both are held to the turned golden pictures.
TEST_F(Render, AnglesGiveTheTurnedGoldenPictures) {
    int checked = 0;
    for (const GoldenPicture& g : ReadGoldenList("views.txt")) {
        if (!fs::exists(g.object)) continue;
        char angles[48], size[32];
        std::snprintf(angles, sizeof angles, "%d,%d,%d", g.angles[0], g.angles[1], g.angles[2]);
        std::snprintf(size, sizeof size, "%dx%d", g.width, g.height);
        const CommandResult r = RunQavren(
            {"render", g.object, "--angles", angles, "-s", size, g.mode ? "--polygons" : "--wireframe", "-o", "t.bmp"},
            dir_);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const Bytes bmp = ReadBytes(dir_ / "t.bmp");
        ASSERT_GT(bmp.size(), 54u);
        EXPECT_EQ(Fingerprint(Bytes(bmp.begin() + 54, bmp.end())), g.fingerprint) << g.line;
        ++checked;
    }
    EXPECT_GT(checked, 0);
    Put("cube.lwo", Cube());
    ASSERT_EQ(RunQavren({"render", "cube.lwo", "--angles", "0,0,0", "-o", "zero.png"}, dir_).exit_code, 0);
    EXPECT_EQ(DecodePng(dir_ / "zero.png", 800, 600), CorePicture(Cube(), Settings(0)));
    for (const char* bad : {"1,2", "1,2,3,", "a,b,c", "1,,2", "2147483648,0,0", "1 ,2,3"}) {
        const CommandResult r = RunQavren({"render", "cube.lwo", "--angles", bad}, dir_);
        EXPECT_EQ(r.exit_code, 2) << bad;
        EXPECT_NE(r.err.find("bad --angles"), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunQavren({"render", "cube.lwo", "--angles=-2147483648,+2147483647,-0", "-o", "x.png"}, dir_).exit_code, 0);
}

using Info = CliTest;

TEST_F(Info, TellsCountsChunksAndTheVerdict) {
    Put("cube.lwo", Cube());
    const CommandResult r = RunQavren({"info", "cube.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out,
              "cube.lwo\n"
              "  size       224 bytes\n"
              "  form       FORM LWOB, a LightWave object; the FORM header states 216 bytes, which matches the file\n"
              "  points     8\n"
              "  polygons   6, 4 vertices each\n"
              "  bounds     x -1 to 1, y -1 to 1, z -1 to 1\n"
              "  surfaces   \"Cube\"  colour 200 200 200, flat; 6 polygons\n"
              "  chunks in the file, walking the IFF structure from byte 12:\n"
              "             byte 12       SRFS  6 bytes\n"
              "             byte 26       PNTS  96 bytes\n"
              "             byte 130      POLS  72 bytes\n"
              "             byte 210      SURF  6 bytes\n"
              "  the plug-in's chunk search, the first match of the tag anywhere in the file:\n"
              "             PNTS  byte 26, the PNTS chunk\n"
              "             POLS  byte 130, the POLS chunk\n"
              "  viewer     draws it (host code 0)\n"
              "  problems   none\n");
}

// The surfaces as the shaded style reads them: the polygons without one on
// the default surface first, a name without a SURF chunk said so.
TEST_F(Info, ListsTheSurfaces) {
    tools::LayeredWriter w("LWO3");
    for (int k = 0; k < 4; ++k) w.AddPoint(float(k), float(k & 1), 0.f);
    w.AddPolygon({0, 1, 2});
    tools::SurfaceRecipe hull;
    hull.name = "Hull";
    hull.red = 255;
    hull.green = 128;
    hull.blue = 0;
    hull.smooth = hull.double_sided = true;
    hull.angle = 0.4363323f;
    hull.diffuse = 0.75f;
    hull.luminosity = 0.5f;
    w.UseSurface(w.AddSurface(hull));
    w.AddPolygon({1, 2, 3});
    w.AddPolygon({0, 2, 3});
    tools::SurfaceRecipe bare;
    bare.name = "Bare";
    bare.described = false;
    w.UseSurface(w.AddSurface(bare));
    w.AddPolygon({0, 1, 3});
    Put("surfaced.lwo", w.Build());
    const CommandResult r = RunQavren({"info", "surfaced.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("  surfaces   (default)  colour 200 200 200, flat; 1 polygon\n"
                         "             \"Hull\"     colour 255 128 0, smooth up to 25.0 degrees, diffuse 75%, "
                         "luminous 50%, double-sided; 2 polygons\n"
                         "             \"Bare\"     colour 200 200 200, flat (no SURF chunk: the default look); "
                         "1 polygon\n"),
              std::string::npos)
        << r.out;
}

// Every surface a file describes is listed, in the file's order, whether
// or not a polygon uses it; a name without a SURF chunk that no polygon
// uses is not. In each of the four forms.
TEST_F(Info, ListsEverySurfaceTheFileDescribes) {
    auto recipe = [](const char* name, uint8_t red, uint8_t green, uint8_t blue) {
        tools::SurfaceRecipe s;
        s.name = name, s.red = red, s.green = green, s.blue = blue;
        return s;
    };
    tools::SurfaceRecipe spare = recipe("Spare", 10, 20, 30), used = recipe("Used", 40, 50, 60),
                         named = recipe("Named", 200, 200, 200), last = recipe("Last", 70, 80, 90);
    named.described = false;
    for (const char* form : {"LWOB", "LWLO", "LWO2", "LWO3"}) {
        SCOPED_TRACE(form);
        Bytes object;
        if (std::string(form) == "LWOB") {
            LwoWriter w;
            for (int k = 0; k < 3; ++k) w.AddPoint(float(k), float(k & 1), 0.f);
            for (const auto& s : {spare, used, named, last}) w.AddSurface(s);
            w.AddPolygon({0, 1, 2}, 2);
            object = w.Build();
        } else {
            tools::LayeredWriter w(form);
            w.AddLayer(0);
            for (int k = 0; k < 3; ++k) w.AddPoint(float(k), float(k & 1), 0.f);
            for (const auto& s : {spare, used, named, last}) w.AddSurface(s);
            w.UseSurface(1);
            w.AddPolygon({0, 1, 2});
            object = w.Build();
        }
        Put("spare.lwo", object);
        const CommandResult r = RunQavren({"info", "spare.lwo"}, dir_);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_NE(r.out.find("  surfaces   \"Spare\"  colour 10 20 30, flat; 0 polygons\n"
                             "             \"Used\"   colour 40 50 60, flat; 1 polygon\n"
                             "             \"Last\"   colour 70 80 90, flat; 0 polygons\n  "),
                  std::string::npos)
            << r.out;
    }
}

// A surface named "PNTS" comes before the real chunk: the plug-in's search
// takes the name, and info shows where the two views part.
TEST_F(Info, ShowsWhereTheSearchMissesTheRealChunk) {
    LwoWriter w = tools::MakeCube();
    w.AddSurface("PNTS");
    Put("named.lwo", w.Build());
    const CommandResult r = RunQavren({"info", "named.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.out.find("PNTS  byte 26, inside the data of the SRFS chunk at byte 12, not a chunk"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("the plug-in takes the PNTS match at byte 26 for the chunk; the real PNTS chunk is at "
                         "byte 32"), std::string::npos);
    EXPECT_NE(r.out.find("viewer     refuses it as corrupt data (host code 3)"), std::string::npos);

    const CommandResult render = RunQavren({"render", "named.lwo"}, dir_);
    EXPECT_EQ(render.exit_code, 1);
    EXPECT_NE(render.err.find("qavren: named.lwo: corrupt object: "), std::string::npos);
    EXPECT_NE(render.err.find("inside the data of the SRFS chunk at byte 12"), std::string::npos) << render.err;
}

// With --angles, the bounds are the turned model's.
TEST_F(Info, AnglesTurnTheBounds) {
    LwoWriter w;
    w.AddPoint(1, 2, 3);
    w.AddPoint(-4, -5, -6);
    w.AddPolygon({0, 1});
    Put("two.lwo", w.Build());
    const std::pair<const char*, const char*> cases[] = {
        {"0,0,0", "x -4 to 1, y -5 to 2, z -6 to 3"},
        {"0,90,0", "x -6 to 3, y -5 to 2, z -1 to 4"},   // x' = z, z' = -x
        {"90,0,0", "x -4 to 1, y -3 to 6, z -5 to 2"},   // y' = -z, z' = y
        {"0,0,-90", "x -5 to 2, y -1 to 4, z -6 to 3"},  // x' = y, y' = -x
    };
    for (const auto& [angles, bounds] : cases) {
        const CommandResult r = RunQavren({"info", "--angles", angles, "two.lwo"}, dir_);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_NE(r.out.find(std::string("  bounds     ") + bounds + "\n"), std::string::npos) << angles << r.out;
    }
}

TEST_F(Info, RefusedAndMissingFiles) {
    Put("unknown.lwo", tools::MakeCube().Build("LWO4"));
    const CommandResult r = RunQavren({"info", "unknown.lwo", "missing.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.out.find("  form       FORM LWO4; the FORM header states"), std::string::npos);
    EXPECT_NE(r.out.find("byte 26       PNTS  96 bytes"), std::string::npos);  // the file's chunks still listed
    EXPECT_NE(r.out.find("  viewer     refuses it as an unknown format (host code 2)\n"), std::string::npos);
    EXPECT_NE(r.out.find("  problems   is a LightWave object of a form not known here"), std::string::npos);
    EXPECT_EQ(r.err, "qavren: missing.lwo: no such file\n");
}

// The layers of a newer object: form, each layer with its number, name,
// hidden flag, points and polygons by type; drawn by qavren, by the plug-in
// only with Forms = 1.
TEST_F(Info, LayersOfANewerObject) {
    tools::LayeredWriter w("LWO2");
    w.AddLayer(2, 1, "Back");
    for (int k = 0; k < 3; ++k) w.AddPoint(float(k), 0, 0);
    w.AddPolygon({0, 1, 2});
    w.AddLayer(1, 0, "Front", 2);
    for (int k = 0; k < 4; ++k) w.AddPoint(float(k), float(k % 2), 1);
    w.AddPolygon({0, 1, 2, 3});
    w.AddPolygon({0, 3}, "CURV");
    Put("layers.lwo", w.Build());
    const CommandResult r = RunQavren({"info", "layers.lwo"}, dir_);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    for (const char* line : {
             "  form       FORM LWO2, a LightWave object (LightWave 6 to 11); the FORM header states",
             "  layers     2, drawn in file order, but for hidden ones\n",
             "             layer 2 \"Back\" (hidden, not drawn): 3 points, 1 polygons (FACE 1)\n",
             "             layer 1 \"Front\", parent 2: 4 points, 2 polygons (FACE 1, CURV 1 (not drawn))\n",
             "  points     7, 4 of them drawn\n",
             "  polygons   3: FACE 2, CURV 1 (not drawn); drawn 1, 4 vertices each\n",
             "  viewer     refuses it as an unknown format (host code 2); with Forms = 1, it draws it (host code 0)\n",
             "  problems   none\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    }
}

using Corpus = CliTest;

// Real objects, read in place: each one, LWOB or of the newer forms (named
// neg_*, which the plug-in refuses by default), renders to the core's pixels
// in both modes.
TEST_F(Corpus, EveryObjectAsTheCoreDrawsIt) {
    const fs::path corpus = fs::path(QAVREN_SOURCE_DIR) / ".." / "shared" / "corpus" / "lwo";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    int rendered = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() != ".lwo") continue;
        const std::string name = entry.path().filename().string();
        const Bytes object = ReadBytes(entry.path());
        for (int32_t mode : {0, 1}) {
            const CommandResult r = RunQavren(
                {"render", entry.path().string(), "-o", "out.png", mode ? "--polygons" : "--wireframe"}, dir_);
            ASSERT_EQ(r.exit_code, 0) << name << ": " << r.err;
            EXPECT_TRUE(DecodePng(dir_ / "out.png", 800, 600) == CorePicture(object, Settings(mode))) << name;
            ++rendered;
        }
    }
    EXPECT_GT(rendered, 0);
    EXPECT_EQ(Listing(), std::vector<std::string>{"out.png"});
}

}  // namespace
}  // namespace qavren::testing
