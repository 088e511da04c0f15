// The command as scripts and desktops meet it, through the real binary:
// text that cannot be written, folders walked with -r and mirrored under
// -d, output folders made as mkdir -p makes them, symlinks that lead
// nowhere, and thumbnail runs for one object taking turns.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <fstream>

#include "tests/cli/cli_harness.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"
#include "tools/qavren/turns.h"

namespace qavren::testing {
namespace {
namespace fs = std::filesystem;

Bytes Torus(const char* form = "LWOB") {
    const tools::LwoWriter torus = tools::MakeTorus(16, 8, 1.0f, 0.35f);
    return std::string(form) == "LWOB" ? torus.Build() : tools::LayeredWriter::From(torus, form).Build();
}

struct Shell {
    int exit_code;
    std::string err;
};

// `qavren ARGS` in `dir` with standard output sent to `out` (a shell
// redirection such as ">/dev/full" or ">&-"); standard error kept.
Shell RunRedirected(const std::string& args, const fs::path& dir, const std::string& out) {
    const std::string err = (dir / "stderr.txt").string();
    const std::string line = "cd '" + dir.string() + "' && '" + QAVREN_BINARY + "' " + args + " " + out + " 2>'" + err + "'";
    const int status = std::system(line.c_str());
    Bytes text = ReadBytes(err);
    fs::remove(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(text.begin(), text.end())};
}

using StandardOutput = CliTest;

// As GNU tools do: text that did not reach standard output fails the
// command with the reason, once; nothing changes where it did.
TEST_F(StandardOutput, WriteErrorsFailTheCommand) {
    Put("t.lwo", Torus());
    const std::string full = "qavren: cannot write to standard output: No space left on device\n";
    struct Case {
        const char* args;
        const char* out;
        int exit_code;
        std::string err;
    };
    const Case cases[] = {
        {"info t.lwo", ">/dev/full", 1, full},
        {"--help", ">/dev/full", 1, full},
        {"--version", ">/dev/full", 1, full},
        {"help render", ">/dev/full", 1, full},
        {"thumbnail --help", ">/dev/full", 1, full},
        {"info t.lwo", ">&-", 1, "qavren: cannot write to standard output: Bad file descriptor\n"},
        // A picture on standard output reports its own failure, not twice.
        {"render t.lwo -s 64 -o -", ">/dev/full", 1, full},
        // Usage errors go to standard error and keep their status.
        {"render", ">/dev/full", 2, "qavren render: no object file given\nTry 'qavren render --help'.\n"},
        // Nothing written to a closed standard output is no failure.
        {"render t.lwo -s 64 -o t.png", ">&-", 0, ""},
        {"info t.lwo", ">/dev/null", 0, ""},
        {"--version", ">/dev/null", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " " + c.out);
        const Shell r = RunRedirected(c.args, dir_, c.out);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(r.err, c.err);
    }
}

using Recursive = CliTest;

// -r finds the objects by their header, whatever their names, and -d
// mirrors the folders they were found in; each picture is the core's.
TEST_F(Recursive, DrawsEveryObjectBelowTheFoldersMirroringTheTree) {
    const std::pair<const char*, Bytes> objects[] = {
        {"models/ring.lwo", Torus()},
        {"models/parts/LAYERED.LWO", Torus("LWO2")},
        {"models/parts/deep/er/newest.Lwo", Torus("LWO3")},
        {"models/parts/five", Torus("LWLO")},
        {"models/other/ring.lwo", Torus()},  // same name, another folder
        {"loose.lwo", Torus()},
    };
    for (const auto& [name, bytes] : objects) {
        fs::create_directories((dir_ / name).parent_path());
        Put(name, bytes);
    }
    // Not objects, whatever their names say; a link to a folder is not walked.
    Put("models/notes.lwo", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    Put("models/picture.lwo", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'});
    Put("models/parts/empty.lwo", {});
    Put("models/parts/future.lwo", tools::MakeCube().Build("LWO4"));
    fs::create_directory_symlink("../models", dir_ / "models/parts/loop");
    fs::create_symlink("../loose.lwo", dir_ / "models/linked.lwo");

    const CommandResult r = RunQavren({"render", "-r", "-s", "48x36", "models", "loose.lwo", "-d", "out/pictures"}, dir_);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::map<std::string, Bytes> expected = {
        {"out/pictures/ring.png", Torus()},
        {"out/pictures/parts/LAYERED.png", Torus("LWO2")},
        {"out/pictures/parts/deep/er/newest.png", Torus("LWO3")},
        {"out/pictures/parts/five.png", Torus("LWLO")},
        {"out/pictures/other/ring.png", Torus()},
        {"out/pictures/linked.png", Torus()},
        {"out/pictures/loose.png", Torus()},
    };
    std::set<std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / "out")) {
        if (e.is_regular_file()) written.insert(fs::relative(e.path(), dir_).string());
    }
    std::set<std::string> names;
    for (const auto& [name, object] : expected) {
        names.insert(name);
        const Bytes object_pixels = CorePicture(object, Settings(0, 48, 36));
        EXPECT_EQ(DecodePng(dir_ / name, 48, 36), object_pixels) << name;
    }
    EXPECT_EQ(written, names);

    // Without -d each picture goes beside its object.
    const CommandResult beside = RunQavren({"render", "--recursive", "-s", "8", "models/parts"}, dir_);
    EXPECT_EQ(beside.exit_code, 0) << beside.err;
    for (const char* name : {"models/parts/LAYERED.png", "models/parts/deep/er/newest.png", "models/parts/five.png"}) {
        EXPECT_TRUE(fs::is_regular_file(dir_ / name)) << name;
    }
}

// However the folder is named (trailing and doubled slashes, ./ and ..,
// absolute, nested, the current folder itself), the pictures mirror the
// objects' paths below it, in -d and beside the objects.
TEST_F(Recursive, EveryFormOfTheFolderOperandMirrorsThePathsBelowIt) {
    fs::create_directories(dir_ / "models/parts/deep");
    Put("models/ring.lwo", Torus());
    Put("models/parts/a.lwo", Torus());
    Put("models/parts/deep/b.lwo", Torus());
    const std::string absolute = (dir_ / "models").string();
    const std::set<std::string> all = {"ring.png", "parts/a.png", "parts/deep/b.png"}, parts = {"a.png", "deep/b.png"};
    std::set<std::string> top;
    for (const std::string& name : all) top.insert("models/" + name);
    const std::pair<std::string, std::set<std::string>> cases[] = {
        {"models", all},          {"models/", all},          {"models//", all},
        {"./models", all},        {"./models/", all},        {".//models", all},
        {"models/../models", all}, {absolute, all},          {absolute + "/", all},
        {absolute + "//", all},   {"models/parts", parts},   {"models/parts/", parts},
        {"models/./parts/", parts}, {"models//parts", parts}, {".", top},
        {"./", top},
    };
    for (const auto& [operand, expected] : cases) {
        SCOPED_TRACE(operand);
        fs::remove_all(dir_ / "out");
        const CommandResult r = RunQavren({"render", "-r", "-s", "8", operand, "-d", "out"}, dir_);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        std::set<std::string> written;
        for (const auto& e : fs::recursive_directory_iterator(dir_ / "out")) {
            if (e.is_regular_file()) written.insert(fs::relative(e.path(), dir_ / "out").string());
        }
        EXPECT_EQ(written, expected);
    }
    // Beside the objects: the same path below the folder, joined to it.
    const CommandResult beside = RunQavren({"render", "-r", "-s", "8", absolute + "//parts/"}, dir_);
    EXPECT_EQ(beside.exit_code, 0) << beside.err;
    for (const char* name : {"models/parts/a.png", "models/parts/deep/b.png"}) EXPECT_TRUE(fs::is_regular_file(dir_ / name)) << name;
}

using Refusals = CliTest;

// What -r, -d and -o refuse, and how: the status, the words, and nothing
// written that should not be.
TEST_F(Refusals, FoldersNamesakesAndPathsThatLeadNowhere) {
    Put("t.lwo", Torus());
    fs::create_directories(dir_ / "models/empty");
    Put("models/a.lwo", Torus());
    Put("models/a.LWO", Torus("LWO2"));
    Put("file", {});
    fs::create_symlink("nowhere/x.png", dir_ / "dangling.png");
    fs::create_symlink("missing.png", dir_ / "dangling-in-place.png");
    struct Case {
        std::vector<std::string> args;
        int exit_code;
        const char* err;                // null: any words
        std::vector<std::string> made;  // files that must exist afterwards
    };
    const Case cases[] = {
        {{"render", "models", "-o", "out.png"}, 1,
         "qavren: models: is a directory, not an object file; give -r to draw the objects below it\n", {}},
        {{"thumbnail", "-s", "8", "models", "t.png"}, 1, "qavren: models: is a directory, not an object file\n", {}},
        {{"info", "models"}, 1, nullptr, {}},
        // a.LWO sorts before a.lwo: the later one would overwrite its picture.
        {{"render", "-r", "-s", "8", "models"}, 1,
         "qavren: models/a.lwo: not written: models/a.png would overwrite the picture of models/a.LWO\n"
         "qavren: 1 of 2 objects could not be rendered\n",
         {"models/a.png"}},
        {{"render", "-r", "models/empty"}, 1, "qavren: models/empty: no LightWave object below it\n", {}},
        {{"render", "-r", "models", "-o", "x.png"}, 2,
         "qavren render: -o takes one object file; use -d with -r\nTry 'qavren render --help'.\n", {}},
        // -d makes every missing folder, as mkdir -p does, and only folders.
        {{"render", "-s", "8", "t.lwo", "-d", "new/deeper/still"}, 0, "", {"new/deeper/still/t.png"}},
        {{"render", "-s", "8", "t.lwo", "-d", "file/sub"}, 1,
         "qavren: file is not a directory\n", {}},
        // A symlink to a missing file is written through; one into a missing
        // folder names where it leads.
        {{"render", "-s", "8", "t.lwo", "-o", "dangling-in-place.png"}, 0, "", {"missing.png"}},
        {{"render", "-s", "8", "t.lwo", "-o", "dangling.png"}, 1,
         "qavren: cannot write dangling.png (a symlink to nowhere/x.png): No such file or directory\n", {}},
        {{"thumbnail", "-s", "8", "t.lwo", "dangling.png"}, 1,
         "qavren: cannot write dangling.png (a symlink to nowhere/x.png): No such file or directory\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CommandResult r = RunQavren(c.args, dir_);
        EXPECT_EQ(r.exit_code, c.exit_code);
        if (c.err) {
            EXPECT_EQ(r.err, c.err);
        }
        for (const std::string& f : c.made) EXPECT_TRUE(fs::is_regular_file(dir_ / f)) << f;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.png"));
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    EXPECT_FALSE(fs::exists(dir_ / "x.png"));
}

using TakingTurns = CliTest;

bool Locked(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

// A run with --take-turns waits while the object is another run's, and
// leaves it held by a helper after it ends, which lets it go again; without
// the option nothing is held.
TEST_F(TakingTurns, RunsForOneObjectGoOneAtATime) {
    const fs::path object = Put("t.lwo", Torus());
    const int held = ::open(object.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const pid_t waiting = ::fork();
    if (waiting == 0) {
        ::execl(QAVREN_BINARY, "qavren", "thumbnail", "--take-turns", "-s", "16", object.c_str(),
                (dir_ / "first.png").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(waiting, 0);
    // Well within the longest wait (kTurnWaitMs), the run has not drawn.
    ::usleep(300 * 1000);
    int status = 0;
    EXPECT_EQ(::waitpid(waiting, &status, WNOHANG), 0);
    EXPECT_FALSE(fs::exists(dir_ / "first.png"));
    ::close(held);
    ASSERT_EQ(::waitpid(waiting, &status, 0), waiting);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(DecodeRgbaPng(dir_ / "first.png", 16, 16).empty(), false);

    // The helper holds the object kTurnGapMs after the run, then lets go.
    // The helper starts after `start`, so the object cannot be free again
    // before start + kTurnGapMs however slow the machine: a lower bound
    // that holds, not a timing that may or may not.
    const auto start = std::chrono::steady_clock::now();
    const CommandResult r = RunQavren({"thumbnail", "--take-turns", "-s", "16", "t.lwo", "second.png"}, dir_);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    int polls = 0;
    while (Locked(object) && polls++ < 1000) ::usleep(10 * 1000);
    const auto kept = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_FALSE(Locked(object));
    EXPECT_GE(kept.count(), cli::kTurnGapMs);
    // A failed run and a run without the option leave nothing held.
    const fs::path broken = Put("broken.lwo", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'L', 'W', 'O', 'B'});
    EXPECT_EQ(RunQavren({"thumbnail", "--take-turns", "-s", "16", "broken.lwo", "third.png"}, dir_).exit_code, 1);
    EXPECT_FALSE(Locked(broken));
    EXPECT_EQ(RunQavren({"thumbnail", "-s", "16", "t.lwo", "fourth.png"}, dir_).exit_code, 0);
    EXPECT_FALSE(Locked(object));
}

}  // namespace
}  // namespace qavren::testing

namespace qavren::testing {
namespace {

using TextureListing = CliTest;

// `info` lists each image layer with the file that answers its stored name:
// beside the object (case folded), in Images/ above it, in a --textures
// folder, or none; --no-textures looks for nothing.
TEST_F(TextureListing, NamesTheFileFoundForEachLayer) {
    std::vector<tools::TextureRecipe> layers(5);
    layers[0].projection = 5;
    layers[0].uv_map = "Texture";
    layers[0].image = "C:\\maps\\Beside.PNG";
    layers[1].projection = 0, layers[1].axis = 2, layers[1].image = "Q:art/Images/above.jpg";
    layers[2].projection = 1, layers[2].axis = 0, layers[2].image = "far.bmp";
    layers[3].projection = 3, layers[3].image = "missing.tga";
    layers[4].projection = 2, layers[4].axis = 1, layers[4].image = "fifo.png";
    tools::SurfaceRecipe surface;
    surface.name = "Skin";
    surface.textures = layers;
    tools::LayeredWriter w("LWO2");
    w.UseSurface(w.AddSurface(surface));
    w.AddLayer(0);
    for (int k = 0; k < 4; ++k) w.AddPoint(float(k & 1), float(k >> 1), 0);
    w.AddPolygon({0, 1, 3, 2});
    fs::create_directories(dir_ / "Images");
    fs::create_directories(dir_ / "Objects" / "car");
    fs::create_directories(dir_ / "extra");
    Put("Objects/car/t.lwo", w.Build());
    Put("Objects/car/beside.png", {1});
    Put("Images/above.jpg", {2});
    Put("extra/far.bmp", {3});
    ASSERT_EQ(mkfifo((dir_ / "Objects/car/fifo.png").c_str(), 0600), 0);
    const std::string uv = "               layer UV \"Texture\", image \"C:\\maps\\Beside.PNG\": ";
    const std::string planar = "               layer planar z, image \"Q:art/Images/above.jpg\": ";
    const std::string cylinder = "               layer cylindrical x, image \"far.bmp\": ";
    const std::string cubic = "               layer cubic, image \"missing.tga\": ";
    const std::string sphere = "               layer spherical y, image \"fifo.png\": ";
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    } kCases[] = {
        {{"info", "Objects/car/t.lwo"},
         {uv + "found Objects/car/beside.png", planar + "found ./Images/above.jpg",
          cylinder + "not found", cubic + "not found", sphere + "not found"}},
        {{"info", "--textures", "nowhere", "--textures=extra", "Objects/car/t.lwo"},
         {uv + "found Objects/car/beside.png", planar + "found ./Images/above.jpg",
          cylinder + "found extra/far.bmp", cubic + "not found", sphere + "not found"}},
        {{"info", "--no-textures", "--textures", "extra", "Objects/car/t.lwo"},
         {uv + "not looked up", planar + "not looked up", cylinder + "not looked up", cubic + "not looked up",
          sphere + "not looked up"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.args[1]);
        const CommandResult r = RunQavren(c.args, dir_);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
            if (r.out.compare(at, 21, "               layer ") == 0) lines.push_back(r.out.substr(at, end - at));
        }
        EXPECT_EQ(lines, c.lines);
    }
}

// The textured corpus as its own oracle: each layer `info` lists is found,
// and the file found is the one the manifest gives for a colour image.
TEST_F(TextureListing, FindsEveryColourImageOfTheTexturedCorpus) {
    const fs::path corpus = fs::path(QAVREN_SOURCE_DIR) / ".." / "shared" / "corpus" / "textured";
    const auto rows = testing::ManifestRows(corpus);
    if (rows.empty()) GTEST_SKIP() << "no textured corpus beside the checkout";
    int found = 0;
    for (const auto& f : rows) {
        ASSERT_GE(f.size(), 7u);
        SCOPED_TRACE(f[0]);
        std::vector<fs::path> colour;  // "name -> path (source; format; CHANNELS) | ..."
        const std::string images = f[6] + " | ";
        for (size_t at = 0, end; (end = images.find(" | ", at)) != std::string::npos; at = end + 3) {
            const std::string entry = images.substr(at, end - at);
            const size_t arrow = entry.find(" -> ") + 4;
            if (entry.find("COLR", entry.rfind("; ")) == std::string::npos) continue;
            colour.push_back(corpus / f[0] / entry.substr(arrow, entry.find(" (", arrow) - arrow));
        }
        const CommandResult r = RunQavren({"info", f[5]}, corpus / f[0]);
        EXPECT_EQ(r.out.find(": not found\n"), std::string::npos) << r.out;
        for (size_t at = 0; (at = r.out.find("\": found ", at)) != std::string::npos; ++found) {
            at += 9;
            const fs::path file = corpus / f[0] / r.out.substr(at, r.out.find('\n', at) - at);
            EXPECT_TRUE(std::any_of(colour.begin(), colour.end(), [&](const fs::path& p) {
                std::error_code e;
                return fs::equivalent(p, file, e);
            })) << file;
        }
    }
    EXPECT_GE(found, 80);
}

// render --shaded and thumbnail draw what the core draws with the search around
// a textured object (beside its image, and copied alone) and in the --textures
// folders; --no-textures and the other styles what it draws untextured.
TEST_F(TextureListing, PicturesDrawTheImagesTheSearchFinds) {
    const fs::path boxuv = fs::path(QAVREN_SOURCE_DIR) / ".." / "shared" / "corpus" / "textured" / "assimp_boxuv";
    if (!fs::exists(boxuv)) GTEST_SKIP() << "no textured corpus beside the checkout";
    fs::copy(boxuv, dir_ / "in");
    const std::string in = (dir_ / "in").string(), beside = in + "/boxuv.lwo", alone = (dir_ / "boxuv.lwo").string();
    fs::copy_file(beside, alone);
    const char* folders[] = {in.c_str()};
    const DiskTextures around(beside.c_str(), nullptr, 0), far(alone.c_str(), folders, 1);
    const struct {
        std::vector<std::string> args;
        int32_t mode;  // 2: shaded into out.bmp; -1 the thumbnail, -2 --background none into out.png
        const TextureSource* textures;
    } kCases[] = {
        {{"render", "--shaded", "-o", "out.bmp", beside}, 2, &around},
        {{"render", "--shaded", "--no-textures", "-o", "out.bmp", beside}, 2, nullptr},
        {{"render", "--shaded", "--textures", "nowhere", "--textures=in", "-o", "out.bmp", alone}, 2, &far},
        {{"render", "--shaded", "--background", "none", "-o", "out.png", beside}, -2, &around},
        {{"thumbnail", beside, "out.png"}, -1, &around},
        {{"thumbnail", "--no-textures", beside, "out.png"}, -1, nullptr},
        {{"thumbnail", "--textures", "in", alone, "out.png"}, -1, &far},
    };
    for (const auto& c : kCases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, {"-s", "96x72"});
        SCOPED_TRACE(args[3] + " " + args[4]);
        ASSERT_EQ(RunQavren(args, dir_).exit_code, 0);
        RenderSettings s = Settings(1, 96, 72);
        s.shaded = 1;
        ThumbnailOptions options = ThumbnailDefaults();
        if (c.mode == -2) options.angle_x = options.angle_y = options.angle_z = options.margin = 0;
        options.textures = c.textures;
        const Bytes bmp = ReadBytes(dir_ / "out.bmp"), object = ReadBytes(beside);
        EXPECT_EQ(c.mode > 0 ? Bytes(bmp.begin() + 54, bmp.end()) : DecodeRgbaPng(dir_ / "out.png", 96, 72),
                  c.mode > 0 ? CorePicture(object, s, c.textures) : CoreThumbnail(object, 96, 72, options));
    }
}

using ManualPage = CliTest;

// The manual page keeps up with the help: every option a help text names is
// on the page, and so is every exit status.
TEST_F(ManualPage, NamesEveryOptionOfTheHelpTexts) {
    const Bytes bytes = ReadBytes(fs::path(QAVREN_SOURCE_DIR) / "share" / "man" / "qavren.1");
    std::string page(bytes.begin(), bytes.end());
    for (size_t at = 0; (at = page.find("\\-", at)) != std::string::npos;) page.replace(at, 2, "-");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"render", "--help"}, {"info", "--help"}, {"thumbnail", "--help"}}) {
        const CommandResult r = RunQavren(args, dir_);
        ASSERT_EQ(r.exit_code, 0);
        int options = 0;
        for (size_t at = 0; (at = r.out.find("--", at)) != std::string::npos; at += 2) {
            size_t end = at + 2;
            while (end < r.out.size() && (std::islower(static_cast<unsigned char>(r.out[end])) || r.out[end] == '-')) ++end;
            if (end == at + 2) continue;
            ++options;
            EXPECT_NE(page.find(r.out.substr(at, end - at)), std::string::npos) << r.out.substr(at, end - at);
        }
        EXPECT_GT(options, 1) << args[0];
        if (args[0] == "--help") {
            EXPECT_NE(r.out.find("Exit status: 0"), std::string::npos);
        }
    }
    for (const char* status : {".B 0\n", ".B 1\n", ".B 2\n", ".SH \"EXIT STATUS\""}) {
        EXPECT_NE(page.find(status), std::string::npos) << status;
    }
}

}  // namespace
}  // namespace qavren::testing
