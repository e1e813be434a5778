// Answer fields: one answer per question, typed at the console or read from standard input.
#pragma once

#include <cstdint>

#include "console/text.h"

constexpr uint32_t INPUT_FIELD_MAX = 4096;

int beginInput(const Text* prompt, int32_t addQuestionMark, int32_t addLineEnd);
int inputString(Text& target);

bool inputRedirected();
// Reads one text field into buffer (room for limit bytes and a terminating zero).
uint32_t readInputField(uint8_t* buffer, uint32_t limit);
int nextInputByte();
void putBackInputByte(uint8_t b);

// Blocks until a byte of redirected input is waiting (it stays for the next read); false when
// the input has ended.
bool awaitInputByte();
