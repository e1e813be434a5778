#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "console/console_state.h"
#include "console/line_editor.h"
#include "console/print.h"
#include "console/screen.h"
#include "platform/keyboard_layout.h"
#include "platform/memory_console.h"

namespace {

using platform::KeyEvent;
namespace vk = platform::vk;

KeyEvent keyDown(uint16_t virtualKey, uint16_t scanCode, uint8_t character, uint32_t state) {
    KeyEvent event;
    event.virtualKey = virtualKey;
    event.scanCode = scanCode;
    event.character = character;
    event.controlState = state;
    return event;
}

KeyEvent arrowPadKey(uint16_t virtualKey, uint16_t scanCode) {
    return keyDown(virtualKey, scanCode, 0, platform::ENHANCED_KEY);
}

KeyEvent functionKey(int number) {
    const uint16_t scanCode = number <= 10 ? 58 + number : 76 + number;
    return keyDown(vk::F1 + number - 1, scanCode, 0, 0);
}

// A control character as a key that has no extended code of its own.
KeyEvent controlChar(uint8_t ch) { return keyDown(0, 0, ch, 0); }

const KeyEvent LEFT = arrowPadKey(vk::Left, 75);
const KeyEvent RIGHT = arrowPadKey(vk::Right, 77);
const KeyEvent UP = arrowPadKey(vk::Up, 72);
const KeyEvent DOWN = arrowPadKey(vk::Down, 80);
const KeyEvent HOME = arrowPadKey(vk::Home, 71);
const KeyEvent END = arrowPadKey(vk::End, 79);
const KeyEvent DEL = arrowPadKey(vk::Delete, 83);
const KeyEvent INSERT = arrowPadKey(vk::Insert, 82);
const KeyEvent PAGE_UP = arrowPadKey(vk::PageUp, 73);
const KeyEvent PAGE_DOWN = arrowPadKey(vk::PageDown, 81);
const KeyEvent ALT_F4 = keyDown(vk::F1 + 3, 62, 0, platform::LEFT_ALT_PRESSED);
const KeyEvent CTRL_ENTER = keyDown(vk::Return, 28, 10, platform::LEFT_CTRL_PRESSED);
const KeyEvent CHAR_255 = keyDown(0, 0, 255, 0);
const std::string BACKSPACE = "\b";
const std::string TAB = "\t";
const std::string ESC = "\x1b";

// Text typed as key-down and key-up events, or one key event.
using Key = std::variant<std::string, KeyEvent>;

struct Screen {
    int width;
    int height;
};

class LineEditorTest : public ::testing::Test {
protected:
    void SetUp() override { useScreen({80, 25}); }

    void useScreen(Screen size) {
        resetConsoleState();
        console = platform::MemoryConsole(size.width, size.height, size.height);
        platform::setPlatform(&console);
    }

    void type(const std::vector<Key>& keys) {
        for (const Key& key : keys) {
            if (const auto* text = std::get_if<std::string>(&key)) {
                console.typeText(*text);
            } else {
                console.typeKey(std::get<KeyEvent>(key));
            }
        }
    }

    // Reads one answer line after "? ". Once the scripted keys are used up, the screen and the
    // cursor are noted as they stand during the edit, and Enter is pressed.
    Text answer(const std::vector<Key>& keys) {
        type(keys);
        console.onIdle = [this] {
            duringEdit = console.cursor();
            screenDuringEdit = console.windowText();
            console.typeText("\r");
        };
        const Text prompt;
        readConsoleLine(&prompt, -1, -1);
        return consoleState().input.line;
    }

    // Column and row, 1-based, of the cursor while the user was still typing.
    std::pair<int, int> editCursor() const { return {duringEdit.x + 1, duringEdit.y + 1}; }

    std::string row(int screenRow) const { return console.rowText(screenRow - 1); }

    static std::string padded(const std::string& text, int width) {
        return text + std::string(static_cast<size_t>(width) - text.size(), ' ');
    }

    platform::MemoryConsole console{80, 25, 25};
    platform::Coord duringEdit;
    std::string screenDuringEdit;
};

// Each editing key on a one-row answer: the text handed over, what the row shows and where the
// cursor stands before Enter.
TEST_F(LineEditorTest, EditingKeysOnOneRow) {
    struct Case {
        const char* name;
        std::vector<Key> keys;
        Text text;
        int cursorColumn;
    };
    const Case cases[] = {
        {"typing", {"Lima"}, "Lima", 7},
        {"backspace", {"Limx", BACKSPACE, "a"}, "Lima", 7},
        {"home then type", {"ima", HOME, "L"}, "Lima", 4},
        {"insert in the middle", {"Lma", LEFT, LEFT, "i"}, "Lima", 5},
        {"right", {"Lma", HOME, RIGHT, "i"}, "Lima", 5},
        {"delete", {"XLima", HOME, DEL}, "Lima", 3},
        {"backspace in the middle", {"Lixma", LEFT, LEFT, BACKSPACE}, "Lima", 5},
        {"end", {"Lima", HOME, END, "s"}, "Limas", 8},
        {"esc blanks a 10-byte text", {"0123456789", ESC}, "", 3},
        {"esc from the middle", {"0123456789", LEFT, LEFT, ESC, "Quito"}, "Quito", 8},
        {"esc on nothing", {ESC}, "", 3},
        {"tab at 0", {TAB}, "        ", 11},
        {"tab at 3", {"abc", TAB}, "abc     ", 11},
        {"tab stops from the text start", {"x", TAB, "y", TAB}, "x       y       ", 19},
        {"tab in the middle", {"abcd", HOME, TAB}, "        abcd", 11},
        {"byte 255", {"Lim", CHAR_255}, "Lim\xff", 7},
        {"backspace at the start", {BACKSPACE, "ab", HOME, BACKSPACE}, "ab", 3},
        {"left at the start", {LEFT, "ab", HOME, LEFT}, "ab", 3},
        {"right at the end", {RIGHT, "ab", RIGHT}, "ab", 5},
        {"up below one row", {"abc", UP}, "abc", 6},
        {"down with less than a row after", {"abc", HOME, DOWN}, "abc", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useScreen({80, 25});
        EXPECT_EQ(answer(c.keys), c.text);
        EXPECT_EQ(row(1), padded("? " + c.text, 80));
        EXPECT_EQ(editCursor(), std::make_pair(c.cursorColumn, 1));
        EXPECT_TRUE(console.beeps.empty());
    }
}

TEST_F(LineEditorTest, DeleteAtTheEndBeepsAndChangesNothing) {
    EXPECT_EQ(answer({"Lima", DEL, HOME, END, DEL}), "Lima");
    EXPECT_EQ(console.beeps, (std::vector<std::pair<uint32_t, uint32_t>>{{1000, 250}, {1000, 250}}));
    EXPECT_EQ(row(1), padded("? Lima", 80));
    EXPECT_EQ(editCursor(), std::make_pair(7, 1));
}

TEST_F(LineEditorTest, KeysOutsideTheTableDoNothing) {
    std::vector<Key> keys = {"Li", INSERT, PAGE_UP, PAGE_DOWN, ALT_F4};
    for (int number = 1; number <= 12; ++number) keys.emplace_back(functionKey(number));
    for (uint8_t ch : {1, 7, 11, 12, 14, 26, 28, 31}) keys.emplace_back(controlChar(ch));
    keys.emplace_back("ma");
    EXPECT_EQ(answer(keys), "Lima");
    EXPECT_EQ(row(1), padded("? Lima", 80));
    EXPECT_EQ(editCursor(), std::make_pair(7, 1));
    EXPECT_TRUE(console.beeps.empty());
}

TEST_F(LineEditorTest, EnterAndCtrlEnterEndTheLineWithoutBeingStored) {
    for (const Key& enter : {Key{"\r"}, Key{CTRL_ENTER}}) {
        useScreen({80, 25});
        type({"Lima", enter, "Quito"});
        const Text prompt;
        readConsoleLine(&prompt, -1, -1);
        EXPECT_EQ(consoleState().input.line, "Lima");
        EXPECT_EQ(row(1), padded("? Lima", 80));
        EXPECT_EQ(console.cursor().y, 1);
        EXPECT_EQ(console.cursor().x, 0);
    }
}

// A text of 16 bytes on a screen 10 wide: "? abcdefgh" on row 1, "ijklmnop" on row 2.
TEST_F(LineEditorTest, EditingAcrossTheWrap) {
    struct Case {
        const char* name;
        std::vector<Key> keys;
        Text text;
        std::string row1;
        std::string row2;
        std::pair<int, int> cursor;
    };
    const std::string typed = "abcdefghijklmnop";
    const Case cases[] = {
        {"typed", {typed}, typed, "? abcdefgh", "ijklmnop  ", {9, 2}},
        {"up keeps the column", {typed, UP, "X"}, "abcdefXghijklmnop", "? abcdefXg", "hijklmnop ", {10, 1}},
        {"up refused on the first row", {typed, UP, UP}, typed, "? abcdefgh", "ijklmnop  ", {9, 1}},
        {"down keeps the column", {typed, HOME, DOWN, "X"}, "abcdefghijXklmnop", "? abcdefgh", "ijXklmnop ", {4, 2}},
        {"down refused near the end", {typed, HOME, DOWN, DOWN}, typed, "? abcdefgh", "ijklmnop  ", {3, 2}},
        {"up from W", {typed, HOME, DOWN, UP, "X"}, "X" + typed, "? Xabcdefg", "hijklmnop ", {4, 1}},
        {"up refused at W - 1",
         {typed, LEFT, LEFT, LEFT, LEFT, LEFT, LEFT, LEFT, UP},
         typed,
         "? abcdefgh",
         "ijklmnop  ",
         {2, 2}},
        {"down to the very end", {typed, UP, DOWN, "X"}, typed + "X", "? abcdefgh", "ijklmnopX ", {10, 2}},
        {"left from column 1 goes to column W above",
         {typed, HOME, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, LEFT},
         typed,
         "? abcdefgh",
         "ijklmnop  ",
         {10, 1}},
        {"backspace from column 1 pulls the next row up",
         {typed, HOME, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, RIGHT, BACKSPACE},
         "abcdefgijklmnop",
         "? abcdefgi",
         "jklmnop   ",
         {10, 1}},
        {"typing at the end of row 1 pushes into row 2",
         {"abcdefgh", LEFT, "X"},
         "abcdefgXh",
         "? abcdefgX",
         "h         ",
         {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useScreen({10, 6});
        EXPECT_EQ(answer(c.keys), c.text);
        EXPECT_EQ(row(1), c.row1);
        EXPECT_EQ(row(2), c.row2);
        EXPECT_EQ(editCursor(), c.cursor);
    }
}

// The answer line starts on the bottom row of a screen 10 wide and 3 high, under "one" and
// "two".
TEST_F(LineEditorTest, EditingOnTheBottomRow) {
    struct Case {
        const char* name;
        Screen screen;
        std::vector<Key> keys;
        Text text;
        std::vector<std::string> rows;
        std::pair<int, int> cursor;
    };
    const Case cases[] = {
        {"typing into the bottom-right cell scrolls at once",
         {10, 3},
         {"abcdefgh"},
         "abcdefgh",
         {"two       ", "? abcdefgh", "          "},
         {1, 3}},
        {"an insert that ends in the bottom-right cell does not scroll",
         {10, 3},
         {"abcdefg", HOME, "X"},
         "Xabcdefg",
         {"one       ", "two       ", "? Xabcdefg"},
         {4, 3}},
        {"an insert that grows past the last cell scrolls",
         {10, 3},
         {"abcdefg", HOME, "X", "Y"},
         "XYabcdefg",
         {"two       ", "? XYabcdef", "g         "},
         {5, 2}},
        {"a tab past the last cell leaves the cursor after its spaces",
         {12, 3},
         {"abcdefghi", TAB, "x"},
         "abcdefghi       x",
         {"two         ", "? abcdefghi ", "      x     "},
         {8, 3}},
        {"a tab wider than the rest of the screen that ends in the bottom-right cell scrolls at once",
         {6, 3},
         {"abcdefgh", TAB, "x"},
         "abcdefgh        x",
         {"efgh  ", "      ", "x     "},
         {2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useScreen(c.screen);
        printText(0, "one", PRINT_NEWLINE);
        printText(0, "two", PRINT_NEWLINE);
        EXPECT_EQ(answer(c.keys), c.text);
        EXPECT_EQ(screenDuringEdit, c.rows[0] + "\n" + c.rows[1] + "\n" + c.rows[2] + "\n");
        EXPECT_EQ(editCursor(), c.cursor);
    }
}

TEST_F(LineEditorTest, TextEndingInTheLastColumnIsFollowedByOneEmptyRow) {
    useScreen({10, 6});
    EXPECT_EQ(answer({"abcdefgh"}), "abcdefgh");
    printText(0, "Correct!", PRINT_NEWLINE);
    EXPECT_EQ(row(1), "? abcdefgh");
    EXPECT_EQ(row(2), "          ");
    EXPECT_EQ(row(3), "Correct!  ");
}

// Enter with the edit point on the first row of a two-row text: the line end comes after the
// text, so the next line does not overwrite its second row.
TEST_F(LineEditorTest, EnterLeavesTheCursorAfterTheTextThenEndsTheLine) {
    useScreen({10, 6});
    answer({"abcdefghijkl", HOME});
    EXPECT_EQ(editCursor(), std::make_pair(3, 1));
    printText(0, "Correct!", PRINT_NEWLINE);
    EXPECT_EQ(row(2), "ijkl      ");
    EXPECT_EQ(row(3), "Correct!  ");
}

// Far more text than the screen holds, typed in pieces: the text follows the key table even
// where the cursor cannot show the edit point above the top row.
TEST_F(LineEditorTest, HundredThousandBytesTypedInPieces) {
    const std::string piece(400, 'a');
    int pieces = 0;
    console.onIdle = [&] {
        if (pieces++ < 250) {
            console.typeText(piece);
            return;
        }
        type({HOME, "x", END, "y", LEFT, BACKSPACE, "\r"});
    };
    const Text prompt;
    readConsoleLine(&prompt, -1, -1);
    EXPECT_EQ(consoleState().input.line, "x" + std::string(99'999, 'a') + "y");
    // The end of the text stays in view, just above the line end.
    const std::string lastRow = row(24);
    EXPECT_EQ(lastRow.substr(lastRow.find_last_not_of(' ') - 1, 2), "ay");
    EXPECT_EQ(row(25), std::string(80, ' '));
}

// Moves in reading order on a screen 10 wide and 4 high whose top row reads "top".
TEST_F(LineEditorTest, MoveCursorBy) {
    struct Case {
        const char* name;
        std::pair<int, int> from;
        int64_t d;
        std::pair<int, int> to;      // the new x, y
        std::pair<int, int> cursor;  // where the cursor shows
        bool scrolled;
    };
    const Case cases[] = {
        {"forward within the row", {3, 2}, 4, {7, 2}, {7, 2}, false},
        {"forward onto the next row", {8, 2}, 5, {3, 3}, {3, 3}, false},
        {"back from column 1", {1, 2}, -1, {10, 1}, {10, 1}, false},
        {"back a whole row", {4, 3}, -10, {4, 2}, {4, 2}, false},
        {"back above the screen", {5, 1}, -25, {10, -2}, {5, 1}, false},
        {"just past the last cell scrolls", {10, 4}, 1, {1, 5}, {1, 4}, true},
        {"further below the screen is refused", {5, 4}, 10, {5, 5}, {5, 4}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useScreen({10, 4});
        printText(0, "top", 0);
        LineEdit edit;
        edit.width = 10;
        edit.height = 4;
        edit.x = c.from.first;
        edit.y = c.from.second;
        placeCursor(edit.y, edit.x, -1);
        moveCursorBy(edit, c.d);
        EXPECT_EQ(std::make_pair(edit.x, edit.y), c.to);
        EXPECT_EQ(std::make_pair(console.cursor().x + 1, console.cursor().y + 1), c.cursor);
        EXPECT_EQ(row(1) == "top       ", !c.scrolled);
    }
}

// The cursor shows while the user types, is hidden while a change is drawn, and is as before
// once the line is read.
class WatchedConsole : public platform::MemoryConsole {
public:
    using MemoryConsole::MemoryConsole;
    bool writeCells(const platform::Cell* cells, int16_t count, platform::Coord at) override {
        if (cursorVisible()) ++visibleWrites;
        return MemoryConsole::writeCells(cells, count, at);
    }
    int visibleWrites = 0;
};

TEST_F(LineEditorTest, CursorVisibility) {
    for (bool visibleBefore : {true, false}) {
        SCOPED_TRACE(visibleBefore);
        resetConsoleState();
        WatchedConsole watched(80, 25, 25);
        platform::setPlatform(&watched);
        watched.setCursorInfo({25, visibleBefore});
        printText(0, "? ", 0);
        watched.visibleWrites = 0;
        watched.typeText("Lmx");
        watched.typeKey(LEFT);
        watched.typeText(
            "i\x1b"
            "Lima");
        bool visibleWhileTyping = false;
        watched.onIdle = [&] {
            visibleWhileTyping = watched.cursorVisible();
            watched.typeText("\r");
        };
        EXPECT_EQ(editLine(), "Lima");
        EXPECT_TRUE(visibleWhileTyping);
        EXPECT_EQ(watched.visibleWrites, 0);
        EXPECT_EQ(watched.cursorVisible(), visibleBefore);
    }
}

// The editor sleeps in the platform's key wait, which returns as soon as a key arrives.
TEST_F(LineEditorTest, WaitsForKeysWithoutFixedSleeps) {
    int idle = 0;
    console.onIdle = [&] {
        if (++idle < 3) return;
        console.typeText(idle == 3 ? "Quito" : "\r");
    };
    const Text prompt;
    readConsoleLine(&prompt, -1, -1);
    EXPECT_EQ(consoleState().input.line, "Quito");
    EXPECT_EQ(console.waits, std::vector<int>(4, 25));
    EXPECT_TRUE(console.sleeps.empty());
}

TEST_F(LineEditorTest, PromptQuestionMarkAndLineEnd) {
    struct Case {
        const char* name;
        std::optional<Text> prompt;
        int32_t questionMark;
        int32_t lineEnd;
        std::string firstRow;
        std::pair<int, int> cursorAfter;
    };
    const Case cases[] = {
        {"the quiz's call", Text(), -1, -1, "? ab", {1, 2}},
        {"a prompt", Text("Capital"), 1, 1, "Capital? ab", {1, 2}},
        {"a prompt without the mark", Text("Capital"), 0, 1, "Capitalab", {1, 2}},
        {"no prompt at all", std::nullopt, -1, -1, "ab", {1, 2}},
        {"no line end", Text(), -1, 0, "? ab", {5, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        useScreen({80, 25});
        console.typeText("ab\r");
        readConsoleLine(c.prompt ? &*c.prompt : nullptr, c.questionMark, c.lineEnd);
        EXPECT_EQ(consoleState().input.line, "ab");
        EXPECT_EQ(row(1), padded(c.firstRow, 80));
        EXPECT_EQ(std::make_pair(console.cursor().x + 1, console.cursor().y + 1), c.cursorAfter);
    }
}

// Output that filled the bottom-right cell still owes its line feed: typing starts on a fresh
// row, not over that cell, even with no prompt written before it.
TEST_F(LineEditorTest, OwedWrapIsCarriedOutBeforeThePrompt) {
    useScreen({10, 3});
    printText(0, "one", PRINT_NEWLINE);
    printText(0, "two", PRINT_NEWLINE);
    printText(0, "abcdefghij", 0);
    console.typeText("ok\r");
    readConsoleLine(nullptr, 0, 0);
    EXPECT_EQ(console.windowText(), "two       \nabcdefghij\nok        \n");
}

// A prompt that fills the bottom-right cell owes its line feed as well: typing starts on the next
// row, not over the prompt's last byte.
TEST_F(LineEditorTest, PromptEndingInTheBottomRightCell) {
    useScreen({10, 3});
    printText(0, "one", PRINT_NEWLINE);
    printText(0, "two", PRINT_NEWLINE);
    const Text prompt = "Capital ";
    console.typeText("ok\r");
    readConsoleLine(&prompt, 1, 0);
    EXPECT_EQ(consoleState().input.line, "ok");
    EXPECT_EQ(console.windowText(), "two       \nCapital ? \nok        \n");
}

}  // namespace
