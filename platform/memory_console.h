// An in-memory console for tests: a cell grid with a window that may be shorter than the buffer,
// a cursor, scripted key events and input bytes, and a record of what was written, sounded and
// slept.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

class MemoryConsole : public Platform {
public:
    // A console whose buffer is width x bufferHeight with a window of windowHeight rows at its top.
    MemoryConsole(int width, int bufferHeight, int windowHeight);
    // Neither stream is a console: bytes in, bytes out.
    static MemoryConsole redirected();

    // --- what tests set up ---
    bool outputIsConsole = true;
    bool inputIsConsole = true;
    bool counterAvailable = true;
    int64_t frequency = 1000000;
    int64_t counter = 0;
    uint32_t ticks = 0;
    std::string stdinBytes;                // redirected standard input
    std::deque<InputRecord> pendingInput;  // console input queue
    bool failInputReads = false;
    // Called when waitForInput finds nothing pending; with none set, such a wait throws, so a
    // test never hangs on input it did not script.
    std::function<void()> onIdle;

    void typeKey(const KeyEvent& event);      // queue one key event
    void typeText(const std::string& ascii);  // key-down and key-up events per character
    void resizeWindow(int windowHeight);      // the window keeps its top row
    // Runs the installed control handler on a thread of its own, as the console would; returns
    // what it answered (false when none is installed).
    bool raiseControlEvent(uint32_t type);

    // --- what tests read ---
    std::string output;                                // bytes written to standard output
    std::vector<std::pair<uint32_t, uint32_t>> beeps;  // frequency, duration
    std::vector<uint32_t> sleeps;
    std::vector<int> waits;  // the time limits of waitForInput calls
    int exitStatus = -1;
    uint32_t inputMode = 0;

    std::string rowText(int bufferRow) const;  // the row's bytes, trailing spaces kept
    std::string windowText() const;            // the window's rows, each ended by "\n"
    Cell cellAt(int x, int y) const;
    Coord cursor() const { return cursor_; }
    bool cursorVisible() const { return cursorInfo_.visible; }
    Rect window() const { return window_; }
    int bufferHeight() const { return height_; }

    // --- Platform ---
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

    // Thrown by exitProcess, so that a test can watch the program end.
    struct Exited {
        int status;
    };

private:
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    int width_;
    int height_;
    std::vector<Cell> cells_;
    Rect window_;
    Coord cursor_;
    CursorInfo cursorInfo_;
    uint16_t attribute_ = 7;
    size_t stdinPos_ = 0;
    ControlHandler handler_ = nullptr;
};

}  // namespace platform
