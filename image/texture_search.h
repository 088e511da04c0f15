// Where an image named in an object may lie: the pure rules of the search,
// with no file access, so that they can be checked without a disk.
//
// Names stored in objects are mostly their authors' absolute paths
// (`C:\1\CITY\bus_up.jpg`, `Q:ASSIMP/...`, `PC:storage/.../x.png`), some
// relative to the object or to LightWave's content folder. The places, in
// order (each a folder and a path below it, '/'-separated):
//   1. a relative name below the object's folder, then below the content
//      folder (the parent of the nearest `Objects` folder holding the object);
//   2. the file name (after the last '/', '\' or ':') beside the object, in
//      `Images` beside it, and in the `Images` of up to three parent folders;
//   3. the name's trailing folders and file name (two parts or more, longest
//      first) below the object's folder and up to three parents, which finds
//      an absolute name's file where the tree beside the object repeats the
//      author's own;
//   4. for each folder the caller names: the relative name, the file name,
//      and the file name in its `Images`.
// Each path is then resolved one part at a time with ASCII letters folded
// (SameNameIgnoringCase): LightWave's own file systems ignore case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qavren::texture_search {

// The longest path the search builds; longer ones are skipped.
constexpr size_t kMaxPath = 4096;

// Byte strings equal but for the case of ASCII letters; other bytes (a
// legacy 8-bit name) must match as they are.
bool SameNameIgnoringCase(const char* a, size_t a_length, const char* b, size_t b_length);

// The file name of a stored name: the bytes after its last '/', '\' or ':'.
void FileNameOf(const char* name, size_t length, const char** file, size_t* file_length);

// Receives the places to look, in order; returns true to stop the search.
class PlaceVisitor {
public:
    virtual bool Try(const char* folder, const char* relative) = 0;

protected:
    ~PlaceVisitor() = default;
};

// Hands `visitor` each place for the image stored as `name` (`length` bytes)
// in the object at `object_path`, then in `folder_count` caller folders.
// True when the visitor stopped the search.
bool ForEachPlace(const char* object_path, const char* name, size_t length, const char* const* folders,
                  uint32_t folder_count, PlaceVisitor* visitor);

}  // namespace qavren::texture_search
