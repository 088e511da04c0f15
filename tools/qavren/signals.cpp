// The signal handler and the table of files it removes. The handler calls
// only async-signal-safe functions (unlink, write, sigaction, raise) and
// lock-free atomics, and reads only slots whose names are complete. A thread
// making a file and listing it, or committing a file and unlisting it, keeps
// the signals blocked meanwhile, so the handler never runs between the two
// steps on that thread. Worker threads go on while it runs on another: it
// first stops new files being made, then waits until no thread is between
// making a file and listing it.
#include "tools/qavren/signals.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <pthread.h>
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
std::atomic<bool> g_stopping{false};
std::atomic<int> g_creating{0};  // threads between making a file and listing it

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

void RemovePendingAndDie(int signal_number) {
    g_stopping.store(true);
    while (g_creating.load() != 0) {  // never this thread: it blocks the signals meanwhile
    }
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

int CreateRemovableFile(char* path, int (*create)(char* path), int* slot) {
    *slot = -1;
    sigset_t mask;
    BlockInterruptions(&mask);
    g_creating.fetch_add(1);
    if (g_stopping.load()) {
        g_creating.fetch_sub(1);
        for (;;) ::pause();  // the handler, on another thread, is ending the process
    }
    const int fd = create(path);
    for (int k = 0; fd >= 0 && *slot < 0 && k < kMaxPendingFiles && std::strlen(path) < PATH_MAX; ++k) {
        bool expected = false;
        if (!g_pending[k].taken.compare_exchange_strong(expected, true)) continue;
        std::strcpy(g_pending[k].path, path);
        g_pending[k].named = 1;
        *slot = k;
    }
    g_creating.fetch_sub(1);
    const int saved = errno;
    RestoreSignalMask(mask);  // a signal that came meanwhile is handled here, the file listed
    errno = saved;
    return fd;
}

void BlockInterruptions(sigset_t* previous) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kInterruptions) sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, previous);
}

void RestoreSignalMask(const sigset_t& previous) { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

void RemovePendingFile(int slot) {
    if (slot < 0) return;
    g_pending[slot].named = 0;
    g_pending[slot].taken.store(false);
}

void SetLineToClear(const char* clear_sequence) { g_clear_line.store(clear_sequence); }

}  // namespace qavren::cli
