// Message: one fixed-size line of text for errors and reports, so that
// wording a failure never allocates and never fails.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace qavren::cli {

struct Message {
    char text[768] = "";
};

// printf into the message; text that does not fit is cut.
inline void Format(Message* m, const char* format, ...) __attribute__((format(printf, 2, 3)));
inline void Format(Message* m, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(m->text, sizeof m->text, format, args);
    va_end(args);
}

}  // namespace qavren::cli
