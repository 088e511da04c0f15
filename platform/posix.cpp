// POSIX file access and memory for the native build.
#include "platform/file.h"
#include "platform/memory.h"
#include "platform/memory_internal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qavren::platform {

// Opened without blocking, so that a FIFO or a device named as an object
// cannot hang the caller; only regular files are kept, then read blocking.
File File::OpenForReading(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return File(kInvalid);
    struct stat st;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return File(kInvalid);
    }
    return File(fd);
}

File::~File() {
    if (IsOpen()) ::close(static_cast<int>(handle_));
}

bool FileSize(NativeFile file, uint64_t* size) {
    struct stat st;
    if (::fstat(static_cast<int>(file), &st) != 0 || st.st_size < 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool SeekFromStart(NativeFile file, uint64_t offset) {
    return ::lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool ReadExact(NativeFile file, void* destination, uint32_t length) {
    auto* out = static_cast<uint8_t*>(destination);
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::read(static_cast<int>(file), out + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<uint32_t>(n);
    }
    return true;
}

void* AllocateZeroed(size_t size) {
    if (ShouldFailAllocation()) return nullptr;
    void* block = std::calloc(size ? size : 1, 1);
    if (block) CountBlock(1);
    return block;
}

void Free(void* block) {
    if (!block) return;
    CountBlock(-1);
    std::free(block);
}

void* AllocateForHost(size_t size) {
    if (ShouldFailAllocation()) return nullptr;
    void* block = std::malloc(size ? size : 1);
    if (block) CountBlock(1);
    return block;
}

void FreeHostBlock(void* block) { Free(block); }

}  // namespace qavren::platform
