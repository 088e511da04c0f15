// File access for the object loaders: open for reading, size, seek, read,
// close. Win32 in the plug-in, POSIX natively, with the same results.
#pragma once

#include <cstdint>

namespace qavren::platform {

// The platform's file handle: a Win32 HANDLE or a POSIX descriptor.
#ifdef _WIN32
using NativeFile = void*;
#else
using NativeFile = intptr_t;
#endif

// An open file owned by the caller; closed on destruction.
class File {
public:
    // Opens an existing file for reading. Other readers may have it open;
    // on Windows a writer holding it makes the open fail (POSIX has no such
    // sharing modes: there the file is read as it stands).
    static File OpenForReading(const char* path);
#ifdef _WIN32
    static File OpenForReading(const wchar_t* path);
#endif

    File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File& operator=(File&&) = delete;
    ~File();

    bool IsOpen() const { return handle_ != kInvalid; }
    NativeFile handle() const { return handle_; }

private:
#ifdef _WIN32
    static inline NativeFile const kInvalid = reinterpret_cast<NativeFile>(static_cast<intptr_t>(-1));
#else
    static constexpr NativeFile kInvalid = -1;
#endif
    explicit File(NativeFile handle) : handle_(handle) {}
    NativeFile handle_;
};

// Operations on an open handle, owned or borrowed. Each reports success.
bool FileSize(NativeFile file, uint64_t* size);
bool SeekFromStart(NativeFile file, uint64_t offset);
// True only when exactly `length` bytes were read.
bool ReadExact(NativeFile file, void* destination, uint32_t length);

}  // namespace qavren::platform
