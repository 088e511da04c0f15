// Listing a folder on POSIX systems. opendir opens with O_DIRECTORY, so a
// FIFO or device named as a folder fails at once instead of blocking.
#include <dirent.h>
#include <cstring>

#include "platform/folders.h"

namespace qavren::platform {

bool ListFolder(const char* folder, bool (*visit)(void* context, const char* name), void* context) {
    DIR* dir = ::opendir(folder);
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (!visit(context, entry->d_name)) break;
    }
    ::closedir(dir);
    return true;
}

}  // namespace qavren::platform
