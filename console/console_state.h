// The console subsystem's process-wide state, in one place so that tests can start afresh.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "console/text.h"

// The screen in console-buffer cells: left is always 0, right the buffer width - 1, top and
// bottom the window's rows. left == right or top == bottom means there is no console.
struct ScreenGeometry {
    int16_t left = 0;
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
};

struct OutputState {
    bool handlesReady = false;  // the one-time handle set-up has run
    bool screenReady = false;   // the first geometry reading has been taken
    bool noConsole = true;      // no console was found: every output takes the plain-byte path
    ScreenGeometry geometry;
    // The text view, in 1-based screen rows, fixed at its first use.
    bool viewFixed = false;
    int viewTop = 1;
    int viewBottom = 25;
    // The last write filled the view's bottom-right cell; its line feed is still owed.
    bool pendingWrap = false;
};

// Carries one answer from beginInput to inputString.
struct InputContext {
    bool stream = false;  // true: fields come from standard input; false: from `line`
    Text line;            // the last line typed at the console
    uint32_t readPos = 0;
};

// Bytes given back to the standard input stream; the one given back last comes out first.
struct PutBackArea {
    std::array<uint8_t, 4> bytes{};
    int count = 0;
};

constexpr int KEY_BUFFER_SLOTS = 512;

// Keys waiting to be taken. The control handler appends from its own thread, so every access to
// the ring holds `lock`.
struct KeyBuffer {
    std::array<KeyCode, KEY_BUFFER_SLOTS> codes{};
    uint32_t readIndex = 0;
    uint32_t writeIndex = 0;
    std::mutex lock;
};

struct KeyboardState {
    KeyBuffer buffer;
    int32_t altNumpadValue = 0;  // the decimal number typed on the keypad while Alt is held
    bool controlHandlerInstalled = false;
};

struct ConsoleState {
    OutputState output;
    InputContext input;
    PutBackArea putBack;
    KeyboardState keyboard;
};

ConsoleState& consoleState();
// Drops all console state, as at process start.
void resetConsoleState();
