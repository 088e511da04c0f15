// The batch progress line on a terminal.
#include "tools/qavren/progress.h"

#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qavren::cli {

ProgressLine::ProgressLine(int total) : total_(total) {
    enabled_ = total > 1 && ::isatty(STDERR_FILENO);
    winsize size;
    if (enabled_ && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) columns_ = size.ws_col;
}

void ProgressLine::Show(int number, const char* name) {
    if (!enabled_) return;
    char counter[32];
    const int used = std::snprintf(counter, sizeof counter, "[%d/%d] ", number, total_);
    // A line longer than the terminal would wrap, and \r would no longer
    // return to its start: show only the end of a long name.
    const int room = columns_ - 1 - used;
    const int length = static_cast<int>(std::strlen(name));
    const char* shown = length > room && room > 0 ? name + (length - room) : name;
    std::fprintf(stderr, "\r\033[K%s%s", counter, shown);
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace qavren::cli
