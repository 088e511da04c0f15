// The batch progress line on a terminal.
#include "tools/qavren/progress.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

#include "tools/qavren/signals.h"

namespace qavren::cli {
namespace {

constexpr const char kClearAnsi[] = "\r\033[K";

bool TerminalTakesEscapes() {
    const char* term = std::getenv("TERM");
    return term && term[0] && std::strcmp(term, "dumb") != 0;
}

}  // namespace

ProgressLine::ProgressLine(int total, bool enabled) : total_(total) {
    enabled_ = enabled && total > 1 && ::isatty(STDERR_FILENO);
    plain_ = !TerminalTakesEscapes();
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
    const int now = used + static_cast<int>(std::strlen(shown));
    if (plain_) {
        // Blanks cover what the longer old line leaves past the new one.
        std::fprintf(stderr, "\r%s%s%*s", counter, shown, shown_length_ > now ? shown_length_ - now : 0, "");
    } else {
        std::fprintf(stderr, "%s%s%s", kClearAnsi, counter, shown);
        SetLineToClear(kClearAnsi);
    }
    std::fflush(stderr);
    shown_length_ = now;
}

void ProgressLine::Clear() {
    if (shown_length_ == 0) return;
    SetLineToClear(nullptr);
    if (plain_) {
        std::fprintf(stderr, "\r%*s\r", shown_length_, "");
    } else {
        std::fputs(kClearAnsi, stderr);
    }
    std::fflush(stderr);
    shown_length_ = 0;
}

}  // namespace qavren::cli
