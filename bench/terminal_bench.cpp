// consoleWrite on the terminal layer: the POSIX platform draws quiz rounds on an 80x25
// pseudo-terminal that stands in as standard output, and delivers its output wherever the quiz
// would wait for a key. A thread drains the terminal's other side and counts what arrives.
// Reports text bytes per second and the terminal bytes sent per text byte.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <thread>

#include "bench/round_text.h"
#include "console/console_state.h"
#include "platform/posix_platform.h"

namespace {

// A pseudo-terminal as standard output from open() to close(). Its line discipline is raw, so
// the count is exactly the bytes the program wrote. Standard input is /dev/null meanwhile, so
// that the terminal the benchmark runs in is never switched to raw mode.
struct PtyAsStdout {
    int master = -1;
    int slave = -1;
    std::array<int, 2> saved{-1, -1};  // the original standard input and output
    uint64_t received = 0;
    std::thread drainer;

    bool open(int width, int height) {
        const winsize size{static_cast<unsigned short>(height), static_cast<unsigned short>(width), 0, 0};
        if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return false;
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        drainer = std::thread([this] { drain(); });
        std::cout.flush();
        (void)std::fflush(stdout);
        const int devNull = ::open("/dev/null", O_RDONLY);
        saved = {dup(STDIN_FILENO), dup(STDOUT_FILENO)};
        dup2(devNull, STDIN_FILENO);
        dup2(slave, STDOUT_FILENO);
        ::close(devNull);
        return true;
    }

    // Reads until every copy of the slave side is closed and all it sent has been read.
    void drain() {
        std::array<char, 65536> bytes{};
        for (;;) {
            const ssize_t n = read(master, bytes.data(), bytes.size());
            if (n > 0) {
                received += static_cast<uint64_t>(n);
            } else if (!(n < 0 && errno == EINTR)) {
                return;
            }
        }
    }

    // Gives back the original streams and returns the bytes the terminal received.
    uint64_t close() {
        dup2(saved[0], STDIN_FILENO);
        dup2(saved[1], STDOUT_FILENO);
        for (int fd : {saved[0], saved[1], slave}) ::close(fd);
        drainer.join();
        ::close(master);
        return received;
    }
};

}  // namespace

static void BM_ConsoleWriteTerminal(benchmark::State& state) {
    const RoundText round = roundText();
    PtyAsStdout pty;
    if (!pty.open(80, 25)) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    {
        platform::PosixPlatform posix;  // made after the swap, so that it finds a terminal
        platform::setPlatform(&posix);
        resetConsoleState();
        if (!onConsole()) state.SkipWithError("the platform found no terminal");
        for (auto _ : state) writeRound(round, [&posix] { posix.deliverOutput(); });
        platform::setPlatform(nullptr);
    }
    const uint64_t terminalBytes = pty.close();
    const auto textBytes = static_cast<double>(state.iterations() * round.bytes);
    state.SetBytesProcessed(static_cast<int64_t>(textBytes));
    state.counters["terminal_bytes_per_text_byte"] = static_cast<double>(terminalBytes) / textBytes;
}
BENCHMARK(BM_ConsoleWriteTerminal);
