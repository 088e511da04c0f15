// The object's turn: a flock on the object file, polled so that a stuck
// holder cannot stall the run, and handed to a detached helper process at
// the end.
#include "tools/qavren/turns.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/qavren/output_file.h"

namespace qavren::cli {
namespace {

constexpr int kPollMs = 10;

void SleepMs(long ms) {
    struct timespec left = {ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace

bool ObjectTurn::Take(const char* path) {
    Release();
    if (IsStandardStream(path)) return false;
    // O_NONBLOCK: a FIFO named as the object must not block the open.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (fd < 0) return false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    for (int waited = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; waited += kPollMs) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kTurnWaitMs) {
            ::close(fd);
            return false;
        }
        SleepMs(kPollMs);
    }
    fd_ = fd;
    return true;
}

void ObjectTurn::KeepAfterExit() {
    if (fd_ < 0) return;
    // The helper shares the lock (it belongs to the open file, which the
    // helper inherits) and holds no other file: whoever waits for this
    // process's output or end is not kept waiting.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        for (int fd = 0; fd < 3; ++fd) ::close(fd);
        ::close_range(3, fd_ - 1, 0);
        ::close_range(fd_ + 1, ~0U, 0);
        SleepMs(kTurnGapMs);
        ::_exit(0);
    }
    Release();  // forked or not, this process lets go of its own descriptor
}

void ObjectTurn::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace qavren::cli
