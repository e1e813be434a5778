// Print operations: the exact bytes of printed texts and numbers, and the one write through which
// every printed byte reaches the screen or standard output.
#pragma once

#include <cstdint>

#include "console/console_state.h"
#include "console/text.h"
#include "platform/platform.h"

constexpr int32_t PRINT_NEWLINE = 1;
constexpr uint32_t WRITE_EVEN_IF_EMPTY = 8;
constexpr int32_t CLEAR_DEFAULT = static_cast<int32_t>(0xFFFF0000u);

int printText(int fileNumber, const Text& text, int32_t flags);
int printInteger(int fileNumber, int32_t value, int32_t flags);
int printLiteral(int fileNumber, const char* literal, int32_t flags);

// Plain bytes to standard output with no console; the screen writer on a console.
int consoleWrite(const uint8_t* bytes, uint32_t count, uint32_t flags);
int clearScreen(int32_t mode);

// The standard output (0) or input (1) stream; the first call does the handle set-up.
platform::StdStream consoleHandle(int which);

// Runs the screen set-up once (handles and the first geometry reading) and tells whether output
// goes to a console.
bool onConsole();

// Reads ScreenGeometry from the console again (the screen writer does so after every write).
void readScreenGeometry();
