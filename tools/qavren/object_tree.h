// The LightWave objects below a folder, for `render -r`: every regular file
// whose first twelve bytes are the FORM header of one of the four forms
// (LWOB, LWLO, LWO2, LWO3), whatever its name, plus the files named *.lwo
// in any case that cannot be read (so that their failure is reported, not
// passed over). Symlinks to files count; symlinks to folders are not
// followed, so that a link cannot lead the walk in a circle.
#pragma once

#include <cstddef>

#include "tools/qavren/message.h"

namespace qavren::cli {

// A growing list of paths, each its own allocation.
class PathList {
public:
    PathList() = default;
    PathList(const PathList&) = delete;
    PathList& operator=(const PathList&) = delete;
    ~PathList();

    // False when memory runs out (the list is then as it was).
    bool Add(const char* path, size_t length);
    int count() const { return count_; }
    char** paths() const { return paths_; }
    // Sorts paths [from, count) by bytes.
    void SortFrom(int from);

private:
    char** paths_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};

// True when the file's first bytes are those of a LightWave object.
bool HasObjectHeader(const unsigned char* bytes, size_t size);

// Appends the objects below `folder` to *found, folder by folder in byte
// order of the names. A folder that cannot be read is worded in *error
// (the walk goes on, the first such folder is named); false only when
// memory runs out or a path grows too long, worded in *error too.
bool FindObjects(const char* folder, PathList* found, Message* error, bool* unreadable);

}  // namespace qavren::cli
