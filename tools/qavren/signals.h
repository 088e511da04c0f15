// Clean interruption. While pictures are written, SIGINT, SIGTERM and SIGHUP
// remove the temporary files then being written, clear the progress line and
// end the process as the signal would have. A signal the parent left ignored
// (nohup, a non-interactive shell's background job) stays ignored.
#pragma once

#include <csignal>

namespace qavren::cli {

// At most one file per job is being written at a time.
constexpr int kMaxPendingFiles = 64;

void InstallSignalHandlers();

// Makes a file with `create(path)`, which returns its descriptor or -1 (and
// may rewrite `path`, as mkstemp does), and lists the file for removal if a
// signal ends the process; *slot gets its entry, or -1 when every entry is
// taken (the file is then simply not removed). Once a signal has come no new
// file is made: the calling thread waits for the end.
int CreateRemovableFile(char* path, int (*create)(char* path), int* slot);
// The file is finished or gone: it is no longer removed on a signal. Call it
// with the interruptions blocked together with the step that finished or
// removed the file.
void RemovePendingFile(int slot);

// Keeps the interrupting signals off the calling thread and the threads it
// starts until RestoreSignalMask, so that the handler runs on a thread that
// did not block them. *previous keeps the mask as it was.
void BlockInterruptions(sigset_t* previous);
void RestoreSignalMask(const sigset_t& previous);

// What the handler writes to standard error to clear a shown progress line;
// null when no line is shown. The text must outlive the call.
void SetLineToClear(const char* clear_sequence);

}  // namespace qavren::cli
