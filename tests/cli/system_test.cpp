// qavren among the system's pieces, through the real binary: standard
// streams, files a desktop holds open, symlinks, a full disk, signals,
// parallel batches, terminals without escape codes, -q and -v.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <regex>

#include "plugin/picture.h"
#include "tests/cli/cli_harness.h"
#include "tools/qavren/batch.h"
#include "tools/qavren/png_encoder.h"
#include "tools/qavren/signals.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::testing {
namespace {
namespace fs = std::filesystem;

Bytes Torus(int sides = 24) { return tools::MakeTorus(sides, 12, 1.0f, 0.35f).Build(); }
// An IFF picture: refused by every reader of objects.
Bytes Picture() { return {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}; }
constexpr char kPictureWords[] = "is an IFF file of type 'ILBM', not a LightWave object";

Bytes Decoded(const std::string& png_bytes, int32_t width, int32_t height, const fs::path& scratch) {
    WriteBytes(scratch, Bytes(png_bytes.begin(), png_bytes.end()));
    return DecodePng(scratch, width, height);
}

// Files whose names start with a dot: the temporary files of unfinished pictures.
int HiddenFiles(const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.path().filename().string()[0] == '.';
    return n;
}

using Streams = CliTest;

TEST_F(Streams, DashIsStandardInputAndOutput) {
    const fs::path torus = Put("torus.lwo", Torus());
    Put("picture.lwo", Picture());
    Put("empty.lwo", {});
    ASSERT_EQ(RunQavren({"render", "torus.lwo", "-o", "t.bmp", "--size", "64x48"}, dir_).exit_code, 0);
    const Bytes bmp = ReadBytes(dir_ / "t.bmp");
    struct Case {
        std::vector<std::string> args;
        const char* input;
        int32_t side;  // of the PNG on stdout; 0: the BMP
    };
    const Case cases[] = {
        {{"render", "-", "-o", "-", "-s", "64x48", "--format", "bmp"}, "torus.lwo", 0},
        {{"render", "torus.lwo", "-o", "-", "--size=40"}, "", 40},
        {{"render", "-", "-o", "-", "-s", "40"}, "torus.lwo", 40},
        {{"thumbnail", "-s", "40", "-", "-", "--angles=0,0,0", "--wireframe"}, "torus.lwo", 40},
        {{"thumbnail", "--size", "40", "torus.lwo", "-", "--angles=0,0,0", "--wireframe"}, "", 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[3] + " " + c.input);
        const CommandResult r = RunQavren(c.args, dir_, {.stdin_file = *c.input ? (dir_ / c.input).string() : ""});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        if (c.side == 0) {
            EXPECT_TRUE(r.out == std::string(bmp.begin(), bmp.end()));
        } else {
            EXPECT_EQ(Decoded(r.out, c.side, c.side, dir_ / "stdout.png"), CorePicture(Torus(), Settings(0, c.side, c.side)));
            fs::remove(dir_ / "stdout.png");
        }
    }
    const std::pair<const char*, std::string> failures[] = {
        {"picture.lwo", std::string("qavren: standard input: ") + kPictureWords + "\n"},
        {"empty.lwo", "qavren: standard input: is empty\n"},
    };
    for (const auto& [input, words] : failures) {
        const CommandResult r = RunQavren({"thumbnail", "-s", "40", "-", "x.png"}, dir_, {.stdin_file = (dir_ / input).string()});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.err, words);
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"render", "torus.lwo", "-o", "-"}, {"thumbnail", "-s", "9", "torus.lwo", "-"}}) {
        const CommandResult r = RunQavren(args, dir_, {.on_terminal = true});
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_NE(r.out.find("standard output is a terminal; redirect it to a file"), std::string::npos) << r.out;
    }
    EXPECT_EQ(Listing(), (std::vector<std::string>{"empty.lwo", "picture.lwo", "t.bmp", "torus.lwo"}));
}

using Outputs = CliTest;

// A desktop's thumbnail service creates the output, keeps it open and reads
// the picture back through its own descriptor.
TEST_F(Outputs, ThumbnailIsWrittenIntoTheFileTheCallerHoldsOpen) {
    Put("torus.lwo", Torus());
    const int held = ::open((dir_ / "held.png").c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(RunQavren({"thumbnail", "-s", "64", "--angles=0,0,0", "--wireframe", "torus.lwo", "held.png"}, dir_).exit_code, 0);
    Bytes through(fs::file_size(dir_ / "held.png"));
    EXPECT_EQ(::pread(held, through.data(), through.size(), 0), static_cast<ssize_t>(through.size()));
    ::close(held);
    EXPECT_FALSE(through.empty());
    EXPECT_EQ(through, ReadBytes(dir_ / "held.png"));
    EXPECT_EQ(DecodePng(dir_ / "held.png", 64, 64), CorePicture(Torus(), Settings(0, 64, 64)));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"held.png", "torus.lwo"}));
}

// As cp and ImageMagick do: the link's target changes, the link stays; a
// dangling link gets its target made. An existing target keeps its mode.
TEST_F(Outputs, SymlinksAreWrittenThrough) {
    Put("torus.lwo", Torus());
    fs::create_directory(dir_ / "pictures");
    Put("pictures/old.png", {'o', 'l', 'd'});
    fs::permissions(dir_ / "pictures/old.png", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("pictures/old.png", dir_ / "link.png");
    fs::create_symlink("link.png", dir_ / "chain.png");
    fs::create_symlink("pictures/new.png", dir_ / "dangling.png");
    fs::create_symlink(dir_ / "pictures/thumb.png", dir_ / "thumb.png");
    struct Case {
        std::vector<std::string> args;
        const char* link;
        const char* target;
    };
    const Case cases[] = {
        {{"render", "torus.lwo", "-s", "64", "-o", "link.png"}, "link.png", "pictures/old.png"},
        {{"render", "torus.lwo", "-s", "64", "-o", "chain.png"}, "chain.png", "pictures/old.png"},
        {{"render", "torus.lwo", "-s", "64", "-o", "dangling.png"}, "dangling.png", "pictures/new.png"},
        {{"thumbnail", "-s", "64", "--angles=0,0,0", "--wireframe", "torus.lwo", "thumb.png"}, "thumb.png", "pictures/thumb.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        fs::remove(dir_ / c.target == dir_ / "pictures/old.png" ? dir_ / "none" : dir_ / c.target);
        const CommandResult r = RunQavren(c.args, dir_);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink(dir_ / c.link));
        EXPECT_EQ(DecodePng(dir_ / c.target, 64, 64), CorePicture(Torus(), Settings(0, 64, 64)));
        EXPECT_EQ(HiddenFiles(dir_ / "pictures"), 0);
    }
    EXPECT_EQ(fs::status(dir_ / "pictures/old.png").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// New pictures, names starting with '-' among them (only "-" itself is a
// standard stream) and a thumbnail's name with two dots and its extension
// in capitals, get the modes the umask leaves of 0666.
TEST_F(Outputs, DashNamesAreFilesAndNewPicturesFollowTheUmask) {
    Put("torus.lwo", Torus());
    Put("-t.lwo", Torus());
    struct Case {
        std::vector<std::string> args;
        const char* file;
        mode_t umask;
    };
    const Case cases[] = {
        {{"render", "torus.lwo", "-s", "40", "-o", "-x.png"}, "-x.png", 022},
        {{"render", "-s", "40", "-d", "out", "--", "-t.lwo"}, "out/-t.png", 077},
        {{"thumbnail", "-s", "40", "--wireframe", "--angles=0,0,0", "--", "torus.lwo", "-t.png"}, "-t.png", 027},
        {{"render", "torus.lwo", "-s", "40", "-o", "new.png"}, "new.png", 002},
        {{"thumbnail", "-s", "40", "--wireframe", "--angles=0,0,0", "torus.lwo", "n.v2.PNG"}, "n.v2.PNG", 0},
        {{"render", "-s", "40x40", "-d", "out", "torus.lwo"}, "out/torus.png", 037},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const mode_t saved = ::umask(c.umask);
        const CommandResult r = RunQavren(c.args, dir_);
        ::umask(saved);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(DecodePng(dir_ / c.file, 40, 40), CorePicture(Torus(), Settings(0, 40, 40)));
        struct stat st;
        ASSERT_EQ(::stat((dir_ / c.file).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~c.umask);
        fs::remove(dir_ / c.file);
    }
}

// A small tmpfs that fills up: the system's words, and nothing half-written.
class FullDisk : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        fs::create_directory(dir_ / "disk");
        if (::mount("tmpfs", (dir_ / "disk").c_str(), "tmpfs", 0, "size=16k") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
        }
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_) ::umount2((dir_ / "disk").c_str(), MNT_DETACH);
        CliTest::TearDown();
    }
    bool mounted_ = false;
};

TEST_F(FullDisk, FailsInTheSystemsWordsLeavingNothingBehind) {
    Put("torus.lwo", Torus(96));
    struct Case {
        std::vector<std::string> args;
        const char* file;
        bool kept_empty;  // the thumbnail's own file stays, emptied
    };
    const Case cases[] = {
        {{"render", "torus.lwo", "--polygons", "-s", "1000", "-o", "disk/t.png"}, "disk/t.png", false},
        {{"render", "torus.lwo", "-s", "100", "-o", "disk/t.bmp"}, "disk/t.bmp", false},
        {{"thumbnail", "--polygons", "-s", "1000", "torus.lwo", "disk/new.png"}, "disk/new.png", false},
        {{"thumbnail", "--polygons", "-s", "1000", "torus.lwo", "disk/held.png"}, "disk/held.png", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.kept_empty) Put(c.file, {});
        const CommandResult r = RunQavren(c.args, dir_);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.err, std::string("qavren: cannot write ") + c.file + ": No space left on device\n");
        EXPECT_EQ(Listing("disk"), c.kept_empty ? std::vector<std::string>{"held.png"} : std::vector<std::string>{});
        if (c.kept_empty) {
            EXPECT_EQ(fs::file_size(dir_ / c.file), 0u);
        }
        fs::remove(dir_ / c.file);
    }
}

using Batches = CliTest;

// -j 4 gives the pictures and the messages of -j 1, byte for byte.
TEST_F(Batches, ParallelRunsMatchOneAtATime) {
    std::vector<std::string> inputs;
    for (int k = 0; k < 24; ++k) {
        const std::string name = "o" + std::to_string(k) + ".lwo";
        Put(name, k % 7 == 3 ? Picture() : Torus(6 + k));
        inputs.push_back(name);
    }
    inputs.push_back("missing.lwo");
    const fs::path corpus = fs::path(QAVREN_SOURCE_DIR) / ".." / "shared" / "corpus" / "lwo";
    if (fs::is_directory(corpus)) {
        for (const auto& e : fs::directory_iterator(corpus)) {
            if (e.path().extension() == ".lwo") inputs.push_back(e.path().string());
        }
    }
    CommandResult runs[2];
    for (int j = 0; j < 2; ++j) {
        std::vector<std::string> args = {"render", "--polygons", "-s", "200x150", "-j", j ? "4" : "1", "-d", "out"};
        args.insert(args.end(), inputs.begin(), inputs.end());
        runs[j] = RunQavren(args, dir_);
        fs::rename(dir_ / "out", dir_ / ("out" + std::to_string(j)));
    }
    EXPECT_EQ(runs[0].exit_code, 1);
    EXPECT_EQ(runs[1].exit_code, 1);
    EXPECT_EQ(runs[0].err, runs[1].err);
    EXPECT_NE(runs[0].err.find("qavren: o3.lwo: "), std::string::npos) << runs[0].err;
    EXPECT_LT(runs[0].err.find("qavren: o3.lwo: "), runs[0].err.find("qavren: o10.lwo: "));
    const std::vector<std::string> names = Listing("out0");
    EXPECT_EQ(names, Listing("out1"));
    EXPECT_GE(names.size(), 20u);
    for (const std::string& name : names) EXPECT_EQ(ReadBytes(dir_ / "out0" / name), ReadBytes(dir_ / "out1" / name)) << name;
}

// Inputs whose pictures would land on one name in -d: the later ones are
// refused, naming the earlier; names that only share a beginning are not,
// even where one sorts between two that clash (cube-.png).
TEST_F(Batches, NamesakesOnlyWhenTheWholeStemIsTheSame) {
    fs::create_directories(dir_ / "a");
    fs::create_directories(dir_ / "b");
    const std::vector<std::string> inputs = {"cube2.lwo",  "cube.lwo", "cube-.lwo",   "a/cube.lwo",   "cube",
                                             "b/cube.x.lwo", "cube.x.lwo", "a/cube2.LWO", "cub.lwo", "a/cube2x.lwo",
                                             "b/.lwo"};
    for (const std::string& name : inputs) Put(name, Torus(6));
    std::vector<std::string> args = {"render", "-s", "16", "-d", "out"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const CommandResult r = RunQavren(args, dir_);
    EXPECT_EQ(r.exit_code, 1);
    auto refused = [](const char* input, const char* picture, const char* earlier) {
        return std::string("qavren: ") + input + ": not written: out/" + picture + " would overwrite the picture of " +
               earlier + "\n";
    };
    EXPECT_EQ(r.err, refused("a/cube.lwo", "cube.png", "cube.lwo") + refused("cube", "cube.png", "cube.lwo") +
                         refused("cube.x.lwo", "cube.x.png", "b/cube.x.lwo") +
                         refused("a/cube2.LWO", "cube2.png", "cube2.lwo") +
                         "qavren: 4 of 11 objects could not be rendered\n");
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{".lwo.png", "cub.png", "cube-.png", "cube.png", "cube.x.png",
                                                        "cube2.png", "cube2x.png"}));
}

// By default a batch draws at most as many pictures at once as fit in the
// memory it allows itself: pictures of 270 MB, two of which cannot be had
// under the address-space limit, are drawn one after the other.
TEST_F(Batches, DefaultJobsFitThePicturesInMemory) {
    if (cli::AvailableProcessors() < 2) GTEST_SKIP() << "one processor: the default is one job anyway";
    Put("a.lwo", Torus(6));
    Put("b.lwo", Torus(7));
    const long picture = 9500L * 9500 * 3;
    const CommandResult r = RunQavren({"render", "a.lwo", "b.lwo", "-s", "9500", "-d", "out"}, dir_,
                                      {.address_space_limit = picture * 3 / 2 + (40L << 20)});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{"a.png", "b.png"}));
}

// -v tells the threads each picture was allowed and drew on: by default
// every processor for a picture drawn alone, shared out among the pictures
// drawn at once (-j), or --threads; with the polygons' sort, exact here.
// The wireframe tells none.
TEST_F(Batches, VerboseTellsTheThreadsOfEachPicture) {
    Put("a.lwo", Torus(60));
    Put("b.lwo", Torus(61));
    const int p = std::min(cli::AvailableProcessors(), 64);
    struct Case {
        std::vector<std::string> args;
        int allowed;  // 0: no threads told
        bool sorted;
    };
    const Case cases[] = {
        {{"--polygons", "a.lwo"}, p, true},
        {{"--shaded", "a.lwo"}, p, false},
        {{"--polygons", "-j", "2", "a.lwo", "b.lwo"}, std::max(1, p / 2), true},
        {{"--shaded", "--threads", "3", "-j", "1", "a.lwo", "b.lwo"}, 3, false},
        {{"--shaded", "--background", "none", "--threads", "3", "a.lwo"}, 3, false},
        {{"--threads", "5", "--polygons", "-j", "2", "a.lwo", "b.lwo"}, 2, true},
        {{"--wireframe", "a.lwo"}, 0, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"render", "-v", "-s", "1600x1200", "-d", "out"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        const CommandResult r = RunQavren(args, dir_);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        const std::regex told("; threads: [0-9]+ of " + std::to_string(c.allowed) + ", bands: [0-9]+" +
                              (c.sorted ? ", sort: exact on [0-9]+" : "") + "\\)\n");
        const auto objects = std::count_if(c.args.begin(), c.args.end(),
                                           [](const std::string& a) { return a.find(".lwo") != std::string::npos; });
        const auto lines = std::distance(std::sregex_iterator(r.err.begin(), r.err.end(), told), std::sregex_iterator());
        EXPECT_EQ(lines, c.allowed ? objects : 0) << r.err;
        if (!c.allowed) {
            EXPECT_EQ(r.err.find("threads:"), std::string::npos) << r.err;
        }
    }
}

using Signals = CliTest;
using Signals = CliTest;

// Interrupted batches leave only whole pictures; an ignored SIGHUP (nohup)
// stays ignored and the batch runs to its end.
TEST_F(Signals, InterruptionCleansUpAndIgnoredSignalsStayIgnored) {
    std::vector<std::string> args = {"render", "--polygons", "-s", "1200x900", "-d", "out"};
    for (int k = 0; k < 40; ++k) {
        Put("o" + std::to_string(k) + ".lwo", Torus(40 + k));
        args.push_back("o" + std::to_string(k) + ".lwo");
    }
    struct Case {
        int signal;
        bool ignored;
        const char* jobs;
    };
    const Case cases[] = {{SIGHUP, true, "1"}, {SIGINT, false, "1"}, {SIGTERM, false, "4"}, {SIGHUP, false, "2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.ignored ? ", ignored" : "") + ", -j " + c.jobs);
        fs::remove_all(dir_ / "out");
        std::vector<std::string> run = args;
        run.insert(run.begin() + 1, {"-j", c.jobs});
        const fs::path out = dir_ / "out";
        const CommandResult r = RunQavren(run, dir_, {
            .ignore_sighup = c.ignored,
            .signal_when = [&out] { return fs::exists(out / "o0.png"); },
            .signal = c.signal,
        });
        EXPECT_EQ(r.exit_code, c.ignored ? 0 : -c.signal) << r.err;
        const std::vector<std::string> written = Listing("out");
        EXPECT_EQ(HiddenFiles(out), 0);
        if (c.ignored) {
            EXPECT_EQ(written.size(), 40u);
        } else {
            EXPECT_LT(written.size(), 40u);
        }
        for (const std::string& name : written) {
            EXPECT_FALSE(DecodePng(out / name, 1200, 900).empty()) << name;
        }
    }
}

using Messages = CliTest;

TEST_F(Messages, TerminalsQuietAndVerbose) {
    Put("a.lwo", Torus());
    Put("b.lwo", Picture());
    const std::string failure = std::string("qavren: b.lwo: ") + kPictureWords;
    struct Case {
        std::vector<std::string> flags;
        RunOptions options;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {{}, {.on_terminal = true, .env = {"TERM=xterm"}}, {"\r\033[K[1/2] a.lwo", failure}, {}},
        {{}, {.on_terminal = true, .env = {"TERM=dumb"}}, {"\r[1/2] a.lwo", "\r[2/2] b.lwo", failure}, {"\033"}},
        {{}, {.on_terminal = true, .env = {"TERM"}}, {"\r[1/2] a.lwo", failure}, {"\033"}},
        {{"-q"}, {.on_terminal = true, .env = {"TERM=xterm"}}, {failure}, {"[1/2]", "\033", "of 2 objects"}},
        {{}, {}, {failure + "\nqavren: 1 of 2 objects could not be rendered\n"}, {"\r", "->"}},
        {{"--verbose"}, {}, {"qavren: a.lwo -> out/a.png (800x600, wireframe)\n" + failure}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"render", "a.lwo", "b.lwo", "-d", "out"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const CommandResult r = RunQavren(args, dir_, c.options);
        const std::string text = r.out + r.err;
        SCOPED_TRACE(::testing::PrintToString(c.options.env) + ::testing::PrintToString(c.flags) + ": " + text);
        EXPECT_EQ(r.exit_code, 1);
        for (const std::string& p : c.present) EXPECT_NE(text.find(p), std::string::npos) << p;
        for (const std::string& a : c.absent) EXPECT_EQ(text.find(a), std::string::npos) << a;
    }
}

}  // namespace
}  // namespace qavren::testing

namespace qavren::testing {
namespace {

using PngEncoder = CliTest;

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }

// A PNG file's chunks in order: tag and data.
std::vector<std::pair<std::string, Bytes>> PngChunks(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> chunks;
    for (size_t at = 8; at + 12 <= file.size();) {
        const size_t length = Be32(&file[at]);
        if (at + 12 + length > file.size()) break;
        chunks.emplace_back(std::string(file.begin() + at + 4, file.begin() + at + 8),
                            Bytes(file.begin() + at + 8, file.begin() + at + 8 + length));
        at += 12 + length;
    }
    return chunks;
}

// Both deflate paths over generated pictures: flat runs, noise and odd
// widths (rows padded to 4 bytes) decode to the block they were made from,
// in IHDR, sRGB (perceptual), IDAT chunks of at most 64 KiB and IEND, the
// zlib stream marked as made at the default level. The whole-picture path
// is taken up to its limit exactly, and the two paths' streams differ.
TEST_F(PngEncoder, BothPathsDecodeToTheBlock) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (const auto& [width, height] : std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {3, 7}, {257, 33}, {800, 61}, {300, 240}}) {
        PictureLayout layout;
        ASSERT_TRUE(ComputeLayout(width, height, &layout));
        Bytes bits(layout.image_size, 0);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t i = 0; i < 3 * width; ++i) {
                const uint32_t r = next() >> 16;
                bits[static_cast<size_t>(y) * layout.stride + i] = r % 4 == 0 || width == 300 ? static_cast<uint8_t>(r >> 8) : 0x30;
            }
        }
        const size_t filtered = (3 * size_t(width) + 1) * size_t(height);
        Bytes files[4];
        const size_t limits[4] = {cli::kWholePngLimit, filtered, filtered - 1, 0};
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " limit " + std::to_string(limits[k]));
            cli::OutputFile out;
            cli::Message error, why;
            ASSERT_TRUE(out.Open((dir_ / "p.png").c_str(), cli::WriteMode::kReplace, &error)) << error.text;
            EXPECT_TRUE(cli::EncodePng(layout, bits.data(), &out, limits[k], &why)) << why.text;
            ASSERT_TRUE(out.Commit(&error)) << error.text;
            EXPECT_EQ(DecodePng(dir_ / "p.png", width, height), bits);
            files[k] = ReadBytes(dir_ / "p.png");
            const auto chunks = PngChunks(files[k]);
            ASSERT_GE(chunks.size(), 4u);
            EXPECT_EQ(chunks[0].first, "IHDR");
            EXPECT_EQ(chunks[1], (std::pair<std::string, Bytes>{"sRGB", {0}}));
            EXPECT_EQ(chunks.back(), (std::pair<std::string, Bytes>{"IEND", {}}));
            for (size_t c = 2; c + 1 < chunks.size(); ++c) {
                EXPECT_EQ(chunks[c].first, "IDAT");
                EXPECT_LE(chunks[c].second.size(), size_t{1} << 16);
            }
            const Bytes& zlib = chunks[2].second;
            ASSERT_GE(zlib.size(), 2u);
            EXPECT_EQ(zlib[0], 0x78);
            EXPECT_EQ(zlib[1] >> 6, 2) << "the compression level in the zlib header";
        }
        EXPECT_EQ(files[0], files[1]);
        EXPECT_EQ(files[2], files[3]);
        if (width * height > 100) {
            EXPECT_NE(files[1], files[2]);
        }
    }
}

// Runs `body` in a child process: its exit status, or minus the signal that
// ended it.
int InChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

// A picture past the whole-picture limit is encoded in memory of a few rows:
// under an address-space limit 24 MiB above what the process holds with a
// 54 MB picture, the row path succeeds where the whole path cannot.
TEST_F(PngEncoder, PastTheLimitMemoryStaysAFewRows) {
    PictureLayout layout;
    ASSERT_TRUE(ComputeLayout(6000, 3000, &layout));
    Bytes bits(layout.image_size, 0x30);
    for (size_t k = 0; k < bits.size(); k += 4099) bits[k] = static_cast<uint8_t>(k);
    const size_t filtered = (3 * size_t{6000} + 1) * 3000;
    for (const auto& [limit, fits] : {std::pair{filtered - 1, true}, std::pair{filtered, false}}) {
        SCOPED_TRACE(limit);
        const int code = InChild([&, limit = limit] {
            long pages = 0;
            FILE* statm = std::fopen("/proc/self/statm", "r");
            if (!statm || std::fscanf(statm, "%ld", &pages) != 1) return 9;
            std::fclose(statm);
            const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (rlim_t{24} << 20);
            const rlimit as = {cap, cap};
            if (::setrlimit(RLIMIT_AS, &as) != 0) return 9;
            cli::OutputFile out;
            cli::Message error, why;
            if (!out.Open((dir_ / "big.png").c_str(), cli::WriteMode::kReplace, &error)) return 8;
            const bool ok = cli::EncodePng(layout, bits.data(), &out, limit, &why) && out.Commit(&error);
            return ok ? 0 : std::strstr(why.text, "not enough memory") ? 1 : 7;
        });
        EXPECT_EQ(code, fits ? 0 : 1);
        if (fits) {
            EXPECT_EQ(DecodePng(dir_ / "big.png", 6000, 3000), bits);
        }
    }
}

using Interruptions = CliTest;

// A signal at each stage of writing pictures, in both write modes (a
// temporary file renamed into place, and the caller's own file written in
// place): finished pictures stay, whole; the one being written goes, and
// an earlier picture it was to replace stays as it was.
TEST_F(Interruptions, ASignalAtEachStageLeavesTheFinishedPicturesOnly) {
    const std::string a = (dir_ / "a.png").string(), b = (dir_ / "b.png").string(), c = (dir_ / "c.png").string(),
                      d = (dir_ / "d.png").string();
    constexpr int kSteps = 8;
    for (int stop = 0; stop < kSteps; ++stop) {
        SCOPED_TRACE("signal after " + std::to_string(stop) + " steps");
        for (const auto& name : Listing()) fs::remove(dir_ / name);
        Put("a.png", {'o', 'l', 'd'});
        const int code = InChild([&] {
            cli::InstallSignalHandlers();
            cli::OutputFile fa, fb, fc, fd;
            cli::Message e;
            int done = 0;
            auto step = [&](bool ok) {
                if (!ok) ::_exit(3);
                if (++done == stop) ::raise(SIGTERM);
            };
            if (stop == 0) ::raise(SIGTERM);
            step(fa.Open(a.c_str(), cli::WriteMode::kReplace, &e) && fa.Write("AAAA", 4));
            step(fa.Commit(&e));
            step(fb.Open(b.c_str(), cli::WriteMode::kInPlace, &e) && fb.Write("BBBB", 4));
            step(fb.Commit(&e));
            step(fc.Open(c.c_str(), cli::WriteMode::kReplace, &e) && fc.Write("CCCC", 4));
            step(fd.Open(d.c_str(), cli::WriteMode::kInPlace, &e) && fd.Write("DDDD", 4));
            fc.Discard();
            step(true);
            return 4;
        });
        EXPECT_EQ(code, -SIGTERM);
        const Bytes old = {'o', 'l', 'd'}, written = {'A', 'A', 'A', 'A'};
        EXPECT_EQ(ReadBytes(dir_ / "a.png"), stop < 2 ? old : written);
        const std::vector<std::string> before = {"a.png"}, after = {"a.png", "b.png"};
        EXPECT_EQ(Listing(), stop < 4 ? before : after);
        if (stop >= 4) {
            EXPECT_EQ(ReadBytes(dir_ / "b.png"), (Bytes{'B', 'B', 'B', 'B'}));
        }
    }
}

// The batch runner over any number of jobs: every item run once, every
// outcome reported once, in input order, and each the outcome of its own
// item, while workers of uneven speed run ahead of the report.
TEST(Batch, EachOutcomeReportedOnceInOrder) {
    struct Context {
        explicit Context(int n) : runs(static_cast<size_t>(n)) {}
        std::vector<std::atomic<int>> runs;
        std::vector<int> order;
        std::vector<std::string> texts;
        std::vector<bool> ok;
    };
    const auto run = [](void* context, int index, cli::Outcome* outcome) {
        auto* c = static_cast<Context*>(context);
        std::atomic<int> spin = index * 7919 % 13 * 3000;
        while (spin.fetch_sub(1, std::memory_order_relaxed) > 0) {
        }
        c->runs[static_cast<size_t>(index)]++;
        outcome->ok = index % 3 != 0;
        cli::Format(&outcome->text, "item %d", index);
    };
    const auto report = [](void* context, int index, const cli::Outcome& outcome) {
        auto* c = static_cast<Context*>(context);
        c->order.push_back(index);
        c->texts.push_back(outcome.text.text);
        c->ok.push_back(outcome.ok);
    };
    for (const int jobs : {1, 2, 3, 8, 64}) {
        for (const int count : {1, 5, 300}) {
            SCOPED_TRACE(std::to_string(count) + " items, -j " + std::to_string(jobs));
            Context c(count);
            cli::RunBatch(count, jobs, cli::BatchWork{run, report, &c});
            ASSERT_EQ(c.order.size(), static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) {
                ASSERT_EQ(c.order[i], i);
                ASSERT_EQ(c.texts[i], "item " + std::to_string(i));
                ASSERT_EQ(c.ok[i], i % 3 != 0);
                ASSERT_EQ(c.runs[i].load(), 1);
            }
        }
    }
}

}  // namespace
}  // namespace qavren::testing
