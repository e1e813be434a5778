// The platform layer: everything the program asks of the outside world.
//
// The quiz and the console layer never call the operating system themselves; they call the one
// Platform installed with setPlatform(). The model is a PC text console: a screen buffer of cells
// with a window onto it, a queue of keyboard events, control events (close, Ctrl+C), a tone, a
// sleep, the standard streams and a monotonic counter. Two implementations exist: PosixPlatform
// (a real terminal and the standard streams) and MemoryConsole (a cell grid for tests).
#pragma once

#include <cstdint>

namespace platform {

enum class StdStream { Output = 0, Input = 1 };

// Input-mode bit: Ctrl+C is handled by the system as a control event instead of a key.
constexpr uint32_t INPUT_PROCESSED = 0x1;

struct Coord {
    int16_t x = 0;
    int16_t y = 0;
};

// Inclusive rectangle of buffer cells.
struct Rect {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
};

struct Cell {
    uint8_t ch = ' ';
    uint16_t attribute = 7;
};

struct ScreenBufferInfo {
    Coord size;              // buffer width and height in cells
    Coord cursor;            // cursor cell, 0-based buffer coordinates
    uint16_t attribute = 7;  // current attribute for new cells
    Rect window;             // the buffer rows and columns the window shows
};

struct CursorInfo {
    uint32_t size = 25;  // percentage of the cell the cursor fills
    bool visible = true;
};

// Control-key state bits of a key event.
constexpr uint32_t RIGHT_ALT_PRESSED = 0x1;
constexpr uint32_t LEFT_ALT_PRESSED = 0x2;
constexpr uint32_t RIGHT_CTRL_PRESSED = 0x4;
constexpr uint32_t LEFT_CTRL_PRESSED = 0x8;
constexpr uint32_t SHIFT_PRESSED = 0x10;
constexpr uint32_t ENHANCED_KEY = 0x100;

// One key going down or up, as a PC keyboard reports it.
struct KeyEvent {
    bool keyDown = true;
    uint16_t repeatCount = 1;
    uint16_t virtualKey = 0;  // layout-independent key code (VK_ values: 'A' is 0x41, F1 0x70)
    uint16_t scanCode = 0;    // PC scan code set 1
    uint8_t character = 0;    // the character byte in code page 437, 0 when the key gives none
    uint32_t controlState = 0;
};

enum class InputKind { Key, Mouse, Focus, Menu, BufferSize };

struct InputRecord {
    InputKind kind = InputKind::Key;
    KeyEvent key;
};

// Console control events.
constexpr uint32_t CTRL_C_EVENT = 0;
constexpr uint32_t CTRL_BREAK_EVENT = 1;
constexpr uint32_t CTRL_CLOSE_EVENT = 2;
constexpr uint32_t CTRL_LOGOFF_EVENT = 5;
constexpr uint32_t CTRL_SHUTDOWN_EVENT = 6;

// Returns true when it handled the event; false leaves it to the default handling, which ends
// the process. Runs on a thread of its own.
using ControlHandler = bool (*)(uint32_t type);

class Platform {
public:
    virtual ~Platform() = default;

    // Standard streams and modes. getConsoleMode fails when the stream is not a console.
    virtual bool getConsoleMode(StdStream stream, uint32_t& mode) = 0;
    virtual bool setConsoleMode(StdStream stream, uint32_t mode) = 0;

    // The screen buffer of standard output. All calls fail when it is not a console.
    virtual bool getScreenBufferInfo(ScreenBufferInfo& info) = 0;
    // Stores count cells in one row starting at `at`; the cursor does not move.
    virtual bool writeCells(const Cell* cells, int16_t count, Coord at) = 0;
    // Fill count cells in reading order from `at`, wrapping onto following rows.
    virtual bool fillCharacters(uint8_t ch, uint32_t count, Coord at) = 0;
    virtual bool fillAttributes(uint16_t attribute, uint32_t count, Coord at) = 0;
    // Moves the source rectangle so that its top-left lands on destination; the source cells the
    // destination does not cover become `fill`.
    virtual bool scrollBuffer(Rect source, Coord destination, Cell fill) = 0;
    virtual bool setCursorPosition(Coord at) = 0;
    virtual bool getCursorInfo(CursorInfo& info) = 0;
    virtual bool setCursorInfo(const CursorInfo& info) = 0;
    // Places the window at an absolute buffer rectangle.
    virtual bool setWindow(Rect window) = 0;

    // The keyboard of standard input. peekInput and readInput return 1 with a record, 0 when
    // none is pending, -1 when the stream is not a console or cannot be read. Neither waits.
    virtual int peekInput(InputRecord& record) = 0;
    virtual int readInput(InputRecord& record) = 0;
    // Blocks until input events may be pending, a control event arrived, or timeoutMs passed
    // (negative: no time limit). Costs no CPU while it waits.
    virtual void waitForInput(int timeoutMs) = 0;
    virtual bool setControlHandler(ControlHandler handler, bool add) = 0;
    // The unshifted character a virtual key gives on its own, 0 for keys without one.
    virtual uint16_t virtualKeyChar(uint16_t virtualKey) = 0;

    // Sound and time.
    virtual void beep(uint32_t frequencyHz, uint32_t durationMs) = 0;
    virtual void sleep(uint32_t ms) = 0;
    virtual bool counterFrequency(int64_t& countsPerSecond) = 0;
    virtual int64_t counterValue() = 0;
    virtual uint32_t tickCount() = 0;

    // Standard output as a byte stream; `written` may be less than count.
    virtual bool writeOutput(const uint8_t* bytes, uint32_t count, uint32_t& written) = 0;
    // The next byte of the buffered standard-input stream, or -1 at its end or on a failed read.
    // Everything written before is visible to the other end by the time it blocks.
    virtual int readInputByte() = 0;
    // Ends the process with its terminal restored and all output delivered.
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

Platform& currentPlatform();
void setPlatform(Platform* platform);

}  // namespace platform
