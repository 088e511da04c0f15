// The option scanner behind every qavren command.
#include "tools/qavren/arg_parser.h"

#include <cstring>

namespace qavren::cli {

int ArgParser::Next(int* option, const char** value, Message* error) {
    while (next_ < argc_) {
        char* arg = argv_[next_++];
        if (!options_ended_ && std::strcmp(arg, "--") == 0) {
            options_ended_ = true;
            continue;
        }
        if (options_ended_ || arg[0] != '-' || arg[1] == '\0') {
            argv_[operands_++] = arg;  // never past next_, so nothing unread is overwritten
            continue;
        }
        return arg[1] == '-' ? MatchLong(arg + 2, option, value, error) : MatchShort(arg, option, value, error);
    }
    return 0;
}

int ArgParser::MatchLong(const char* arg, int* option, const char** value, Message* error) {
    const char* equals = std::strchr(arg, '=');
    const size_t length = equals ? static_cast<size_t>(equals - arg) : std::strlen(arg);
    for (int i = 0; i < rule_count_; ++i) {
        const char* name = rules_[i].long_name;
        if (!name || std::strlen(name) != length || std::strncmp(name, arg, length) != 0) continue;
        *option = i;
        *value = nullptr;
        if (!rules_[i].takes_value) {
            if (!equals) return 1;
            Format(error, "option '--%s' takes no value", name);
            return -1;
        }
        if (equals) {
            *value = equals + 1;
        } else if (next_ < argc_) {
            *value = argv_[next_++];
        } else {
            Format(error, "option '--%s' needs a value", name);
            return -1;
        }
        return 1;
    }
    Format(error, "unknown option '--%.*s'", static_cast<int>(length), arg);
    return -1;
}

int ArgParser::MatchShort(const char* arg, int* option, const char** value, Message* error) {
    for (int i = 0; i < rule_count_; ++i) {
        if (rules_[i].short_name != arg[1]) continue;
        *option = i;
        *value = nullptr;
        if (!rules_[i].takes_value) {
            if (arg[2] == '\0') return 1;
            Format(error, "option '-%c' takes no value (in '%s')", arg[1], arg);
            return -1;
        }
        if (arg[2] != '\0') {
            *value = arg + 2;
        } else if (next_ < argc_) {
            *value = argv_[next_++];
        } else {
            Format(error, "option '-%c' needs a value", arg[1]);
            return -1;
        }
        return 1;
    }
    Format(error, "unknown option '%s'", arg);
    return -1;
}

}  // namespace qavren::cli
