// Runs of `qavren thumbnail --take-turns` for one object take turns, and
// each finishes more than a second after the one before it.
//
// A file manager zoomed in queues the same files several times at once, and
// a thumbnail service (tumbler) then runs the thumbnailer for one object in
// several threads together. tumbler saves each result through a temporary
// file named after the thumbnail and the current second, so two saves of one
// object in the same second share that file: one fails ("Could not save
// thumbnail"), the other may leave it behind in the cache. The thumbnailer
// cannot see the service's cache, but it can keep its own runs for one
// object apart: a run holds an exclusive lock on the object file (flock)
// while it draws and writes, and a helper process it leaves behind keeps the
// lock kTurnGapMs longer, so that the next run for the object ends, and the
// service saves its result, in a later second. Runs for other objects never
// wait.
#pragma once

namespace qavren::cli {

// How long a finished run keeps the object's turn.
constexpr int kTurnGapMs = 1200;
// The longest a run waits for its turn before it goes ahead anyway (a lock
// held by some other program must not stall the thumbnailer).
constexpr int kTurnWaitMs = 5000;

class ObjectTurn {
public:
    ObjectTurn() = default;
    ObjectTurn(const ObjectTurn&) = delete;
    ObjectTurn& operator=(const ObjectTurn&) = delete;
    ~ObjectTurn() { Release(); }

    // Waits for the turn of the object file at `path`. Without a lock (standard
    // input, not a regular file, a file system without locks, a wait that ran
    // out) the run simply goes ahead; false then.
    bool Take(const char* path);
    // The run has written its picture: a helper keeps the turn kTurnGapMs
    // after this process ends, then lets it go.
    void KeepAfterExit();
    // Lets the turn go now (a run that failed leaves nothing to save).
    void Release();

private:
    int fd_ = -1;
};

}  // namespace qavren::cli
