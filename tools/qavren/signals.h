// Clean interruption. While pictures are written, SIGINT, SIGTERM and SIGHUP
// remove the temporary files then being written, clear the progress line and
// end the process as the signal would have. A signal the parent left ignored
// (nohup, a non-interactive shell's background job) stays ignored.
#pragma once

namespace qavren::cli {

// At most one file per job is being written at a time.
constexpr int kMaxPendingFiles = 64;

void InstallSignalHandlers();

// Names a file to remove if a signal ends the process; returns its slot, or
// -1 when every slot is taken (the file is then simply not removed).
int AddPendingFile(const char* path);
void RemovePendingFile(int slot);

// What the handler writes to standard error to clear a shown progress line;
// null when no line is shown. The text must outlive the call.
void SetLineToClear(const char* clear_sequence);

}  // namespace qavren::cli
