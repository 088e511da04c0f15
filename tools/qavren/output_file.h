// OutputFile: where a picture goes, written with plain write(2) calls so that
// a failure is reported in the system's words ("No space left on device").
//
// - kReplace (render): the picture is written under a hidden temporary name
//   in the target's own directory and renamed over the target once every
//   byte is out, so a failure or an interruption leaves an earlier file as
//   it was. A symlink named as the target is followed: its target is
//   replaced and the link stays. An existing target keeps its mode.
// - kInPlace (thumbnail): the named file itself is truncated and written.
//   A desktop's thumbnail service may create that file, keep it open and
//   read the picture back through its own descriptor, which a rename would
//   leave on the old, empty file. On failure the file is emptied again, or
//   removed when this command created it. A symlink is written through.
// - The name "-" is standard output, for either mode.
#pragma once

#include <climits>
#include <cstddef>

#include "tools/qavren/message.h"

namespace qavren::cli {

enum class WriteMode { kReplace, kInPlace };

// "-" as a file name: standard input or output.
bool IsStandardStream(const char* path);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Discard(); }

    // False with the reason worded.
    bool Open(const char* path, WriteMode mode, Message* error);
    // Writes all of `size` bytes; after the first failure every call fails
    // and the reason waits for Commit.
    bool Write(const void* data, size_t size);
    // Finishes the file; false with the reason worded, the file then
    // discarded. `why` (may be null) words a failure found by the caller.
    bool Commit(Message* error, const char* why = nullptr);
    void Discard();

private:
    void Close();
    bool Fail(Message* error, const char* why);

    int fd_ = -1;
    WriteMode mode_ = WriteMode::kReplace;
    bool created_ = false;  // kInPlace: the file did not exist before
    int errno_ = 0;         // the first write failure
    int slot_ = -1;         // the file's entry in the signal handler's list
    const char* path_ = nullptr;
    char target_[PATH_MAX] = "";  // the file written (kInPlace) or replaced (kReplace), links followed
    char temp_[PATH_MAX] = "";    // kReplace: the file written
};

}  // namespace qavren::cli
