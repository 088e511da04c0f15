// Independent pieces of drawing work run on several threads: bands of a
// picture's rows, halves of a sort. The result never depends on the number
// of threads, only the time it takes.
#pragma once

#include <cstdint>

namespace qavren {

// The most threads one call runs on, its caller's included.
constexpr int32_t kMaxThreads = 64;

// Calls run(context, k) once for each k in 0 .. count - 1, on the calling
// thread and up to threads - 1 workers started for the call and joined
// before it returns. A free thread takes the next piece in order of k, so
// `run` must not depend on which thread runs a piece, or when. When a
// worker cannot be started, the threads already running (at least the
// caller) do its share. Returns the threads that ran: 1 up to
// min(threads, count, kMaxThreads), 0 for no pieces.
using PieceOfWork = void (*)(void* context, int32_t piece);
int32_t RunPieces(int32_t count, int32_t threads, PieceOfWork run, void* context);

// The same for any callable job(k).
template <typename Job>
int32_t RunPieces(int32_t count, int32_t threads, Job& job) {
    return RunPieces(
        count, threads, [](void* context, int32_t piece) { (*static_cast<Job*>(context))(piece); }, &job);
}

// The threads a picture is drawn on, process-wide: `threads` from 1 up
// (kMaxThreads at most), or 0 (the default) for every processor the
// process may use.
void SetDrawingThreads(int32_t threads);
int32_t DrawingThreads();

// What drawing one picture did with threads, for whoever watches (tests,
// `qavren --verbose`): the threads it was allowed (DrawingThreads() then),
// those that painted its bands (1 when the caller drew it alone), its bands
// of rows, and for the polygon style how the depth sort on threads went:
// exactly the one-thread order, or past its budget and done again on one
// thread. The wireframe reports nothing.
struct DrawReport {
    enum class Sort : uint8_t { kNone, kExact, kFellBack };
    int32_t allowed = 0;
    int32_t threads = 0;
    int32_t bands = 0;
    Sort sort = Sort::kNone;
    int32_t sort_threads = 0;
};
// Called on the drawing call's own thread once its picture is drawn;
// process-wide, null (the default) for none. The plug-ins set none.
using DrawObserver = void (*)(const DrawReport& report);
void SetDrawObserver(DrawObserver observer);
void ReportDraw(const DrawReport& report);

}  // namespace qavren
