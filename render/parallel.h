// Independent pieces of drawing work run on several threads: bands of a
// picture's rows, halves of a sort. The result never depends on the number
// of threads, only the time it takes.
#pragma once

#include <cstdint>

namespace qavren {

// The most threads one call runs on, its caller's included.
constexpr int32_t kMaxThreads = 64;

// Calls run(context, k, worker) once for each k in 0 .. count - 1, on the
// calling thread and up to threads - 1 workers started for the call and
// joined before it returns. A free thread takes the next piece in order of
// k, so what `run` makes of a piece must not depend on which thread runs
// it, or when. `worker` names the thread: 0 the caller, 1 up the workers
// that started, each running one piece at a time, so that per-thread state
// indexed by it is never shared. When a worker cannot be started, the
// threads already running (at least the caller) do its share. Returns the
// threads that ran, every worker index below it: 1 up to
// min(threads, count, kMaxThreads), 0 for no pieces.
using PieceOfWork = void (*)(void* context, int32_t piece, int32_t worker);
int32_t RunPieces(int32_t count, int32_t threads, PieceOfWork run, void* context);

// The same for any callable job(k, worker).
template <typename Job>
int32_t RunPieces(int32_t count, int32_t threads, Job& job) {
    return RunPieces(
        count, threads,
        [](void* context, int32_t piece, int32_t worker) { (*static_cast<Job*>(context))(piece, worker); }, &job);
}

// How one drawing call may use the machine, handed down with the call; a
// zero field is the default. `threads`: the threads a picture is drawn on,
// from 1 up (kMaxThreads at most), or every processor the process may use.
// `band_rows`: the pixel rows of a band of the shaded style, from 1 up, or
// a band block of a few hundred kilobytes. The pictures are the same bytes
// for any values; only the time and memory they take change.
struct DrawingOptions {
    int32_t threads = 0;
    int32_t band_rows = 0;
};

// The threads `options` allow: 1 .. kMaxThreads.
int32_t DrawingThreads(const DrawingOptions& options);

// What drawing one picture did with threads, for whoever watches (tests,
// `qavren --verbose`): the threads it was allowed (DrawingThreads of its options),
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
