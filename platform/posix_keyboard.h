// Terminal input as console key events.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

#include "platform/platform.h"
#include "platform/terminal_decoder.h"

namespace platform {

// The keyboard of standard input. Opening it also sets up the restoring of the terminal in every
// ending, when standard input or output is a terminal.
struct TerminalKeyboard {
    TerminalKeyboard();

    bool inputIsTerminal = false;
    bool outputIsTerminal = false;
    bool inputEnded = false;  // the terminal hung up: nothing more will come
    uint32_t inputMode = 0;
    TerminalDecoder decoder;
    std::chrono::steady_clock::time_point pendingSince;  // the read that left the decoder's pending bytes
    std::deque<InputRecord> records;                     // decoded and not yet read: key-down, then key-up
};

}  // namespace platform
