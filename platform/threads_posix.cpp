// POSIX worker threads for the native build.
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "platform/threads.h"
#include "platform/threads_internal.h"

namespace qavren::platform {

static_assert(sizeof(pthread_t) <= sizeof(uint64_t), "a pthread_t fits the handle");

bool WorkerThread::Start(ThreadMain main, void* context) {
    if (started_ || ShouldFailThreadStart()) return false;
    main_ = main;
    context_ = context;
    const auto run = [](void* self) -> void* {
        Run(self);
        return nullptr;
    };
    pthread_t thread;
    if (::pthread_create(&thread, nullptr, run, this) != 0) return false;
    handle_ = static_cast<uint64_t>(thread);
    started_ = true;
    return true;
}

void WorkerThread::Join() {
    if (!started_) return;
    ::pthread_join(static_cast<pthread_t>(handle_), nullptr);
    started_ = false;
}

int32_t ProcessorCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int32_t>(online) : 1;
}

}  // namespace qavren::platform
