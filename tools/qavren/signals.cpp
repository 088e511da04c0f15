// The signal handler and the table of files it removes. The handler calls
// only async-signal-safe functions (unlink, write, sigaction, raise) and
// reads only slots whose names are complete.
#include "tools/qavren/signals.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace qavren::cli {
namespace {

struct PendingFile {
    std::atomic<bool> taken{false};
    volatile sig_atomic_t named = 0;  // set once `path` is complete
    char path[PATH_MAX];
};

PendingFile g_pending[kMaxPendingFiles];
std::atomic<const char*> g_clear_line{nullptr};

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

void RemovePendingAndDie(int signal_number) {
    for (PendingFile& p : g_pending) {
        if (p.named) ::unlink(p.path);
    }
    if (const char* clear = g_clear_line.load()) {
        const ssize_t ignored = ::write(STDERR_FILENO, clear, std::strlen(clear));
        (void)ignored;
    }
    struct sigaction deflt = {};
    deflt.sa_handler = SIG_DFL;
    ::sigaction(signal_number, &deflt, nullptr);
    ::raise(signal_number);
}

}  // namespace

void InstallSignalHandlers() {
    struct sigaction action = {};
    action.sa_handler = RemovePendingAndDie;
    sigfillset(&action.sa_mask);  // one cleanup at a time
    for (int s : kInterruptions) {
        struct sigaction current;
        if (::sigaction(s, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(s, &action, nullptr);
    }
    // A file-size limit then fails the write with EFBIG, which is reported
    // and cleaned up, instead of killing the process mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
}

int AddPendingFile(const char* path) {
    if (std::strlen(path) >= PATH_MAX) return -1;
    for (int k = 0; k < kMaxPendingFiles; ++k) {
        bool expected = false;
        if (!g_pending[k].taken.compare_exchange_strong(expected, true)) continue;
        std::strcpy(g_pending[k].path, path);
        g_pending[k].named = 1;
        return k;
    }
    return -1;
}

void RemovePendingFile(int slot) {
    if (slot < 0) return;
    g_pending[slot].named = 0;
    g_pending[slot].taken.store(false);
}

void SetLineToClear(const char* clear_sequence) { g_clear_line.store(clear_sequence); }

}  // namespace qavren::cli
