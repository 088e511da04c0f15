// Worker threads in a browser: the module is built without shared memory,
// so each Web Worker running it is one thread. No thread is ever started;
// the callers then do all the work themselves, on the calling thread, which
// is what their contract promises for a refused thread.
#include "platform/threads.h"

namespace qavren::platform {

bool WorkerThread::Start(ThreadMain, void*) { return started_; }

void WorkerThread::Join() {
    started_ = false;
    handle_ = 0;
}

// The page runs one module per processor, each on one thread.
int32_t ProcessorCount() { return 1; }

}  // namespace qavren::platform
