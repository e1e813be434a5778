// Terminal input as key events, the terminal's modes, and signals as console control events.
#include "platform/posix_keyboard.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/keyboard_layout.h"
#include "platform/posix_platform.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long a lone ESC waits for the rest of a sequence before it counts as the Esc key.
constexpr auto kEscapeTimeout = std::chrono::milliseconds(30);
constexpr size_t kReadChunk = 4096;
constexpr std::string_view kShowCursor = "\x1b[?25h";

static_assert(std::atomic<bool>::is_always_lock_free, "flags read inside signal handlers");

// What the program changed in the terminal, process-wide so that every ending, a signal handler
// included, can put it back.
struct TerminalModes {
    termios original{};
    termios raw{};
    std::atomic<bool> originalSaved{false};
    std::atomic<bool> rawWanted{false};  // raw mode is on, and comes back after a suspension
    std::atomic<bool> cursorHidden{false};
    std::atomic<bool> redrawRequested{false};
    std::atomic<ControlHandler> handler{nullptr};
    std::array<int, 2> signalPipe{-1, -1};  // signal handlers to the dispatching thread
    std::array<int, 2> wakePipe{-1, -1};    // the dispatching thread to waitForInput
};

TerminalModes modes;

// The signals that are console control events. Ctrl+C and Ctrl+Break end the process unless the
// handler takes them; a close request ends it after the handler has seen it.
struct ControlSignal {
    int signal;
    uint32_t event;
    bool endsAlways;
};
constexpr std::array<ControlSignal, 4> kControlSignals{{
    {SIGINT, CTRL_C_EVENT, false},
    {SIGQUIT, CTRL_BREAK_EVENT, false},
    {SIGHUP, CTRL_CLOSE_EVENT, true},
    {SIGTERM, CTRL_CLOSE_EVENT, true},
}};

// Signals that end the process where they strike; the terminal is restored in the handler.
constexpr std::array<int, 6> kCrashSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE};

// Room for the crash handler when the stack itself has overflowed.
std::array<char, size_t{64} * 1024> crashStack;

void writeIgnoringResult(int fd, const void* bytes, size_t count) {
    const ssize_t written = ::write(fd, bytes, count);
    (void)written;
}

void forwardSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    writeIgnoringResult(modes.signalPipe[1], &byte, 1);
    errno = savedErrno;
}

// Installed with SA_RESETHAND: the raise meets the default action.
void endOnCrash(int signal) {
    restoreTerminal();
    (void)raise(signal);
}

void install(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    (void)sigaction(signal, &action, nullptr);
}

// A signal the program was started with ignored (nohup, a background job) stays ignored.
bool ignoredAtStart(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

void wakeWaiter() {
    const char byte = 0;
    writeIgnoringResult(modes.wakePipe[1], &byte, 1);
}

// Ends the process by the signal's default action, so that the shell sees the usual status.
[[noreturn]] void endWithSignal(int signal) {
    restoreTerminal();
    install(signal, SIG_DFL, 0);
    (void)raise(signal);
    _exit(128 + signal);
}

void handleControlSignal(const ControlSignal& control) {
    const ControlHandler handler = modes.handler.load();
    const bool handled = handler != nullptr && handler(control.event);
    if (!handled || control.endsAlways) endWithSignal(control.signal);
    wakeWaiter();
}

// Raw mode comes back only in the foreground: a background job that changed the tty would stop.
void resume() {
    if (modes.rawWanted && tcgetpgrp(STDIN_FILENO) == getpgrp()) tcsetattr(STDIN_FILENO, TCSANOW, &modes.raw);
    modes.redrawRequested = true;
    wakeWaiter();
}

// In an orphaned process group the stop does not happen; the program then simply goes on.
void suspend() {
    restoreTerminal();
    install(SIGTSTP, SIG_DFL, 0);
    (void)raise(SIGTSTP);  // stopped here until continued
    install(SIGTSTP, forwardSignal, SA_RESTART);
    resume();
}

// Runs the work of the signals outside signal context, where the control handler may take locks.
void dispatchSignals() {
    for (;;) {
        unsigned char signal = 0;
        const ssize_t n = ::read(modes.signalPipe[0], &signal, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n != 1) return;
        if (signal == SIGTSTP) {
            suspend();
        } else if (signal == SIGCONT) {
            resume();
        } else {
            for (const ControlSignal& control : kControlSignals) {
                if (control.signal == signal) handleControlSignal(control);
            }
        }
    }
}

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// The writing end never blocks: signal handlers write to it.
bool openPipe(std::array<int, 2>& ends) {
    if (pipe(ends.data()) != 0) return false;
    for (const int fd : ends) fcntl(fd, F_SETFD, FD_CLOEXEC);
    setNonBlocking(ends[1]);
    return true;
}

void installEndingHandlers() {
    if (!openPipe(modes.signalPipe) || !openPipe(modes.wakePipe)) return;
    setNonBlocking(modes.wakePipe[0]);  // drained without waiting
    try {
        std::thread(dispatchSignals).detach();
    } catch (const std::system_error&) {
        return;
    }
    for (const ControlSignal& control : kControlSignals) {
        if (!ignoredAtStart(control.signal)) install(control.signal, forwardSignal, SA_RESTART);
    }
    if (!ignoredAtStart(SIGTSTP)) install(SIGTSTP, forwardSignal, SA_RESTART);
    install(SIGCONT, forwardSignal, SA_RESTART);

    stack_t stack{};
    stack.ss_sp = crashStack.data();
    stack.ss_size = crashStack.size();
    sigaltstack(&stack, nullptr);
    for (const int signal : kCrashSignals) {
        if (!ignoredAtStart(signal)) install(signal, endOnCrash, SA_RESETHAND | SA_NODEFER | SA_ONSTACK);
    }
    (void)std::atexit(restoreTerminal);
}

// No echo, no line mode, no flow control, Enter as 13; Ctrl+C stays a signal with processed input.
bool enterRawMode(uint32_t mode) {
    if (!modes.originalSaved) {
        if (tcgetattr(STDIN_FILENO, &modes.original) != 0) return false;
        modes.originalSaved = true;
    }
    termios raw = modes.original;
    raw.c_iflag &= ~(IXON | ICRNL | INLCR | IGNCR | ISTRIP | INPCK);
    raw.c_lflag &= ~(ICANON | ECHO | IEXTEN | ISIG);
    if (mode & INPUT_PROCESSED) raw.c_lflag |= ISIG;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    modes.raw = raw;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
    modes.rawWanted = true;
    return true;
}

bool inputReadable(int timeoutMs) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    return poll(&input, 1, timeoutMs) == 1;
}

// The bytes the terminal has sent, without waiting; 0 when there are none.
ssize_t readAvailable(TerminalKeyboard& keyboard, std::array<char, kReadChunk>& bytes) {
    if (keyboard.inputEnded || !inputReadable(0)) return 0;
    ssize_t n = 0;
    do {
        n = ::read(STDIN_FILENO, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    if (n == 0 || (n < 0 && errno != EAGAIN)) {
        // The terminal is gone (its other side closed) but no SIGHUP came: it is a hang-up all
        // the same, or the program would wait for keys that can never arrive.
        keyboard.inputEnded = true;
        forwardSignal(SIGHUP);
    }
    return n;
}

Clock::time_point escapeDeadline(const TerminalKeyboard& keyboard) { return keyboard.pendingSince + kEscapeTimeout; }

// Pending bytes (a lone ESC, a cut-off key) become keys of their own once no more bytes have come
// in time.
void refillRecords(TerminalKeyboard& keyboard) {
    std::array<char, kReadChunk> bytes{};
    std::vector<KeyEvent> keys;
    const ssize_t count = readAvailable(keyboard, bytes);
    const Clock::time_point now = Clock::now();
    if (count > 0) {
        decodeTerminalInput(keyboard.decoder, {bytes.data(), static_cast<size_t>(count)}, keys);
        keyboard.pendingSince = now;
    } else if (!keyboard.decoder.pending.empty() && now >= escapeDeadline(keyboard)) {
        flushTerminalInput(keyboard.decoder, keys);
    }
    for (KeyEvent key : keys) {
        keyboard.records.push_back({InputKind::Key, key});
        key.keyDown = false;
        keyboard.records.push_back({InputKind::Key, key});
    }
}

// The wait is cut short where pending bytes are due to become keys.
int waitLimit(const TerminalKeyboard& keyboard, int timeoutMs) {
    if (keyboard.decoder.pending.empty()) return timeoutMs;
    const auto untilDeadline = std::chrono::ceil<std::chrono::milliseconds>(escapeDeadline(keyboard) - Clock::now());
    const int limit = static_cast<int>(std::max<int64_t>(untilDeadline.count(), 0));
    return timeoutMs < 0 ? limit : std::min(timeoutMs, limit);
}

void drainWakePipe() {
    std::array<char, 64> bytes{};
    while (::read(modes.wakePipe[0], bytes.data(), bytes.size()) > 0) {
    }
}

}  // namespace

TerminalKeyboard::TerminalKeyboard()
    : inputIsTerminal(isatty(STDIN_FILENO) == 1), outputIsTerminal(isatty(STDOUT_FILENO) == 1) {
    termios current{};
    if (inputIsTerminal && tcgetattr(STDIN_FILENO, &current) == 0 && (current.c_lflag & ISIG) != 0) {
        inputMode = INPUT_PROCESSED;
    }
    static bool installed = false;
    if (!installed && (inputIsTerminal || outputIsTerminal)) {
        installed = true;
        installEndingHandlers();
    }
}

bool PosixPlatform::getConsoleMode(StdStream stream, uint32_t& mode) {
    const bool input = stream == StdStream::Input;
    mode = input ? keyboard_->inputMode : 0;
    return input ? keyboard_->inputIsTerminal : keyboard_->outputIsTerminal;
}

bool PosixPlatform::setConsoleMode(StdStream stream, uint32_t mode) {
    if (stream == StdStream::Output) return keyboard_->outputIsTerminal;
    if (!keyboard_->inputIsTerminal || !enterRawMode(mode)) return false;
    keyboard_->inputMode = mode;
    return true;
}

int PosixPlatform::peekInput(InputRecord& record) {
    TerminalKeyboard& keyboard = *keyboard_;
    if (!keyboard.inputIsTerminal) return -1;
    if (keyboard.records.empty()) refillRecords(keyboard);
    if (keyboard.records.empty()) return keyboard.inputEnded ? -1 : 0;
    record = keyboard.records.front();
    return 1;
}

int PosixPlatform::readInput(InputRecord& record) {
    const int result = peekInput(record);
    if (result == 1) keyboard_->records.pop_front();
    return result;
}

void PosixPlatform::waitForInput(int timeoutMs) {
    deliverOutput();
    const TerminalKeyboard& keyboard = *keyboard_;
    if (!keyboard.records.empty()) return;
    const bool watchInput = keyboard.inputIsTerminal && !keyboard.inputEnded;
    std::array<pollfd, 2> watched{{{modes.wakePipe[0], POLLIN, 0}, {watchInput ? STDIN_FILENO : -1, POLLIN, 0}}};
    poll(watched.data(), watched.size(), waitLimit(keyboard, timeoutMs));
    if (watched[0].revents & POLLIN) drainWakePipe();
}

bool PosixPlatform::setControlHandler(ControlHandler handler, bool add) {
    ControlHandler expected = handler;
    if (add) {
        modes.handler = handler;
    } else {
        modes.handler.compare_exchange_strong(expected, nullptr);
    }
    return true;
}

uint16_t PosixPlatform::virtualKeyChar(uint16_t virtualKey) { return unshiftedCharacter(virtualKey); }

void restoreTerminal() {
    if (modes.cursorHidden) writeIgnoringResult(STDOUT_FILENO, kShowCursor.data(), kShowCursor.size());
    if (modes.originalSaved) tcsetattr(STDIN_FILENO, TCSANOW, &modes.original);
}

void noteCursorHidden(bool hidden) { modes.cursorHidden = hidden; }

bool takeRedrawRequest() { return modes.redrawRequested.exchange(false); }

}  // namespace platform
