// The stages of a picture as Google Benchmark functions. Times are per call;
// "triangles" and items per second let the results be compared across sizes.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "tests/bench/bench_fixtures.h"

namespace qavren::bench {

void ChunkSearch(benchmark::State& state, BenchObjectKind kind, const char* tag);
void ChunkSearchDense(benchmark::State& state, uint32_t bytes);
void Project(benchmark::State& state, uint32_t points, Canvas canvas);
void Build(benchmark::State& state, BenchObjectKind kind);
void Sort(benchmark::State& state, BenchObjectKind kind);
void SortPattern(benchmark::State& state, const std::vector<float>& depths);
void SortFloats(benchmark::State& state, BenchObjectKind kind);
void Paint(benchmark::State& state, BenchObjectKind kind, Canvas canvas);
void Draw(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode);
void Picture(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode);
// The same on `threads` drawing threads (the others run on one).
void PictureOnThreads(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode, int32_t threads);
void Floor(benchmark::State& state, BenchObjectKind kind, Canvas canvas);
void PeakMemory(benchmark::State& state, BenchObjectKind kind, Canvas canvas, int32_t mode);

}  // namespace qavren::bench
