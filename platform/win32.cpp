// Win32 file access and local memory for the plug-in.
#include "platform/file.h"
#include "platform/memory.h"
#include "platform/memory_internal.h"

#include <windows.h>

namespace qavren::platform {

// Only files on disk: a pipe, console or device named as an object could
// block the read or never end.
static HANDLE DiskFileOrInvalid(HANDLE h) {
    if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// Read sharing, so that a file the viewer itself holds open still loads;
// a writer holding the file still makes the open fail.
File File::OpenForReading(const char* path) {
    return File(DiskFileOrInvalid(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)));
}

File File::OpenForReading(const wchar_t* path) {
    return File(DiskFileOrInvalid(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)));
}

File::~File() {
    if (IsOpen()) CloseHandle(handle_);
}

bool FileSize(NativeFile file, uint64_t* size) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(file, &li) || li.QuadPart < 0) return false;
    *size = static_cast<uint64_t>(li.QuadPart);
    return true;
}

bool SeekFromStart(NativeFile file, uint64_t offset) {
    LARGE_INTEGER li;
    li.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, li, nullptr, FILE_BEGIN) != 0;
}

bool ReadExact(NativeFile file, void* destination, uint32_t length) {
    auto* out = static_cast<uint8_t*>(destination);
    uint32_t done = 0;
    while (done < length) {
        DWORD n = 0;
        if (!ReadFile(file, out + done, length - done, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

void* AllocateZeroed(size_t size) {
    if (ShouldFailAllocation()) return nullptr;
    void* block = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size ? size : 1);
    if (block) CountBlock(1);
    return block;
}

void Free(void* block) {
    if (!block) return;
    CountBlock(-1);
    LocalFree(block);
}

void* AllocateForHost(size_t size) {
    if (ShouldFailAllocation()) return nullptr;
    void* block = LocalAlloc(LMEM_FIXED, size ? size : 1);
    if (block) CountBlock(1);
    return block;
}

void FreeHostBlock(void* block) { Free(block); }

}  // namespace qavren::platform
