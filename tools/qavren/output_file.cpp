// The three ways a picture reaches its file, and the symlink walk.
#include "tools/qavren/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/qavren/signals.h"

namespace qavren::cli {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit on a path walk

// The mode any new file gets from the umask.
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The file that `path` names once symlinks are followed, the last one
// possibly not existing yet (a dangling link is written through as well).
bool FollowLinks(const char* path, char* out, size_t size) {
    if (std::snprintf(out, size, "%s", path) >= static_cast<int>(size)) return false;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat st;
        if (::lstat(out, &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(out, link, sizeof link - 1);
        if (n < 0) return true;
        link[n] = '\0';
        const char* slash = std::strrchr(out, '/');
        const int dir_length = link[0] != '/' && slash ? static_cast<int>(slash - out + 1) : 0;
        char next[PATH_MAX];
        if (std::snprintf(next, sizeof next, "%.*s%s", dir_length, out, link) >= static_cast<int>(sizeof next)) {
            return false;
        }
        std::memcpy(out, next, sizeof next < size ? sizeof next : size);
    }
    errno = ELOOP;
    return false;
}

int CreateNew(char* path) { return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
int CreateTemporary(char* path) { return ::mkostemp(path, O_CLOEXEC); }

}  // namespace

bool IsStandardStream(const char* path) { return path[0] == '-' && path[1] == '\0'; }

bool OutputFile::Open(const char* path, WriteMode mode, Message* error) {
    Discard();
    path_ = path;
    mode_ = mode;
    errno_ = 0;
    target_[0] = '\0';
    if (IsStandardStream(path)) {
        fd_ = STDOUT_FILENO;
        return true;
    }
    errno = ENAMETOOLONG;
    if (!FollowLinks(path, target_, sizeof target_)) return Fail(error, nullptr);
    if (mode == WriteMode::kInPlace) {
        fd_ = CreateRemovableFile(target_, CreateNew, &slot_);
        created_ = fd_ >= 0;
        if (fd_ < 0 && errno == EEXIST) fd_ = ::open(target_, O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd_ < 0) return Fail(error, nullptr);
        return true;
    }
    const char* slash = std::strrchr(target_, '/');
    const int dir_length = slash ? static_cast<int>(slash - target_ + 1) : 0;
    const int n = std::snprintf(temp_, sizeof temp_, "%.*s.%s.XXXXXX", dir_length, target_,
                                slash ? slash + 1 : target_);
    if (n < 0 || static_cast<size_t>(n) >= sizeof temp_) {
        temp_[0] = '\0';
        return Fail(error, "the path is too long");
    }
    fd_ = CreateRemovableFile(temp_, CreateTemporary, &slot_);
    if (fd_ < 0) {
        temp_[0] = '\0';
        return Fail(error, nullptr);
    }
    return true;
}

bool OutputFile::Write(const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0 && errno_ == 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            errno_ = n < 0 ? errno : EIO;
            break;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return errno_ == 0;
}

bool OutputFile::Commit(Message* error, const char* why) {
    if (fd_ < 0) return false;
    if (why || errno_) {
        errno = errno_;
        return Fail(error, why);
    }
    if (fd_ == STDOUT_FILENO) {
        fd_ = -1;  // standard output stays open for whoever reads on
        return true;
    }
    if (mode_ == WriteMode::kReplace) {
        struct stat st;
        const mode_t mode = ::stat(target_, &st) == 0 ? st.st_mode & 07777 : NewFileMode();
        if (::fchmod(fd_, mode) != 0) return Fail(error, nullptr);
    }
    const int fd = fd_;
    fd_ = -1;
    // Finished, renamed and unlisted with the signals held off: the handler
    // sees the file either listed under its temporary name or committed.
    sigset_t mask;
    BlockInterruptions(&mask);
    const bool committed = ::close(fd) == 0 &&  // NFS reports a full disk here
                           (mode_ != WriteMode::kReplace || ::rename(temp_, target_) == 0);
    if (committed) RemovePendingFile(slot_);
    const int saved = errno;
    RestoreSignalMask(mask);
    errno = saved;
    if (!committed) return Fail(error, nullptr);
    slot_ = -1;
    temp_[0] = '\0';
    created_ = false;
    return true;
}

bool OutputFile::Fail(Message* error, const char* why) {
    const int saved = errno;
    if (IsStandardStream(path_)) {
        Format(error, "cannot write to standard output: %s", why ? why : std::strerror(saved));
    } else if (target_[0] && std::strcmp(target_, path_) != 0) {
        // Through a symlink: the file that failed is its target, which may
        // be missing altogether.
        Format(error, "cannot write %s (a symlink to %s): %s", path_, target_, why ? why : std::strerror(saved));
    } else {
        Format(error, "cannot write %s: %s", path_, why ? why : std::strerror(saved));
    }
    Discard();
    return false;
}

void OutputFile::Close() {
    if (fd_ >= 0 && fd_ != STDOUT_FILENO) ::close(fd_);
    fd_ = -1;
}

void OutputFile::Discard() {
    if (mode_ == WriteMode::kInPlace && fd_ >= 0 && !created_ && fd_ != STDOUT_FILENO) {
        const int ignored = ::ftruncate(fd_, 0);
        (void)ignored;
    }
    Close();
    sigset_t mask;
    BlockInterruptions(&mask);  // unlisted with its name freed: no other file's name can be unlinked
    if (mode_ == WriteMode::kInPlace && created_) ::unlink(target_);
    if (temp_[0]) ::unlink(temp_);
    RemovePendingFile(slot_);
    RestoreSignalMask(mask);
    slot_ = -1;
    temp_[0] = '\0';
    created_ = false;
}

}  // namespace qavren::cli
