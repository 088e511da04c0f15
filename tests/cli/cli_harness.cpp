// The harness: process spawning, the core's reference pictures, PNG decoding.
#include "tests/cli/cli_harness.h"

#include <fcntl.h>
#include <png.h>
#include <pty.h>
#include <zlib.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "plugin/picture.h"

namespace qavren::testing {
namespace fs = std::filesystem;

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) text.append(chunk, static_cast<size_t>(n));
    }
    return text;  // a pty's master reads EIO once the child is gone
}

[[noreturn]] void ExecQavren(const std::vector<std::string>& args, const fs::path& directory,
                             const RunOptions& options) {
    if (options.file_size_limit >= 0) {
        const rlimit limit = {static_cast<rlim_t>(options.file_size_limit), static_cast<rlim_t>(options.file_size_limit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.address_space_limit >= 0) {
        const rlimit limit = {static_cast<rlim_t>(options.address_space_limit), static_cast<rlim_t>(options.address_space_limit)};
        ::setrlimit(RLIMIT_AS, &limit);
    }
    const int in = ::open(options.stdin_file.empty() ? "/dev/null" : options.stdin_file.c_str(), O_RDONLY);
    if (in >= 0) ::dup2(in, 0);
    for (const std::string& e : options.env) {
        const size_t equals = e.find('=');
        if (equals == std::string::npos) {
            ::unsetenv(e.c_str());
        } else {
            ::setenv(e.substr(0, equals).c_str(), e.c_str() + equals + 1, 1);
        }
    }
    if (options.ignore_sighup) ::signal(SIGHUP, SIG_IGN);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("qavren"));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (::chdir(directory.c_str()) == 0) ::execv(QAVREN_BINARY, argv.data());
    ::_exit(127);
}

int ExitCode(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

CommandResult RunOnTerminal(const std::vector<std::string>& args, const fs::path& directory,
                            const RunOptions& options) {
    int master = -1;
    winsize size = {24, 200, 0, 0};
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) ExecQavren(args, directory, options);
    CommandResult r;
    if (pid < 0) return r;
    r.out = ReadAll(master);
    ::close(master);
    r.exit_code = ExitCode(pid);
    return r;
}

}  // namespace

// Output through files, so that nothing blocks while the condition is polled.
CommandResult RunAndSignal(const std::vector<std::string>& args, const fs::path& directory,
                           const RunOptions& options) {
    std::string scratch = (fs::temp_directory_path() / "qavren-out-XXXXXX").string();
    if (!::mkdtemp(scratch.data())) return {};
    const fs::path out = fs::path(scratch) / "out", err = fs::path(scratch) / "err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ExecQavren(args, directory, options);
    }
    for (int polls = 0; polls < 6000 && !options.signal_when(); ++polls) ::usleep(5000);
    ::kill(pid, options.signal);
    CommandResult r;
    r.exit_code = ExitCode(pid);
    const Bytes o = ReadBytes(out), e = ReadBytes(err);
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    fs::remove_all(scratch);
    return r;
}

CommandResult RunQavren(const std::vector<std::string>& args, const fs::path& directory, RunOptions options) {
    if (options.on_terminal) return RunOnTerminal(args, directory, options);
    if (options.signal_when) return RunAndSignal(args, directory, options);
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        ExecQavren(args, directory, options);
    }
    ::close(out[1]);
    ::close(err[1]);
    CommandResult r;
    // The command's output is small, so stderr cannot fill while stdout is read.
    r.out = ReadAll(out[0]);
    r.err = ReadAll(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    r.exit_code = ExitCode(pid);
    return r;
}

Bytes CorePicture(const Bytes& object, const RenderSettings& settings, const TextureSource* textures) {
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), 0);
    PictureLayout layout;
    EXPECT_TRUE(ComputeLayout(settings.width, settings.height, &layout));
    Bytes bits(layout.image_size);
    DrawRequest request = RequestOf(settings);
    request.textures = textures;
    EXPECT_EQ(DrawPicture(buffer, request, layout, bits.data()), 0);
    return bits;
}

// Every chunk's CRC, IEND's included: libpng's simplified reader stops
// after the pixels, other readers check to the end.
bool ChunksIntact(const Bytes& png) {
    size_t at = 8;
    bool ended = false;
    while (!ended && at + 12 <= png.size()) {
        const uint32_t length = uint32_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (length > png.size() - at - 12) return false;
        const uint8_t* type = &png[at + 4];
        const uint8_t* crc = type + 4 + length;
        const uint32_t stated = uint32_t{crc[0]} << 24 | crc[1] << 16 | crc[2] << 8 | crc[3];
        if (crc32(0, type, 4 + length) != stated) return false;
        ended = std::memcmp(type, "IEND", 4) == 0;
        at += 12 + length;
    }
    return ended && at == png.size();
}

Bytes DecodePng(const fs::path& file, int32_t width, int32_t height) {
    if (!ChunksIntact(ReadBytes(file))) return {};
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return {};
    const bool as_written = image.format == PNG_FORMAT_RGB && image.width == static_cast<uint32_t>(width) &&
                            image.height == static_cast<uint32_t>(height);
    PictureLayout layout;
    if (!as_written || !ComputeLayout(width, height, &layout)) {
        png_image_free(&image);
        return {};
    }
    image.format = PNG_FORMAT_BGR;
    Bytes bits(layout.image_size, 0);  // the padding stays 0, as Fill leaves it
    if (!png_image_finish_read(&image, nullptr, bits.data(), -static_cast<png_int_32>(layout.stride), nullptr)) {
        return {};
    }
    return bits;
}

Bytes CoreThumbnail(const Bytes& object, int32_t width, int32_t height, const ThumbnailOptions& options) {
    ObjectBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(object.data(), static_cast<uint32_t>(object.size())), 0);
    RgbaPicture picture;
    EXPECT_EQ(DrawThumbnail(buffer, width, height, options, &picture), 0);
    if (!picture.pixels()) return {};
    return Bytes(picture.pixels(), picture.pixels() + size_t{picture.stride()} * static_cast<uint32_t>(height));
}

Bytes DecodeRgbaPng(const fs::path& file, int32_t width, int32_t height, bool* had_alpha) {
    if (!ChunksIntact(ReadBytes(file))) return {};
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return {};
    if (had_alpha) *had_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    if (image.width != static_cast<uint32_t>(width) || image.height != static_cast<uint32_t>(height)) {
        png_image_free(&image);
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    Bytes pixels(size_t{4} * static_cast<uint32_t>(width) * static_cast<uint32_t>(height), 0);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return pixels;
}

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

void CliTest::SetUp() {
    std::string name = (fs::temp_directory_path() / "qavren-cli-XXXXXX").string();
    ASSERT_NE(::mkdtemp(name.data()), nullptr);
    dir_ = name;
}

void CliTest::TearDown() {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
}

fs::path CliTest::Put(const std::string& name, const Bytes& bytes) {
    WriteBytes(dir_ / name, bytes);
    return dir_ / name;
}

std::vector<std::string> CliTest::Listing(const fs::path& sub) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / sub)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RenderSettings Settings(int32_t mode, int32_t width, int32_t height) {
    RenderSettings s;
    s.mode = mode;
    s.width = width;
    s.height = height;
    return s;
}

}  // namespace qavren::testing
