// RunBatch: the items of a batch on several threads, their outcomes
// reported on the calling thread in input order, so that a batch prints the
// same lines whatever the number of jobs. Workers run at most a window of
// items ahead of the report, so memory stays bounded for any batch size.
#pragma once

#include "tools/qavren/message.h"

namespace qavren::cli {

struct Outcome {
    bool ok = false;
    Message text;  // the failure, or what was done for -v
};

struct BatchWork {
    // Runs item `index` into *outcome; called on a worker thread.
    void (*run)(void* context, int index, Outcome* outcome);
    // Takes the outcome of item `index`; called on the calling thread in
    // index order.
    void (*report)(void* context, int index, const Outcome& outcome);
    void* context;
};

// With `jobs` 1, or when no thread can be started, the items run one after
// the other on the calling thread.
void RunBatch(int count, int jobs, const BatchWork& work);

// The processors this process may run on: the default number of jobs.
int AvailableProcessors();

}  // namespace qavren::cli
