// The line editor in which answers are typed at the console.
#pragma once

#include <cstdint>

#include "console/text.h"

// One edit in progress: the text, the edit point, the screen size taken when the edit started
// and the cursor cell (1-based column x, row y) that shows the edit point.
struct LineEdit {
    Text text;
    int64_t editPos = 0;
    int width = 80;
    int height = 25;
    int x = 1;
    int y = 1;
};

void readConsoleLine(const Text* prompt, int32_t addQuestionMark, int32_t addLineEnd);
Text editLine();

// Moves the cursor d cells on in reading order (back for negative d) from x, y and updates them.
void moveCursorBy(LineEdit& edit, int64_t d);
