// A draw of the quiz's random source against a draw of the standard library's Mersenne Twister,
// both turned into a double in [0, 1) the same way.
#include <benchmark/benchmark.h>

#include <random>

#include "random/random.h"

static void BM_NextRandom(benchmark::State& state) {
    seedRandom(12345, 0);
    for (auto _ : state) benchmark::DoNotOptimize(nextRandom(1.0f));
}
BENCHMARK(BM_NextRandom);

static void BM_StdMt19937(benchmark::State& state) {
    std::mt19937 generator(12345);
    for (auto _ : state) benchmark::DoNotOptimize(static_cast<double>(generator()) / 4294967296.0);
}
BENCHMARK(BM_StdMt19937);
