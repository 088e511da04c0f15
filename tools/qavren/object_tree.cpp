// A depth-first walk with opendir/readdir; the names of one folder are
// gathered and sorted before any is visited, so that the order does not
// depend on the file system.
#include "tools/qavren/object_tree.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qavren::cli {
namespace {

constexpr size_t kHeaderSize = 12;

int CompareBytes(const void* a, const void* b) {
    return std::strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}

bool NamedLwo(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && strcasecmp(dot, ".lwo") == 0;
}

// 1 an object, 0 not one, -1 unreadable.
int HoldsObject(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    unsigned char head[kHeaderSize];
    size_t got = 0;
    while (got < kHeaderSize) {
        const ssize_t n = ::read(fd, head + got, kHeaderSize - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return HasObjectHeader(head, got) ? 1 : 0;
}

// The folder's entries as full paths, sorted. Kept apart from Walk so that
// the path buffer is not on the stack once per level of the walk.
bool ListFolder(const char* folder, PathList* entries, Message* error, bool* unreadable) {
    DIR* dir = ::opendir(folder);
    if (!dir) {
        if (!*unreadable) Format(error, "cannot read folder %s: %s", folder, std::strerror(errno));
        *unreadable = true;
        return true;
    }
    const size_t folder_length = std::strlen(folder);
    const bool slash = folder_length > 0 && folder[folder_length - 1] == '/';
    bool ok = true;
    char path[PATH_MAX];
    while (struct dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const int n = std::snprintf(path, sizeof path, "%s%s%s", folder, slash ? "" : "/", e->d_name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof path) {
            Format(error, "%s/%s: the path is too long", folder, e->d_name);
            ok = false;
            break;
        }
        if (!entries->Add(path, static_cast<size_t>(n))) {
            Format(error, "not enough memory to list %s", folder);
            ok = false;
            break;
        }
    }
    ::closedir(dir);
    entries->SortFrom(0);
    return ok;
}

bool Walk(const char* folder, PathList* found, Message* error, bool* unreadable) {
    PathList entries;
    bool ok = ListFolder(folder, &entries, error, unreadable);
    for (int k = 0; ok && k < entries.count(); ++k) {
        const char* entry = entries.paths()[k];
        struct stat st;
        if (::lstat(entry, &st) != 0) continue;  // gone since it was listed
        if (S_ISDIR(st.st_mode)) {
            ok = Walk(entry, found, error, unreadable);
            continue;
        }
        if (S_ISLNK(st.st_mode) && (::stat(entry, &st) != 0 || !S_ISREG(st.st_mode))) continue;
        if (!S_ISREG(st.st_mode)) continue;
        const int object = HoldsObject(entry);
        if (object == 1 || (object < 0 && NamedLwo(entry))) {
            if (!found->Add(entry, std::strlen(entry))) {
                Format(error, "not enough memory to list the objects below %s", folder);
                ok = false;
            }
        }
    }
    return ok;
}

}  // namespace

PathList::~PathList() {
    for (int k = 0; k < count_; ++k) std::free(paths_[k]);
    std::free(paths_);
}

bool PathList::Add(const char* path, size_t length) {
    if (count_ == capacity_) {
        if (capacity_ > INT_MAX / 2 - 8) return false;
        const int grown = capacity_ ? 2 * capacity_ : 16;
        auto* larger = static_cast<char**>(std::realloc(paths_, static_cast<size_t>(grown) * sizeof(char*)));
        if (!larger) return false;
        paths_ = larger;
        capacity_ = grown;
    }
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return false;
    std::memcpy(copy, path, length);
    copy[length] = '\0';
    paths_[count_++] = copy;
    return true;
}

void PathList::SortFrom(int from) {
    if (count_ - from > 1) std::qsort(paths_ + from, static_cast<size_t>(count_ - from), sizeof(char*), CompareBytes);
}

bool HasObjectHeader(const unsigned char* bytes, size_t size) {
    if (size < kHeaderSize || std::memcmp(bytes, "FORM", 4) != 0) return false;
    const unsigned char* type = bytes + 8;
    return std::memcmp(type, "LWOB", 4) == 0 || std::memcmp(type, "LWLO", 4) == 0 ||
           std::memcmp(type, "LWO2", 4) == 0 || std::memcmp(type, "LWO3", 4) == 0;
}

bool FindObjects(const char* folder, PathList* found, Message* error, bool* unreadable) {
    return Walk(folder, found, error, unreadable);
}

}  // namespace qavren::cli
