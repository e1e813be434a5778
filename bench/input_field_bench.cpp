// The field reader over 1 MiB of redirected answers, in input bytes per second. The answers mix
// what a file of answers holds: one per line, several to a line, quoted ones, blanks around
// them, and all three line ends.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <string_view>

#include "console/console_state.h"
#include "console/input_field.h"
#include "platform/memory_console.h"

namespace {

constexpr size_t INPUT_BYTES = 1 << 20;
// One pass over these lines reads FIELDS_PER_PASS fields.
constexpr std::string_view ANSWER_LINES =
    "Lima\n"
    "Buenos Aires\r\n"
    "  Bogota,Quito\n"
    "\"Caracas, Venezuela\"\n"
    "La Paz \r"
    "Montevideo,\tAsuncion ,Paramaribo\r\n";
constexpr int FIELDS_PER_PASS = 9;

// Puts the answers on a fresh redirected standard input, ready for the first field.
void startReading(platform::MemoryConsole& console, const std::string& input) {
    console = platform::MemoryConsole::redirected();
    console.stdinBytes = input;
    platform::setPlatform(&console);
    resetConsoleState();
    beginInput(nullptr, -1, -1);
}

}  // namespace

static void BM_ReadInputField(benchmark::State& state) {
    std::string input;
    int fields = 0;
    for (; input.size() < INPUT_BYTES; fields += FIELDS_PER_PASS) input += ANSWER_LINES;
    std::array<uint8_t, INPUT_FIELD_MAX + 1> field{};
    platform::MemoryConsole console = platform::MemoryConsole::redirected();
    for (auto _ : state) {
        state.PauseTiming();
        startReading(console, input);
        state.ResumeTiming();
        for (int i = 0; i < fields; ++i) benchmark::DoNotOptimize(readInputField(field.data(), INPUT_FIELD_MAX));
    }
    if (awaitInputByte()) state.SkipWithError("the fields did not use up the input");
    platform::setPlatform(nullptr);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_ReadInputField);
