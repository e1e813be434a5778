// The screen writer: printed bytes put into the cells of the console, with its own cursor,
// control characters, wrapping, scrolling and clearing.
#pragma once

#include <cstdint>

// The console's tone: BEL in printed text, and the line editor's refusal.
constexpr uint32_t TONE_HZ = 1000;
constexpr uint32_t TONE_MS = 250;

// The console side of consoleWrite and clearScreen.
void consoleWriteOnScreen(const uint8_t* bytes, uint32_t count, uint32_t flags);
void clearScreenOnConsole();

// Row and column are 1-based screen positions, 0 for the current one. Visibility: negative
// keeps it, 0 hides the cursor, positive shows it. Returns column mod 256 in bits 0-7, row mod
// 256 in bits 8-15 and in bit 16 whether the cursor was visible before the call.
uint32_t placeCursor(int row, int column, int visibility);
int cursorColumn();
int cursorRow();

struct ScreenSize {
    int width;
    int height;
};
ScreenSize screenSize();

struct ViewRows {
    int top;
    int bottom;
};
ViewRows viewRows();
