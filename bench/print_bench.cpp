// consoleWrite on the in-memory console, in text bytes per second: a quiz round written again and
// again, on an 80x25 console and on a 300-row buffer behind a 25-row window (the view slides down
// the buffer, then the whole buffer scrolls).
#include <benchmark/benchmark.h>

#include "bench/round_text.h"
#include "console/console_state.h"
#include "platform/memory_console.h"

static void BM_ConsoleWriteMemory(benchmark::State& state) {
    const RoundText round = roundText();
    platform::MemoryConsole console(80, static_cast<int>(state.range(0)), 25);
    platform::setPlatform(&console);
    resetConsoleState();
    for (auto _ : state) writeRound(round, [] {});
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * round.bytes));
    platform::setPlatform(nullptr);
}
BENCHMARK(BM_ConsoleWriteMemory)->ArgName("rows")->Arg(25)->Arg(300);
