// The platform on a POSIX system: the standard streams, a real terminal as the console, signals
// as control events, and the monotonic clock.
//
// The class is written in three files by concern: posix_platform.cpp (streams, time, exit),
// posix_screen.cpp (the terminal as a screen buffer) and posix_keyboard.cpp (terminal input as
// key events, terminal modes and control events).
#pragma once

#include <memory>
#include <vector>

#include "platform/platform.h"

namespace platform {

struct TerminalScreen;
struct TerminalKeyboard;

class PosixPlatform : public Platform {
public:
    PosixPlatform();
    ~PosixPlatform() override;

    bool getConsoleMode(StdStream stream, uint32_t& mode) override;
    bool setConsoleMode(StdStream stream, uint32_t mode) override;
    bool getScreenBufferInfo(ScreenBufferInfo& info) override;
    bool writeCells(const Cell* cells, int16_t count, Coord at) override;
    bool fillCharacters(uint8_t ch, uint32_t count, Coord at) override;
    bool fillAttributes(uint16_t attribute, uint32_t count, Coord at) override;
    bool scrollBuffer(Rect source, Coord destination, Cell fill) override;
    bool setCursorPosition(Coord at) override;
    bool getCursorInfo(CursorInfo& info) override;
    bool setCursorInfo(const CursorInfo& info) override;
    bool setWindow(Rect window) override;
    int peekInput(InputRecord& record) override;
    int readInput(InputRecord& record) override;
    void waitForInput(int timeoutMs) override;
    bool setControlHandler(ControlHandler handler, bool add) override;
    uint16_t virtualKeyChar(uint16_t virtualKey) override;
    void beep(uint32_t frequencyHz, uint32_t durationMs) override;
    void sleep(uint32_t ms) override;
    bool counterFrequency(int64_t& countsPerSecond) override;
    int64_t counterValue() override;
    uint32_t tickCount() override;
    bool writeOutput(const uint8_t* bytes, uint32_t count, uint32_t& written) override;
    int readInputByte() override;
    [[noreturn]] void exitProcess(int status) override;

    // Sends everything gathered for the terminal and for standard output. Called before anything
    // that may wait, so that the user always sees what was printed.
    void deliverOutput();

private:
    void flushStream();
    void flushScreen();  // posix_screen.cpp

    std::unique_ptr<TerminalScreen> screen_;
    std::unique_ptr<TerminalKeyboard> keyboard_;
    std::vector<uint8_t> outBuffer_;
    std::vector<uint8_t> inBuffer_;
    size_t inPos_ = 0;
    bool inEnded_ = false;
};

// Puts the terminal back as the program found it: tty settings and every mode the program
// changed. Async-signal-safe; safe to call more than once.
void restoreTerminal();

// The screen tells when it hides or shows the cursor, so that the restore shows it again.
void noteCursorHidden(bool hidden);

// True once after the program resumed from a suspension (Ctrl+Z): the screen is to be drawn again,
// cursor visibility included, since the terminal was restored meanwhile.
bool takeRedrawRequest();

}  // namespace platform
