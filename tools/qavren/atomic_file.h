// AtomicFile: an output file that appears whole or not at all. It is written
// under a hidden temporary name in the target's own directory (so that the
// final rename stays on one file system) and renamed over the target only
// once every byte is out; otherwise the temporary file is removed, also when
// the process is interrupted by SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <climits>
#include <cstdio>

#include "tools/qavren/message.h"

namespace qavren::cli {

class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile() { Discard(); }

    // Creates the temporary file for `path`; false with the reason worded.
    bool Open(const char* path, Message* error);
    FILE* stream() const { return stream_; }
    // Closes and renames into place; false with the reason worded, the
    // temporary file then removed.
    bool Commit(Message* error);
    void Discard();

private:
    FILE* stream_ = nullptr;
    const char* path_ = nullptr;
    char temp_[PATH_MAX] = "";
};

// Installs the signal handlers that remove an open temporary file, and
// turns an exceeded file-size limit into a write error.
void RemoveTemporaryFileOnSignal();

}  // namespace qavren::cli
