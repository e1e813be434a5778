// The line editor: one answer line typed and edited at the console. Every change is redrawn from
// the edit point to the end of the text only, with the cursor hidden meanwhile.
#include "console/line_editor.h"

#include <array>
#include <iterator>
#include <utility>

#include "console/console_state.h"
#include "console/key_tables.h"
#include "console/keys.h"
#include "console/print.h"
#include "console/screen.h"
#include "platform/platform.h"

namespace {

constexpr int KEY_WAIT_MS = 25;
constexpr int64_t TAB_STOP = 8;

constexpr KeyCode KEY_ENTER = 13;
constexpr KeyCode KEY_CTRL_ENTER = 10;

struct ScreenCell {
    int column;
    int row;
};

int64_t textLength(const LineEdit& e) { return std::ssize(e.text); }

void writeToScreen(const char* bytes, int64_t count) {
    consoleWrite(reinterpret_cast<const uint8_t*>(bytes), static_cast<uint32_t>(count), 0);
}

void hideCursor() { placeCursor(0, 0, 0); }

void readCursor(LineEdit& e) {
    e.x = cursorColumn();
    e.y = cursorRow();
}

// The cell d cells on from x, y in reading order. Floor division keeps the column in 1 to W
// when the offset is negative: from column 1, one cell back is column W of the row above.
ScreenCell cellAfter(const LineEdit& e, int64_t d) {
    const int64_t i = int64_t{e.y - 1} * e.width + (e.x - 1) + d;
    int64_t row = i / e.width;
    if (i % e.width < 0) --row;
    return {static_cast<int>(i - row * e.width) + 1, static_cast<int>(row) + 1};
}

// A redraw of `count` cells from x, y that ends no later than just past the bottom-right cell
// has not scrolled the screen.
bool redrawStaysOnScreen(const LineEdit& e, int64_t count) {
    const ScreenCell after = cellAfter(e, count);
    return after.row <= e.height || (after.row == e.height + 1 && after.column == 1);
}

// After a redraw of `count` cells that scrolled the screen, the text ends on the bottom row in
// the column it would have had anyway; one that filled the bottom-right cell ends just past it,
// where the cursor cannot show (the line feed is still owed).
void endAfterScroll(LineEdit& e, int64_t count) {
    const ScreenCell after = cellAfter(e, count);
    e.x = after.column;
    e.y = after.column == 1 ? e.height + 1 : e.height;
}

// Puts the bytes in before the edit point and leaves the cursor just after them.
void insertBytes(LineEdit& e, const Text& bytes) {
    hideCursor();
    const int64_t p = e.editPos;
    const int64_t n = std::ssize(bytes);
    e.text.insert(static_cast<size_t>(p), bytes);
    const int64_t redrawn = textLength(e) - p;
    writeToScreen(e.text.data() + p, redrawn);
    if (redrawStaysOnScreen(e, redrawn)) {
        moveCursorBy(e, n);
    } else {
        // The write scrolled the screen: go back from the end of the text instead.
        endAfterScroll(e, redrawn);
        moveCursorBy(e, -(redrawn - n));
    }
    e.editPos = p + n;
}

// Removes `count` bytes at the edit point; the cells they leave at the end are blanked.
void deleteBytes(LineEdit& e, int64_t count) {
    hideCursor();
    const int64_t p = e.editPos;
    e.text.erase(static_cast<size_t>(p), static_cast<size_t>(count));
    writeToScreen(e.text.data() + p, textLength(e) - p);
    const Text blanks(static_cast<size_t>(count), ' ');
    writeToScreen(blanks.data(), count);
    placeCursor(e.y, e.x, -1);
}

void backspace(LineEdit& e) {
    if (e.editPos == 0) return;
    --e.editPos;
    moveCursorBy(e, -1);
    deleteBytes(e, 1);
}

void deleteAtPoint(LineEdit& e) {
    if (e.editPos < textLength(e)) {
        deleteBytes(e, 1);
    } else {
        platform::currentPlatform().beep(TONE_HZ, TONE_MS);
    }
}

void left(LineEdit& e) {
    if (e.editPos == 0) return;
    --e.editPos;
    moveCursorBy(e, -1);
}

void right(LineEdit& e) {
    if (e.editPos == textLength(e)) return;
    ++e.editPos;
    moveCursorBy(e, 1);
}

void home(LineEdit& e) {
    moveCursorBy(e, -e.editPos);
    e.editPos = 0;
}

void end(LineEdit& e) {
    moveCursorBy(e, textLength(e) - e.editPos);
    e.editPos = textLength(e);
}

void up(LineEdit& e) {
    if (e.editPos < e.width) return;
    moveCursorBy(e, -e.width);
    e.editPos -= e.width;
}

void down(LineEdit& e) {
    if (e.editPos + e.width > textLength(e)) return;
    moveCursorBy(e, e.width);
    e.editPos += e.width;
}

void blankText(LineEdit& e) {
    moveCursorBy(e, -e.editPos);
    e.editPos = 0;
    if (!e.text.empty()) deleteBytes(e, textLength(e));
}

// Tab stops are counted from the start of the text, not from the screen's left edge.
void tab(LineEdit& e) { insertBytes(e, Text(static_cast<size_t>(TAB_STOP - e.editPos % TAB_STOP), ' ')); }

struct EditKey {
    KeyCode code;
    void (*action)(LineEdit&);
};

// Enter and Ctrl+Enter end the edit; character keys 32 to 255 are inserted; every other key is
// ignored.
constexpr auto EDIT_KEYS = std::to_array<EditKey>({
    {8, backspace},
    {9, tab},
    {27, blankText},
    {extendedKey(83), deleteAtPoint},
    {extendedKey(75), left},
    {extendedKey(77), right},
    {extendedKey(71), home},
    {extendedKey(79), end},
    {extendedKey(72), up},
    {extendedKey(80), down},
});

void actOnKey(LineEdit& e, KeyCode code) {
    for (const EditKey& key : EDIT_KEYS) {
        if (key.code == code) return key.action(e);
    }
    if (code >= 32 && code <= 255) insertBytes(e, Text(1, static_cast<char>(code)));
}

// Waits without spinning: the platform wakes us as soon as a key arrives.
Text waitForKey() {
    for (;;) {
        while (keyAvailable() == 0) platform::currentPlatform().waitForInput(KEY_WAIT_MS);
        Text key = pollKey();
        if (!key.empty()) return key;
    }
}

KeyCode keyCodeOf(const Text& key) {
    if (key.size() == 2) return 255 + 256 * static_cast<uint8_t>(key[1]);
    return static_cast<uint8_t>(key[0]);
}

}  // namespace

void moveCursorBy(LineEdit& e, int64_t d) {
    const ScreenCell to = cellAfter(e, d);
    if (to.column == 1 && to.row == e.height + 1) {
        // Just past the last cell: placing the cursor cancels a deferred wrap, so the line end
        // scrolls exactly one row and leaves the cursor at column 1 of the bottom row.
        placeCursor(e.height, e.width, -1);
        writeToScreen("\r\n", 2);
    } else {
        placeCursor(to.row, to.column, -1);
    }
    e.x = to.column;
    e.y = to.row;
}

Text editLine() {
    // A wrap still owed after the bottom-right cell, by the prompt or by earlier output, is
    // carried out first, so the text starts on a fresh cell; placing the cursor would cancel it.
    consoleWrite(nullptr, 0, WRITE_EVEN_IF_EMPTY);
    LineEdit e;
    const ScreenSize size = screenSize();
    e.width = size.width;
    e.height = size.height;
    const int wasVisible = static_cast<int>((placeCursor(0, 0, -1) >> 16) & 1);
    placeCursor(0, 0, 1);
    KeyCode code = 0;
    do {
        readCursor(e);
        code = keyCodeOf(waitForKey());
        actOnKey(e, code);
        placeCursor(0, 0, 1);
    } while (code != KEY_ENTER && code != KEY_CTRL_ENTER);
    readCursor(e);
    moveCursorBy(e, textLength(e) - e.editPos);
    placeCursor(0, 0, wasVisible);
    return std::move(e.text);
}

void readConsoleLine(const Text* prompt, int32_t addQuestionMark, int32_t addLineEnd) {
    if (prompt != nullptr) {
        if (!prompt->empty()) printText(0, *prompt, 0);
        if (addQuestionMark != 0) printLiteral(0, "? ", 0);
    }
    Text text = editLine();
    if (addLineEnd != 0) printLiteral(0, "", PRINT_NEWLINE);
    consoleState().input.line = std::move(text);
}
