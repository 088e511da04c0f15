// ArgParser: the option syntax people expect of a Unix command (-s 256,
// -s256, --size 256, --size=256, -- ends the options), with the operands
// gathered in place at the front of argv in their order.
#pragma once

#include "tools/qavren/message.h"

namespace qavren::cli {

struct OptionRule {
    char short_name;        // 0 when the option has only a long name
    const char* long_name;  // without the leading dashes
    bool takes_value;
};

class ArgParser {
public:
    // `argv` holds the command's arguments without the command name.
    ArgParser(int argc, char** argv, const OptionRule* rules, int rule_count)
        : argc_(argc), argv_(argv), rules_(rules), rule_count_(rule_count) {}

    // 1 with the index of the next option in *option and its value (or
    // null); 0 when the arguments are used up; -1 on a usage error, worded
    // in *error.
    int Next(int* option, const char** value, Message* error);

    int operand_count() const { return operands_; }
    char** operands() const { return argv_; }

private:
    int MatchLong(const char* arg, int* option, const char** value, Message* error);
    int MatchShort(const char* arg, int* option, const char** value, Message* error);

    int argc_;
    char** argv_;
    const OptionRule* rules_;
    int rule_count_;
    int next_ = 0;
    int operands_ = 0;
    bool options_ended_ = false;
};

}  // namespace qavren::cli
