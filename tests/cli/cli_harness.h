// Test harness for the qavren command: runs the built binary in a scratch
// directory (optionally on a pseudo-terminal), and gives the pictures the
// core draws and the ones the command wrote, decoded, for comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "render/thumbnail.h"
#include "settings/render_settings.h"

namespace qavren::testing {

using Bytes = std::vector<uint8_t>;

struct CommandResult {
    int exit_code = -1;  // the negated signal number if the command died of one
    std::string out;
    std::string err;  // on a terminal, out and err arrive together in `out`
};

struct RunOptions {
    bool on_terminal = false;      // stdout and stderr on a pseudo-terminal
    long file_size_limit = -1;     // RLIMIT_FSIZE in bytes, to make writes fail
    long address_space_limit = -1; // RLIMIT_AS in bytes, to bound the memory it may take
    std::string stdin_file = {};   // standard input from this file (else /dev/null)
    std::vector<std::string> env = {};  // "NAME=VALUE" sets, "NAME" unsets
    bool ignore_sighup = false;    // started as nohup starts it
    // When set, polled while the command runs; once it holds, `signal` is
    // sent (stdout and stderr then go through files).
    std::function<bool()> signal_when = {};
    int signal = 0;
};

// Runs `qavren ARGS...` in `directory`.
CommandResult RunQavren(const std::vector<std::string>& args, const std::filesystem::path& directory,
                        RunOptions options = {});

// DrawPicture's pixel block for the object with these settings (and textures).
Bytes CorePicture(const Bytes& object, const RenderSettings& settings, const TextureSource* textures = nullptr);

// A PNG file decoded into the same bottom-up, padded BGR block; empty when
// it is no PNG or not of that size.
Bytes DecodePng(const std::filesystem::path& file, int32_t width, int32_t height);

// DrawThumbnail's RGBA rows for the object with these options.
Bytes CoreThumbnail(const Bytes& object, int32_t width, int32_t height, const ThumbnailOptions& options);

// A PNG file of that size decoded into RGBA rows, top first (an RGB one as
// opaque); empty when it is no PNG or not of that size. *had_alpha: whether
// the file holds an alpha channel.
Bytes DecodeRgbaPng(const std::filesystem::path& file, int32_t width, int32_t height, bool* had_alpha = nullptr);

Bytes ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);

// A fresh directory per test, removed afterwards.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path Put(const std::string& name, const Bytes& bytes);
    // The names in the scratch directory, sorted; temporary files included.
    std::vector<std::string> Listing(const std::filesystem::path& sub = {}) const;
    std::filesystem::path dir_;
};

RenderSettings Settings(int32_t mode, int32_t width = 800, int32_t height = 600);

}  // namespace qavren::testing
