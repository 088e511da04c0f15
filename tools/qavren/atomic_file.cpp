// Temporary-name writing and the rename that publishes a finished file.
#include "tools/qavren/atomic_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>

namespace qavren::cli {
namespace {

// The one temporary file a signal handler may have to remove. Only one
// output is open at a time, and the handler reads nothing else.
char g_pending[PATH_MAX];
volatile sig_atomic_t g_pending_set = 0;

void RemovePendingAndDie(int signal_number) {
    if (g_pending_set) ::unlink(g_pending);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// mkstemp makes the file 0600; a finished picture gets the mode any new file
// would get from the umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool AtomicFile::Open(const char* path, Message* error) {
    Discard();
    const char* slash = std::strrchr(path, '/');
    const int dir_length = slash ? static_cast<int>(slash - path + 1) : 0;
    const int n = std::snprintf(temp_, sizeof temp_, "%.*s.%s.XXXXXX", dir_length, path,
                                slash ? slash + 1 : path);
    if (n < 0 || static_cast<size_t>(n) >= sizeof temp_) {
        Format(error, "cannot write %s: the path is too long", path);
        return false;
    }
    const int fd = ::mkstemp(temp_);
    if (fd < 0) {
        Format(error, "cannot write %s: %s", path, std::strerror(errno));
        return false;
    }
    std::memcpy(g_pending, temp_, sizeof g_pending);
    g_pending_set = 1;
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        Format(error, "cannot write %s: %s", path, std::strerror(errno));
        ::close(fd);
        Discard();
        return false;
    }
    path_ = path;
    return true;
}

bool AtomicFile::Commit(Message* error) {
    if (!stream_) return false;
    const bool written = !std::ferror(stream_) && std::fflush(stream_) == 0 &&
                         ::fchmod(::fileno(stream_), NewFileMode()) == 0;
    const int saved = errno;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written || !closed) {
        Format(error, "cannot write %s: %s", path_, std::strerror(written ? errno : saved));
        Discard();
        return false;
    }
    if (::rename(temp_, path_) != 0) {
        Format(error, "cannot write %s: %s", path_, std::strerror(errno));
        Discard();
        return false;
    }
    g_pending_set = 0;
    temp_[0] = '\0';
    return true;
}

void AtomicFile::Discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    g_pending_set = 0;
    if (temp_[0]) ::unlink(temp_);
    temp_[0] = '\0';
}

void RemoveTemporaryFileOnSignal() {
    for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, RemovePendingAndDie);
    // A file-size limit then fails the write with EFBIG, which is reported
    // and cleaned up, instead of killing the process mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace qavren::cli
