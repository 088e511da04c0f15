// --textures and --no-textures, taken the same way by every command.
#include "tools/qavren/texture_options.h"

#include <cstring>

namespace qavren::cli {

bool TextureOptions::Take(const OptionRule& rule, const char* value) {
    if (std::strcmp(rule.long_name, kTexturesRule.long_name) == 0) {
        if (count_ < folders_.size()) folders_[count_++] = value;
        return true;
    }
    if (std::strcmp(rule.long_name, kNoTexturesRule.long_name) == 0) {
        look_up_ = false;
        return true;
    }
    return false;
}

}  // namespace qavren::cli
