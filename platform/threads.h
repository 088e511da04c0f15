// Worker threads: started and joined by their caller, never thrown across
// our code. A thread that cannot be started is a false result, after which
// the caller does the work itself.
#pragma once

#include <cstdint>

namespace qavren::platform {

using ThreadMain = void (*)(void* context);

// One worker. The destructor joins it, so no thread outlives its owner.
class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread() { Join(); }

    // Starts main(context) on a new thread; false, with nothing started,
    // when the system refuses one (or the test hook below says so).
    bool Start(ThreadMain main, void* context);
    // Waits until the thread has returned; nothing when none was started.
    void Join();

    // What the new thread runs: main(context) of the WorkerThread `self`.
    static void Run(void* self) {
        const auto* worker = static_cast<const WorkerThread*>(self);
        worker->main_(worker->context_);
    }

private:
    uint64_t handle_ = 0;  // a pthread_t or a thread HANDLE
    bool started_ = false;
    ThreadMain main_ = nullptr;
    void* context_ = nullptr;
};

// The processors this process may run on, at least 1.
int32_t ProcessorCount();

// Test hook: makes the thread start `n` calls from now fail (1 = the next
// one) and every one after it, until called with 0.
void FailThreadStartsAfter(uint32_t n);

}  // namespace qavren::platform
