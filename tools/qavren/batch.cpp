// Worker threads over a shared counter; a ring of outcome slots, each
// reused only after the report has taken it.
#include "tools/qavren/batch.h"

#include <pthread.h>
#include <cstdlib>
#include <unistd.h>

#include "platform/threads.h"
#include "tools/qavren/signals.h"

namespace qavren::cli {
namespace {

constexpr int kWindowPerJob = 4;

struct Slot {
    Outcome outcome;
    bool done = false;
};

struct Shared {
    const BatchWork* work;
    int count;
    int window;
    Slot* slots;
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
    int next = 0;      // the first item no worker has taken
    int reported = 0;  // the items already reported
};

void* Worker(void* arg) {
    auto* s = static_cast<Shared*>(arg);
    for (;;) {
        pthread_mutex_lock(&s->mutex);
        while (s->next < s->count && s->next >= s->reported + s->window) pthread_cond_wait(&s->changed, &s->mutex);
        const int index = s->next < s->count ? s->next++ : -1;
        pthread_mutex_unlock(&s->mutex);
        if (index < 0) return nullptr;
        Slot& slot = s->slots[index % s->window];  // free: the report took index - window
        slot.outcome = Outcome();
        s->work->run(s->work->context, index, &slot.outcome);
        pthread_mutex_lock(&s->mutex);
        slot.done = true;
        pthread_cond_broadcast(&s->changed);
        pthread_mutex_unlock(&s->mutex);
    }
}

void RunInTurn(int count, const BatchWork& work) {
    for (int i = 0; i < count; ++i) {
        Outcome outcome;
        work.run(work.context, i, &outcome);
        work.report(work.context, i, outcome);
    }
}

}  // namespace

int AvailableProcessors() { return platform::ProcessorCount(); }

void RunBatch(int count, int jobs, const BatchWork& work) {
    if (jobs > count) jobs = count;
    if (jobs > kMaxPendingFiles) jobs = kMaxPendingFiles;
    Shared s;
    s.work = &work;
    s.count = count;
    s.window = jobs * kWindowPerJob;
    s.slots = jobs > 1 ? static_cast<Slot*>(std::calloc(static_cast<size_t>(s.window), sizeof(Slot))) : nullptr;
    pthread_t threads[kMaxPendingFiles];
    int started = 0;
    sigset_t mask;
    BlockInterruptions(&mask);  // the workers inherit the mask: signals stay with this thread
    while (s.slots && started < jobs && pthread_create(&threads[started], nullptr, Worker, &s) == 0) ++started;
    RestoreSignalMask(mask);
    if (started == 0) {
        std::free(s.slots);
        RunInTurn(count, work);
        return;
    }
    pthread_mutex_lock(&s.mutex);
    while (s.reported < count) {
        Slot& slot = s.slots[s.reported % s.window];
        if (!slot.done) {
            pthread_cond_wait(&s.changed, &s.mutex);
            continue;
        }
        // The slot stays this item's until `reported` moves past it.
        pthread_mutex_unlock(&s.mutex);
        work.report(work.context, s.reported, slot.outcome);
        pthread_mutex_lock(&s.mutex);
        slot.done = false;
        ++s.reported;
        pthread_cond_broadcast(&s.changed);
    }
    pthread_mutex_unlock(&s.mutex);
    for (int k = 0; k < started; ++k) pthread_join(threads[k], nullptr);
    std::free(s.slots);
}

}  // namespace qavren::cli
