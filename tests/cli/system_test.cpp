// qavren among the system's pieces, through the real binary: standard
// streams, files a desktop holds open, symlinks, a full disk, signals,
// parallel batches, terminals without escape codes, -q and -v.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "plugin/picture.h"
#include "tests/cli/cli_harness.h"
#include "tools/qavren/png_encoder.h"
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

// Both deflate paths over generated pictures: flat runs, noise and odd
// widths (rows padded to 4 bytes) decode to the block they were made from.
TEST_F(PngEncoder, BothPathsDecodeToTheBlock) {
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (const auto& [width, height] : std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {3, 7}, {257, 33}, {800, 61}}) {
        PictureLayout layout;
        ASSERT_TRUE(ComputeLayout(width, height, &layout));
        Bytes bits(layout.image_size, 0);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t i = 0; i < 3 * width; ++i) {
                const uint32_t r = next() >> 16;
                bits[static_cast<size_t>(y) * layout.stride + i] = r % 4 == 0 ? static_cast<uint8_t>(r >> 8) : 0x30;
            }
        }
        for (const size_t whole_limit : {cli::kWholePngLimit, size_t{0}}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + (whole_limit ? " whole" : " by rows"));
            cli::OutputFile out;
            cli::Message error, why;
            ASSERT_TRUE(out.Open((dir_ / "p.png").c_str(), cli::WriteMode::kReplace, &error)) << error.text;
            EXPECT_TRUE(cli::EncodePng(layout, bits.data(), &out, whole_limit, &why)) << why.text;
            ASSERT_TRUE(out.Commit(&error)) << error.text;
            EXPECT_EQ(DecodePng(dir_ / "p.png", width, height), bits);
        }
    }
}

}  // namespace
}  // namespace qavren::testing
