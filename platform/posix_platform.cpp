#include "platform/posix_platform.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/posix_keyboard.h"
#include "platform/posix_screen.h"

namespace platform {
namespace {
constexpr size_t kOutputChunk = size_t{64} * 1024;
constexpr size_t kInputChunk = size_t{64} * 1024;

// A closed pipe on the other end ends the program, as it ends any filter.
[[noreturn]] void endOnBrokenPipe() {
    restoreTerminal();
    (void)signal(SIGPIPE, SIG_DFL);
    (void)raise(SIGPIPE);
    _exit(141);
}
}  // namespace

PosixPlatform::PosixPlatform()
    : screen_(std::make_unique<TerminalScreen>()), keyboard_(std::make_unique<TerminalKeyboard>()) {}

PosixPlatform::~PosixPlatform() = default;

void PosixPlatform::deliverOutput() {
    flushScreen();
    flushStream();
}

void PosixPlatform::flushStream() {
    size_t done = 0;
    while (done < outBuffer_.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, outBuffer_.data() + done, outBuffer_.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno == EPIPE) endOnBrokenPipe();
            break;  // any other failure drops the rest, silently
        }
    }
    outBuffer_.clear();
}

bool PosixPlatform::writeOutput(const uint8_t* bytes, uint32_t count, uint32_t& written) {
    outBuffer_.insert(outBuffer_.end(), bytes, bytes + count);
    if (outBuffer_.size() >= kOutputChunk) flushStream();
    written = count;
    return true;
}

int PosixPlatform::readInputByte() {
    if (inPos_ < inBuffer_.size()) return inBuffer_[inPos_++];
    if (inEnded_) return -1;
    deliverOutput();
    inBuffer_.resize(kInputChunk);
    ssize_t n = 0;
    do {
        n = ::read(STDIN_FILENO, inBuffer_.data(), inBuffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        inBuffer_.clear();
        inPos_ = 0;
        inEnded_ = true;
        return -1;
    }
    inBuffer_.resize(static_cast<size_t>(n));
    inPos_ = 0;
    return inBuffer_[inPos_++];
}

void PosixPlatform::sleep(uint32_t ms) {
    deliverOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool PosixPlatform::counterFrequency(int64_t& countsPerSecond) {
    countsPerSecond = std::chrono::steady_clock::period::den / std::chrono::steady_clock::period::num;
    return true;
}

int64_t PosixPlatform::counterValue() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

uint32_t PosixPlatform::tickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void PosixPlatform::exitProcess(int status) {
    deliverOutput();
    restoreTerminal();
    _exit(status);
}

}  // namespace platform
