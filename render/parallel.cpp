// RunPieces: a shared counter hands out the pieces; workers are started
// through platform/ (whose failures are results, not exceptions), each with
// its index, and joined.
#include "render/parallel.h"

#include <algorithm>
#include <atomic>

#include "platform/threads.h"

namespace qavren {
namespace {

struct Pieces {
    std::atomic<int32_t> next{0};
    int32_t count;
    PieceOfWork run;
    void* context;
};

// One thread's place at the counter: the pieces, and the thread's index.
struct Taker {
    Pieces* pieces;
    int32_t worker;
};

void TakePieces(void* taker) {
    const auto& [pieces, worker] = *static_cast<const Taker*>(taker);
    for (int32_t k; (k = pieces->next.fetch_add(1, std::memory_order_relaxed)) < pieces->count;) {
        pieces->run(pieces->context, k, worker);
    }
}

std::atomic<DrawObserver> g_draw_observer{nullptr};

}  // namespace

int32_t RunPieces(int32_t count, int32_t threads, PieceOfWork run, void* context) {
    if (count <= 0) return 0;
    const int32_t wanted = std::min({std::max(threads, 1), count, kMaxThreads});
    Pieces pieces;
    pieces.count = count;
    pieces.run = run;
    pieces.context = context;
    // Workers 1, 2, ... in the order they start, so that the indices of
    // those that did are 1 .. started.
    Taker takers[kMaxThreads];
    for (int32_t k = 0; k < wanted; ++k) takers[k] = {&pieces, k};
    // Joined on every path: by Join below, or by their destructors.
    platform::WorkerThread workers[kMaxThreads - 1];
    int32_t started = 0;
    while (started < wanted - 1 && workers[started].Start(TakePieces, &takers[started + 1])) ++started;
    TakePieces(&takers[0]);
    for (int32_t k = 0; k < started; ++k) workers[k].Join();
    return started + 1;
}

int32_t DrawingThreads(const DrawingOptions& options) {
    return std::min(options.threads > 0 ? options.threads : platform::ProcessorCount(), kMaxThreads);
}

void SetDrawObserver(DrawObserver observer) { g_draw_observer.store(observer); }

void ReportDraw(const DrawReport& report) {
    if (const DrawObserver observer = g_draw_observer.load()) observer(report);
}

}  // namespace qavren
