// Listing a folder on Windows, in the ANSI code page.
#include <windows.h>
#include <cstring>

#include "platform/folders.h"

namespace qavren::platform {

bool ListFolder(const char* folder, bool (*visit)(void* context, const char* name), void* context) {
    char pattern[MAX_PATH + 8];
    const size_t length = std::strlen(folder);
    if (length + 3 > sizeof pattern) return false;
    std::memcpy(pattern, folder, length);
    std::memcpy(pattern + length, "\\*", 3);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        if (!visit(context, found.cFileName)) break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

}  // namespace qavren::platform
