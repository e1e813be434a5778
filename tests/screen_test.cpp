#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/console_state.h"
#include "console/print.h"
#include "console/screen.h"
#include "platform/memory_console.h"

namespace {

using platform::MemoryConsole;

// The in-memory console, able to pretend its buffer shrank (as a terminal window does) and
// counting the calls that carry the output.
class TestConsole : public MemoryConsole {
public:
    using MemoryConsole::MemoryConsole;

    int reportedRows = 0;  // 0: the real buffer height
    int cellWrites = 0;
    std::vector<std::string> topRowAtBeep;

    bool getScreenBufferInfo(platform::ScreenBufferInfo& info) override {
        if (!MemoryConsole::getScreenBufferInfo(info)) return false;
        if (reportedRows > 0) {
            info.size.y = static_cast<int16_t>(reportedRows);
            info.window.bottom = static_cast<int16_t>(reportedRows - 1);
            info.cursor.y = std::min<int16_t>(info.cursor.y, info.window.bottom);
        }
        return true;
    }
    bool writeCells(const platform::Cell* cells, int16_t count, platform::Coord at) override {
        ++cellWrites;
        return MemoryConsole::writeCells(cells, count, at);
    }
    void beep(uint32_t frequencyHz, uint32_t durationMs) override {
        topRowAtBeep.push_back(rowText(0));
        MemoryConsole::beep(frequencyHz, durationMs);
    }
};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override { open(10, 4, 4); }

    void open(int width, int bufferHeight, int windowHeight) {
        resetConsoleState();
        console = std::make_unique<TestConsole>(width, bufferHeight, windowHeight);
        platform::setPlatform(console.get());
    }

    void write(const std::string& bytes, uint32_t flags = 0) {
        consoleWrite(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()), flags);
    }

    // The buffer's rows without their trailing spaces.
    std::vector<std::string> rows(int first, int last) const {
        std::vector<std::string> text;
        for (int y = first; y <= last; ++y) {
            std::string row = console->rowText(y);
            row.erase(row.find_last_not_of(' ') + 1);
            text.push_back(row);
        }
        return text;
    }
    std::vector<std::string> allRows() const { return rows(0, console->bufferHeight() - 1); }

    std::pair<int, int> cursor() const { return {console->cursor().x, console->cursor().y}; }

    std::unique_ptr<TestConsole> console;
};

using Rows = std::vector<std::string>;
using Cursor = std::pair<int, int>;

// Control bytes and wrapping within one write, on a 10x4 screen.
TEST_F(ScreenTest, BytesLandInCells) {
    struct Case {
        std::string bytes;
        Rows screen;
        Cursor cursor;
    };
    const Case cases[] = {
        {"0123456789\r\n", {"0123456789", "", "", ""}, {0, 2}},
        {"ab\bc", {"ac", "", "", ""}, {2, 0}},
        {"\bx", {"x", "", "", ""}, {1, 0}},
        {"ab\ncd", {"ab", "cd", "", ""}, {2, 1}},
        {"abc\rX", {"Xbc", "", "", ""}, {1, 0}},
        {"\tx", {"        x", "", "", ""}, {9, 0}},
        {"1234567\tx", {"1234567 x", "", "", ""}, {9, 0}},
        {"abcdefghi\tZ", {"abcdefghi", "      Z", "", ""}, {7, 1}},
        {"0123456789abcdefghijKL", {"0123456789", "abcdefghij", "KL", ""}, {2, 2}},
        {"a\x01\x1b[2J\x7f\xff", {"a\x01\x1b[2J\x7f\xff", "", "", ""}, {8, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        SetUp();
        write(c.bytes);
        EXPECT_EQ(allRows(), c.screen);
        EXPECT_EQ(cursor(), c.cursor);
    }
}

// The tone sounds before the bytes gathered ahead of it reach the screen; no cell changes.
TEST_F(ScreenTest, BellSoundsOnceAndWritesNothing) {
    write("ab\x07");
    EXPECT_EQ(console->beeps, (std::vector<std::pair<uint32_t, uint32_t>>{{1000, 250}}));
    ASSERT_EQ(console->topRowAtBeep.size(), 1u);
    EXPECT_EQ(console->topRowAtBeep[0], std::string(10, ' '));
    EXPECT_EQ(allRows(), (Rows{"ab", "", "", ""}));
    EXPECT_EQ(cursor(), (Cursor{2, 0}));
}

// Each row segment of a run reaches the console in one cell write.
TEST_F(ScreenTest, OneCellWritePerRowSegment) {
    write("abc");
    write(std::string(25, 'x'));
    EXPECT_EQ(console->cellWrites, 1 + 3);
}

TEST_F(ScreenTest, LineEndOnLastRowScrollsAtOnce) {
    write("r1\r\nr2\r\nr3\r\n");
    printText(0, "Correct!", PRINT_NEWLINE);
    EXPECT_EQ(allRows(), (Rows{"r2", "r3", "Correct!", ""}));
    EXPECT_EQ(cursor(), (Cursor{0, 3}));
}

// A write that ends in the bottom-right cell owes its line feed to the next write, unless the
// cursor is placed or the screen cleared in between.
TEST_F(ScreenTest, DeferredWrap) {
    struct Case {
        const char* name;
        std::function<void()> between;
        Rows screen;
        Cursor cursor;
    };
    const Case cases[] = {
        {"next write scrolls first", [this] { write("x"); }, {"r2", "r3", "0123456789", "x"}, {1, 3}},
        {"empty write that still places the cursor",
         [] { consoleWrite(nullptr, 0, WRITE_EVEN_IF_EMPTY); },
         {"r2", "r3", "0123456789", ""},
         {0, 3}},
        {"empty write", [] { consoleWrite(nullptr, 0, 0); }, {"r1", "r2", "r3", "0123456789"}, {9, 3}},
        {"placeCursor cancels it",
         [this] {
             placeCursor(0, 0, -1);
             write("x");
         },
         {"r1", "r2", "r3", "012345678x"},
         {9, 3}},
        {"clearScreen cancels it",
         [this] {
             clearScreen(CLEAR_DEFAULT);
             write("x");
         },
         {"x", "", "", ""},
         {1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        write("r1\r\nr2\r\nr3\r\n0123456789");
        EXPECT_EQ(allRows(), (Rows{"r1", "r2", "r3", "0123456789"}));
        EXPECT_EQ(cursor(), (Cursor{9, 3}));
        c.between();
        EXPECT_EQ(allRows(), c.screen);
        EXPECT_EQ(cursor(), c.cursor);
    }
}

TEST_F(ScreenTest, ManyLineFeedsBlankTheScreen) {
    write("a\r\nb\r\nc\r\nd");
    write(std::string(3, '\n'));
    EXPECT_EQ(allRows(), (Rows{"d", "", "", ""}));
    write(std::string(500, '\n') + "e");
    EXPECT_EQ(allRows(), (Rows{"", "", "", "e"}));
    EXPECT_EQ(cursor(), (Cursor{1, 3}));
}

// A buffer of 8 rows behind a window of 3: the window follows the output down the buffer, and
// only at the buffer's end does the content move.
TEST_F(ScreenTest, WindowSlidesDownATallerBuffer) {
    open(10, 8, 3);
    clearScreen(CLEAR_DEFAULT);
    write("L1\r\nL2\r\nL3\r\n");
    EXPECT_EQ(console->window().top, 1);
    EXPECT_EQ(console->windowText(), "L2        \nL3        \n          \n");
    EXPECT_EQ(cursor(), (Cursor{0, 3}));
    EXPECT_EQ(cursorRow(), 3);

    write("L4\r\nL5\r\nL6\r\nL7\r\nL8");
    EXPECT_EQ(console->window().top, 5);
    EXPECT_EQ(allRows(), (Rows{"L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8"}));

    write("\r\nL9");
    EXPECT_EQ(console->window().top, 5);
    EXPECT_EQ(allRows(), (Rows{"L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9"}));

    clearScreen(CLEAR_DEFAULT);
    EXPECT_EQ(allRows(), (Rows{"L2", "L3", "L4", "L5", "L6", "", "", ""}));
    EXPECT_EQ(cursor(), (Cursor{0, 5}));
    EXPECT_EQ(cursorRow(), 1);
    EXPECT_EQ(cursorColumn(), 1);
}

// After the window changes height the view keeps its first rows: output scrolls inside them,
// leaves the buffer below alone, and the window stays where it is.
TEST_F(ScreenTest, PartialViewAfterTheWindowChangedHeight) {
    for (int height : {3, 7}) {
        SCOPED_TRACE(height);
        open(10, 10, 5);
        clearScreen(CLEAR_DEFAULT);
        console->resizeWindow(height);
        const platform::Cell marker{'#', 7};
        console->writeCells(&marker, 1, {0, 5});

        write("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng");
        EXPECT_EQ(viewRows().top, 1);
        EXPECT_EQ(viewRows().bottom, 5);
        EXPECT_EQ(allRows(), (Rows{"c", "d", "e", "f", "g", "#", "", "", "", ""}));
        EXPECT_EQ(cursor(), (Cursor{1, 4}));
        EXPECT_EQ(console->window().top, 0);

        write(std::string(9, '\n'));
        EXPECT_EQ(allRows(), (Rows{"", "", "", "", "", "#", "", "", "", ""}));
    }
}

// A terminal whose window (and so its buffer) lost rows: the view shrinks with it instead of
// writing into rows that no longer exist.
TEST_F(ScreenTest, TerminalThatShrankScrollsInItsRemainingRows) {
    open(10, 6, 6);
    clearScreen(CLEAR_DEFAULT);
    console->reportedRows = 4;
    write("a\r\nb\r\nc\r\nd\r\ne\r\nf");
    EXPECT_EQ(allRows(), (Rows{"c", "d", "e", "f", "", ""}));
    EXPECT_EQ(cursor(), (Cursor{1, 3}));
    clearScreen(CLEAR_DEFAULT);
    EXPECT_EQ(allRows(), (Rows{"", "", "", "", "", ""}));
    EXPECT_EQ(cursor(), (Cursor{0, 0}));
}

uint32_t packed(int column, int row, bool visible) {
    return static_cast<uint32_t>(column % 256) | static_cast<uint32_t>(row % 256) << 8 | (visible ? 1u << 16 : 0);
}

TEST_F(ScreenTest, PlaceCursor) {
    open(300, 25, 25);
    write("abc");
    struct Case {
        int row, column, visibility;
        uint32_t result;
        Cursor cursor;
        bool visibleAfter;
    };
    const Case cases[] = {
        {0, 0, -1, packed(4, 1, true), {3, 0}, true},          {30, 1, -1, packed(4, 1, true), {3, 0}, true},
        {5, 301, 0, packed(4, 1, true), {3, 0}, false},        {5, 10, -1, packed(10, 5, false), {9, 4}, false},
        {25, 300, 1, packed(300, 25, false), {299, 24}, true}, {-1, 2, -1, packed(300, 25, true), {299, 24}, true},
        {1, 0, -1, packed(300, 1, true), {299, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.column << "," << c.visibility);
        EXPECT_EQ(placeCursor(c.row, c.column, c.visibility), c.result);
        EXPECT_EQ(cursor(), c.cursor);
        EXPECT_EQ(console->cursorVisible(), c.visibleAfter);
    }
}

// With standard output redirected nothing reaches a screen, and the queries give the fixed
// no-console answers.
TEST_F(ScreenTest, NoConsoleAnswers) {
    console->outputIsConsole = false;
    EXPECT_EQ(screenSize().width, 80);
    EXPECT_EQ(screenSize().height, 25);
    EXPECT_EQ(viewRows().top, 1);
    EXPECT_EQ(viewRows().bottom, 25);
    EXPECT_EQ(cursorColumn(), 0);
    EXPECT_EQ(cursorRow(), 0);
    EXPECT_EQ(placeCursor(30, 1, 0), 0u);
    clearScreen(CLEAR_DEFAULT);
    write("ab\r\n");
    EXPECT_EQ(console->output, "ab\r\n");
    EXPECT_TRUE(console->cursorVisible());
}

// A one-row window is no console either, but its cursor is still reported in raw coordinates.
TEST_F(ScreenTest, OneRowWindowIsNoConsole) {
    open(20, 1, 1);
    console->setCursorPosition({7, 0});
    EXPECT_EQ(screenSize().width, 80);
    EXPECT_EQ(cursorColumn(), 7);
    EXPECT_EQ(cursorRow(), 0);
    EXPECT_EQ(placeCursor(1, 1, 0), packed(1, 1, true));
    EXPECT_EQ(cursor(), (Cursor{7, 0}));
    EXPECT_TRUE(console->cursorVisible());
}

// A plain terminal, one byte at a time, for comparison: writes a cell and wraps, and scrolls
// only when a cell must be written below the last row.
struct ReferenceScreen {
    ReferenceScreen(int width, int height) : width(width), rows(height, std::string(width, ' ')) {}

    void feed(const std::string& bytes) {
        for (unsigned char byte : bytes) {
            switch (byte) {
                case 7:
                    break;
                case 8:
                    x = std::max(x - 1, 0);
                    break;
                case 9:
                    for (int k = 8 - x % 8; k > 0; --k) put(' ');
                    break;
                case 10:
                    x = 0;
                    ++y;
                    break;
                case 13:
                    x = 0;
                    break;
                default:
                    put(static_cast<char>(byte));
            }
        }
    }
    void put(char ch) {
        const int height = static_cast<int>(rows.size());
        if (y >= height) {
            const int n = std::min(y - height + 1, height);
            rows.erase(rows.begin(), rows.begin() + n);
            rows.insert(rows.end(), n, std::string(width, ' '));
            y = height - 1;
        }
        rows[y][x] = ch;
        if (++x == width) {
            x = 0;
            ++y;
        }
    }

    int width;
    std::vector<std::string> rows;
    int x = 0;
    int y = 0;
};

// Every byte value, long runs and text far wider than the screen, in writes of many sizes,
// give the same grid as the plain terminal, on screens down to 2x2.
TEST_F(ScreenTest, AnyBytesGiveACorrectGrid) {
    std::string allBytes;
    for (int i = 0; i < 3 * 256; ++i) allBytes += static_cast<char>(i % 256);
    std::string wide;
    for (int i = 0; i < 3000; ++i) wide += static_cast<char>('a' + i % 26);
    const std::string text = allBytes + "\r\n" + wide + "\t\t\b\r\n\n" + allBytes + wide + "!";

    struct Size {
        int width, bufferHeight, windowHeight;
    };
    for (const Size size :
         {Size{2, 2, 2}, Size{2, 3, 3}, Size{3, 2, 2}, Size{9, 5, 5}, Size{80, 25, 25}, Size{11, 12, 4}}) {
        for (size_t chunk : {size_t{1}, size_t{7}, size_t{1500}, text.size()}) {
            SCOPED_TRACE(testing::Message() << size.width << "x" << size.bufferHeight << "/" << size.windowHeight
                                            << " in writes of " << chunk);
            open(size.width, size.bufferHeight, size.windowHeight);
            clearScreen(CLEAR_DEFAULT);
            for (size_t at = 0; at < text.size(); at += chunk) write(text.substr(at, chunk));

            ReferenceScreen reference(size.width, size.bufferHeight);
            reference.feed(text);
            for (int y = 0; y < size.bufferHeight; ++y) {
                ASSERT_EQ(console->rowText(y), reference.rows[y]) << "row " << y;
            }
            // A cursor past the last row is a line feed still owed; the console shows it on the last cell.
            const Cursor expected = reference.y == size.bufferHeight ? Cursor{size.width - 1, size.bufferHeight - 1}
                                                                     : Cursor{reference.x, reference.y};
            EXPECT_EQ(cursor(), expected);
            EXPECT_EQ(console->window().bottom, size.bufferHeight - 1);
            EXPECT_EQ(console->window().top, size.bufferHeight - size.windowHeight);
            EXPECT_EQ(console->beeps.size(), 6u);
        }
    }
}

}  // namespace
