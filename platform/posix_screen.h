// The terminal as a console screen buffer: the buffer is the terminal window, its cells are kept
// in a grid, and changes reach the terminal as control sequences.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// A grid cell whose content is not known: the program never wrote it, or the terminal's copy was
// lost to a resize or a resume.
constexpr int16_t UNKNOWN_CELL = -1;

// `wanted` is what the program stored in each cell, `shown` what the terminal displays as far as
// it is known. Cell changes are drawn as the difference of the two when output is flushed, so a
// cell written twice goes out once; a scroll goes out at once, so that the lines leaving the top
// reach the terminal's scroll-back.
struct TerminalScreen {
    bool probed = false;      // isTerminal and utf8 have been found out
    bool isTerminal = false;  // standard output is a terminal
    bool utf8 = false;        // glyphs go out as UTF-8; otherwise as ASCII with '?' for the rest
    int width = 0;
    int height = 0;
    std::vector<int16_t> wanted;  // row by row, a code page 437 byte or UNKNOWN_CELL
    std::vector<int16_t> shown;
    Coord cursor;           // the console cursor
    CursorInfo cursorInfo;  // the console cursor's size and visibility
    bool terminalCursorKnown = false;
    Coord terminalCursor;
    bool terminalVisibilityKnown = true;  // a terminal starts with its cursor shown
    bool terminalCursorVisible = true;
    bool changed = false;  // something to draw since the last flush
    std::string output;    // bytes for the terminal, not yet sent
};

// Gives the grid a new size. The program's cells keep their places (those outside are dropped,
// those added are blank), the cursor is kept inside, and all that the terminal shows becomes
// unknown.
void resizeTerminalScreen(TerminalScreen& screen, int width, int height);
// The terminal's content, cursor and cursor visibility are unknown: everything is drawn anew.
void forgetTerminalContent(TerminalScreen& screen);

// The console operations on the grid, with the platform's meaning and failures.
bool storeCells(TerminalScreen& screen, const Cell* cells, int count, Coord at);
bool fillCells(TerminalScreen& screen, uint8_t ch, uint32_t count, Coord at);
bool scrollCells(TerminalScreen& screen, Rect source, Coord destination, uint8_t fill);
bool moveCursor(TerminalScreen& screen, Coord at);
void showCursor(TerminalScreen& screen, const CursorInfo& info);

// Appends to `output` what makes the terminal show the grid, the cursor in its place and with
// its visibility; appends nothing when nothing changed.
void drawTerminalScreen(TerminalScreen& screen);

}  // namespace platform
