// pollKey taking keys from a full key ring, in time per key. The ring is filled with appendKey
// outside the timed part; the console has no input pending, as when keys came in faster than
// they were taken. The time is the thread's CPU time, which other load on the machine does not
// stretch.
#include <benchmark/benchmark.h>
#include <ctime>

#include "console/console_state.h"
#include "console/keys.h"
#include "platform/memory_console.h"

namespace {

// A ring of KEY_BUFFER_SLOTS slots holds one key fewer: a full ring keeps one slot free.
constexpr int FULL_RING = KEY_BUFFER_SLOTS - 1;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

static void BM_PollKeyFullRing(benchmark::State& state) {
    platform::MemoryConsole console(80, 25, 25);
    platform::setPlatform(&console);
    resetConsoleState();
    for (auto _ : state) {
        for (int i = 0; i < FULL_RING; ++i) appendKey('a' + i % 26);
        const double start = threadSeconds();
        for (int i = 0; i < FULL_RING; ++i) benchmark::DoNotOptimize(pollKey());
        state.SetIterationTime(threadSeconds() - start);
    }
    if (!pollKey().empty()) state.SkipWithError("keys left in the ring");
    platform::setPlatform(nullptr);
    state.counters["per_key"] = benchmark::Counter(static_cast<double>(state.iterations() * FULL_RING),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PollKeyFullRing)->UseManualTime();
