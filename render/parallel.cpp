// RunPieces: a shared counter hands out the pieces; workers are started
// through platform/ (whose failures are results, not exceptions) and joined.
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

void TakePieces(void* shared) {
    auto& pieces = *static_cast<Pieces*>(shared);
    for (int32_t k; (k = pieces.next.fetch_add(1, std::memory_order_relaxed)) < pieces.count;) {
        pieces.run(pieces.context, k);
    }
}

std::atomic<int32_t> g_drawing_threads{0};
std::atomic<DrawObserver> g_draw_observer{nullptr};

}  // namespace

int32_t RunPieces(int32_t count, int32_t threads, PieceOfWork run, void* context) {
    if (count <= 0) return 0;
    const int32_t wanted = std::min({std::max(threads, 1), count, kMaxThreads});
    Pieces pieces;
    pieces.count = count;
    pieces.run = run;
    pieces.context = context;
    // Joined on every path: by Join below, or by their destructors.
    platform::WorkerThread workers[kMaxThreads - 1];
    int32_t started = 0;
    while (started < wanted - 1 && workers[started].Start(TakePieces, &pieces)) ++started;
    TakePieces(&pieces);
    for (int32_t k = 0; k < started; ++k) workers[k].Join();
    return started + 1;
}

void SetDrawingThreads(int32_t threads) { g_drawing_threads.store(std::clamp(threads, 0, kMaxThreads)); }

int32_t DrawingThreads() {
    const int32_t set = g_drawing_threads.load();
    return set > 0 ? set : std::min(platform::ProcessorCount(), kMaxThreads);
}

void SetDrawObserver(DrawObserver observer) { g_draw_observer.store(observer); }

void ReportDraw(const DrawReport& report) {
    if (const DrawObserver observer = g_draw_observer.load()) observer(report);
}

}  // namespace qavren
