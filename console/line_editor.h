// The line editor in which answers are typed at the console.
#pragma once

#include <cstdint>

#include "console/text.h"

void readConsoleLine(const Text* prompt, int32_t addQuestionMark, int32_t addLineEnd);
Text editLine();
