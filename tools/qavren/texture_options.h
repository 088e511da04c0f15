// The --textures DIR (repeatable) and --no-textures options of the commands
// that look up an object's images: info, render and thumbnail.
#pragma once

#include <cstdint>

#include "image/texture_source.h"
#include "platform/owned_array.h"
#include "tools/qavren/arg_parser.h"

namespace qavren::cli {

// Each command lists both among its own rules.
constexpr OptionRule kTexturesRule = {0, "textures", true};
constexpr OptionRule kNoTexturesRule = {0, "no-textures", false};

class TextureOptions {
public:
    // Room for each of the command's `argc` arguments as a folder: false
    // when memory cannot be had.
    bool Reserve(int argc) { return !Failed(folders_.Allocate(argc > 0 ? static_cast<uint64_t>(argc) : 1)); }
    // The option `rule` matched, with its value: true when it was one of the
    // two above (and is taken), false for any other.
    bool Take(const OptionRule& rule, const char* value);

    bool look_up() const { return look_up_; }
    // The search for the images of the object at `path`: around it, then in
    // the --textures folders (which point into argv), in their order.
    DiskTextures Around(const char* path) const { return DiskTextures(path, folders_.data(), count_); }

private:
    OwnedArray<const char*> folders_;
    uint32_t count_ = 0;
    bool look_up_ = true;
};

}  // namespace qavren::cli
