// The terminal screen's grid and the bytes it sends, checked against a small model of a VT100
// style terminal: what the model shows after each flush must be the grid, the cursor in its
// place, and nothing may reach it but the few sequences the model knows.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/code_page_437.h"
#include "platform/posix_screen.h"

namespace {

using platform::Cell;
using platform::Coord;
using platform::Rect;
using platform::TerminalScreen;

Coord at(int x, int y) { return {static_cast<int16_t>(x), static_cast<int16_t>(y)}; }

// Cursor motion, erasing, a scroll region with line feeds that scroll, deferred wrap at the
// right edge and a scroll-back. Anything else it is sent is an error.
struct ModelTerminal {
    int width;
    int height;
    std::vector<std::u32string> rows;
    std::vector<std::u32string> scrollBack;
    int x = 0;
    int y = 0;
    bool wrapPending = false;
    bool cursorVisible = true;
    int regionTop = 0;
    int regionBottom;
    int bells = 0;
    std::vector<std::string> errors;

    ModelTerminal(int w, int h, char32_t content = U' ')
        : width(w),
          height(h),
          rows(static_cast<size_t>(h), std::u32string(static_cast<size_t>(w), content)),
          regionBottom(h - 1) {}

    std::u32string& row() { return rows[static_cast<size_t>(y)]; }

    void lineFeed() {
        wrapPending = false;
        if (y != regionBottom) {
            y = std::min(y + 1, height - 1);
            return;
        }
        if (regionTop == 0 && regionBottom == height - 1) scrollBack.push_back(rows[0]);
        rows.erase(rows.begin() + regionTop);
        rows.insert(rows.begin() + regionBottom, std::u32string(static_cast<size_t>(width), U' '));
    }

    void print(char32_t glyph) {
        if (wrapPending) {
            x = 0;
            lineFeed();
        }
        row()[static_cast<size_t>(x)] = glyph;
        if (x == width - 1) {
            wrapPending = true;
        } else {
            ++x;
        }
    }

    void control(const std::string& params, char final) {
        std::vector<int> n;
        size_t pos = params.empty() || params[0] != '?' ? 0 : 1;
        while (pos <= params.size()) {
            const size_t end = std::min(params.find(';', pos), params.size());
            n.push_back(end > pos ? std::stoi(params.substr(pos, end - pos)) : 0);
            pos = end + 1;
        }
        const auto arg = [&](size_t i, int fallback) { return i < n.size() && n[i] > 0 ? n[i] : fallback; };
        wrapPending = false;
        if (params == "?25" && (final == 'l' || final == 'h')) {
            cursorVisible = final == 'h';
        } else if (final == 'H') {
            y = std::min(arg(0, 1), height) - 1;
            x = std::min(arg(1, 1), width) - 1;
        } else if (final == 'G') {
            x = std::min(arg(0, 1), width) - 1;
        } else if (final == 'C') {
            x = std::min(x + arg(0, 1), width - 1);
        } else if (final == 'K' && params.empty()) {
            std::fill(row().begin() + x, row().end(), U' ');
        } else if (final == 'J' && params.empty()) {
            std::fill(row().begin() + x, row().end(), U' ');
            for (int below = y + 1; below < height; ++below) {
                rows[static_cast<size_t>(below)].assign(static_cast<size_t>(width), U' ');
            }
        } else if (final == 'r') {
            regionTop = arg(0, 1) - 1;
            regionBottom = arg(1, height) - 1;
            x = y = 0;
        } else {
            errors.push_back("unknown sequence ESC [" + params + final);
        }
    }

    // The escape sequence at i; returns the index after it, or npos when it is malformed.
    size_t feedEscape(const std::string& bytes, size_t i) {
        size_t end = i + 2;
        while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7e)) ++end;
        if (i + 1 >= bytes.size() || bytes[i + 1] != '[' || end >= bytes.size()) {
            errors.emplace_back("bad escape");
            return std::string::npos;
        }
        control(bytes.substr(i + 2, end - i - 2), bytes[end]);
        return end + 1;
    }

    // The UTF-8 character at i; returns the index after it, or npos when it is cut off.
    size_t feedGlyph(const std::string& bytes, size_t i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int length = b < 0x80 ? 1 : b < 0xe0 ? 2 : 3;
        if (i + static_cast<size_t>(length) > bytes.size()) {
            errors.emplace_back("cut-off UTF-8");
            return std::string::npos;
        }
        char32_t glyph = length == 1 ? b : length == 2 ? (b & 0x1f) : (b & 0x0f);
        for (int k = 1; k < length; ++k) glyph = (glyph << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3f);
        if (glyph >= 0x80 && glyph < 0xa0) errors.emplace_back("C1 control");
        print(glyph);
        return i + static_cast<size_t>(length);
    }

    void feed(const std::string& bytes) {
        for (size_t i = 0; i < bytes.size();) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            if (b == 0x1b) {
                i = feedEscape(bytes, i);
            } else if (b == '\r') {
                x = 0, wrapPending = false, ++i;
            } else if (b == '\n') {
                lineFeed(), ++i;
            } else if (b == '\b') {
                x = std::max(x - 1, 0), wrapPending = false, ++i;
            } else if (b == '\a') {
                ++bells, ++i;
            } else if (b < 0x20 || b == 0x7f) {
                errors.push_back("raw control byte " + std::to_string(b));
                ++i;
            } else {
                i = feedGlyph(bytes, i);
            }
        }
    }
};

TerminalScreen newScreen(int width, int height, bool utf8 = true) {
    TerminalScreen screen;
    screen.probed = screen.isTerminal = true;
    screen.utf8 = utf8;
    platform::resizeTerminalScreen(screen, width, height);
    return screen;
}

std::string flush(TerminalScreen& screen) {
    platform::drawTerminalScreen(screen);
    std::string out;
    out.swap(screen.output);
    return out;
}

char32_t expectedGlyph(const TerminalScreen& screen, int16_t cell) {
    const char32_t glyph = platform::cp437ToUnicode(static_cast<uint8_t>(cell));
    return screen.utf8 || glyph < 0x80 ? glyph : U'?';
}

// Sends the flush to the model and checks that it now shows the grid and the cursor.
void flushAndCompare(TerminalScreen& screen, ModelTerminal& terminal) {
    ASSERT_EQ(terminal.width, screen.width);
    ASSERT_EQ(terminal.height, screen.height);
    terminal.feed(flush(screen));
    ASSERT_TRUE(terminal.errors.empty()) << terminal.errors.front();
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            const int16_t cell = screen.wanted[static_cast<size_t>(y) * screen.width + x];
            if (cell == platform::UNKNOWN_CELL) continue;
            ASSERT_EQ(terminal.rows[static_cast<size_t>(y)][static_cast<size_t>(x)], expectedGlyph(screen, cell))
                << "cell " << x << "," << y;
        }
    }
    EXPECT_EQ(terminal.x, screen.cursor.x);
    EXPECT_EQ(terminal.y, screen.cursor.y);
    EXPECT_FALSE(terminal.wrapPending);
    EXPECT_EQ(terminal.cursorVisible, screen.cursorInfo.visible);
    EXPECT_EQ(terminal.regionTop, 0);
    EXPECT_EQ(terminal.regionBottom, terminal.height - 1);
}

void store(TerminalScreen& screen, const std::string& text, int x, int y) {
    std::vector<Cell> cells;
    for (unsigned char ch : text) cells.push_back({ch, 7});
    ASSERT_TRUE(platform::storeCells(screen, cells.data(), static_cast<int>(cells.size()), at(x, y)));
}

// Scrolls the whole screen up by n as the screen writer does.
void scrollWhole(TerminalScreen& screen, int n) {
    const Rect rows{0, static_cast<int16_t>(n), static_cast<int16_t>(screen.width - 1),
                    static_cast<int16_t>(screen.height - 1)};
    ASSERT_TRUE(platform::scrollCells(screen, rows, at(0, 0), ' '));
}

std::u32string text32(const std::string& ascii, size_t width) {
    std::u32string row(ascii.begin(), ascii.end());
    row.resize(width, U' ');
    return row;
}

struct Shape {
    int width;
    int height;
    bool utf8;
};

class TerminalScreenRandom : public testing::TestWithParam<Shape> {};

// Random writes of any bytes, fills, whole-screen and partial scrolls, cursor moves and
// visibility changes, flushed at random points, on a terminal that starts full of other text.
TEST_P(TerminalScreenRandom, TerminalAlwaysShowsTheGrid) {
    const Shape shape = GetParam();
    TerminalScreen screen = newScreen(shape.width, shape.height, shape.utf8);
    ModelTerminal terminal(shape.width, shape.height, U'x');
    std::mt19937 random(4242);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int step = 0; step < 3000; ++step) {
        const int x = below(shape.width);
        const int y = below(shape.height);
        switch (below(8)) {
            case 0:
            case 1: {
                std::string text;
                for (int i = below(shape.width - x) + 1; i > 0; --i) text += static_cast<char>(below(256));
                store(screen, text, x, y);
                break;
            }
            case 2:
                platform::fillCells(screen, below(3) == 0 ? 'z' : ' ', static_cast<uint32_t>(below(shape.width * 3)),
                                    at(x, y));
                break;
            case 3:
                scrollWhole(screen, below(shape.height - 1) + 1);
                break;
            case 4: {  // a text view shorter than the window
                const int top = below(shape.height);
                const Rect rows{0, static_cast<int16_t>(top + 1), static_cast<int16_t>(shape.width - 1),
                                static_cast<int16_t>(below(shape.height - top) + top)};
                platform::scrollCells(screen, rows, at(0, top), below(2) == 0 ? ' ' : '#');
                break;
            }
            case 5:
                platform::moveCursor(screen, at(x, y));
                break;
            case 6:
                platform::showCursor(screen, {25, below(3) != 0});
                break;
            default:
                flushAndCompare(screen, terminal);
        }
        if (HasFatalFailure()) return;
    }
    flushAndCompare(screen, terminal);
}

INSTANTIATE_TEST_SUITE_P(Shapes, TerminalScreenRandom,
                         testing::Values(Shape{80, 25, true}, Shape{80, 25, false}, Shape{2, 2, true},
                                         Shape{7, 3, true}),
                         [](const testing::TestParamInfo<Shape>& info) {
                             const Shape& s = info.param;
                             return std::to_string(s.width) + "x" + std::to_string(s.height) +
                                    (s.utf8 ? "Utf8" : "Ascii");
                         });

TEST(TerminalScreen, GlyphsAreCodePage437AndNeverControlBytes) {
    struct Case {
        bool utf8;
        uint8_t byte;
        std::string sent;
    };
    const Case cases[] = {
        {true, 0xE1, "\xC3\x9F"},  // sharp s
        {true, 0x00, " "},
        {true, 0x07, "\xE2\x80\xA2"},  // bullet
        {true, 0x1B, "\xE2\x86\x90"},  // left arrow, not an escape
        {true, 0x7F, "\xE2\x8C\x82"},  // house
        {true, 0x9B, "\xC2\xA2"},      // cent sign, not a C1 control
        {false, 0xE1, "?"},
        {false, 0x0A, "?"},
        {false, 0x00, " "},
        {false, 'A', "A"},
    };
    for (const Case& c : cases) {
        TerminalScreen screen = newScreen(10, 3, c.utf8);
        platform::moveCursor(screen, at(1, 0));
        flush(screen);
        store(screen, std::string(1, static_cast<char>(c.byte)), 1, 0);
        EXPECT_EQ(flush(screen), c.sent + "\b") << int(c.byte);
    }
}

TEST(TerminalScreen, CodePageRoundTrip) {
    for (int byte = 1; byte < 256; ++byte) {
        EXPECT_EQ(platform::unicodeToCp437(platform::cp437ToUnicode(static_cast<uint8_t>(byte))), byte);
    }
    EXPECT_EQ(platform::unicodeToCp437(U'ß'), 0xE1);
    EXPECT_EQ(platform::unicodeToCp437(U'\n'), '\n');
    EXPECT_EQ(platform::unicodeToCp437(U'中'), -1);
}

TEST(TerminalScreen, SendsOnlyWhatChanged) {
    TerminalScreen screen = newScreen(80, 25);
    for (int y = 0; y < 25; ++y) platform::fillCells(screen, ' ', 80, at(0, y));
    platform::moveCursor(screen, at(0, 0));
    EXPECT_EQ(flush(screen), "\x1b[H\x1b[J");

    store(screen, "Name the capital of Peru? ", 0, 0);
    platform::moveCursor(screen, at(26, 0));
    EXPECT_EQ(flush(screen), "Name the capital of Peru? ");
    EXPECT_EQ(flush(screen), "") << "nothing changed";

    store(screen, "Name the capital of Peru? Lima", 0, 0);  // a redraw of the whole line
    platform::moveCursor(screen, at(30, 0));
    EXPECT_EQ(flush(screen), "Lima");

    platform::moveCursor(screen, at(30, 0));
    EXPECT_EQ(flush(screen), "") << "the cursor is already there";

    store(screen, "x", 40, 0);  // a gap too wide to write through
    EXPECT_EQ(flush(screen), "\x1b[10Cx\x1b[31G");

    store(screen, "Name the capital of Peru? Lxmx", 0, 0);  // a gap short enough to write through
    EXPECT_EQ(flush(screen), "\b\b\bxmx");

    store(screen, "Correct!", 0, 1);
    for (int y = 0; y < 25; ++y) platform::fillCells(screen, ' ', 80, at(0, y));
    platform::moveCursor(screen, at(0, 0));
    EXPECT_EQ(flush(screen), "\r\x1b[J") << "a cleared screen is one erase";
}

TEST(TerminalScreen, WholeScreenScrollPushesLinesIntoScrollBack) {
    TerminalScreen screen = newScreen(20, 4);
    ModelTerminal terminal(20, 4);
    for (int line = 1; line <= 7; ++line) {
        const int row = std::min(line - 1, 3);
        if (line > 4) scrollWhole(screen, 1);
        store(screen, "line " + std::to_string(line), 0, row);
        platform::moveCursor(screen, at(0, row));
        if (line % 2 == 0) flushAndCompare(screen, terminal);
    }
    scrollWhole(screen, 2);  // two at once
    flushAndCompare(screen, terminal);
    const std::vector<std::u32string> gone = {text32("line 1", 20), text32("line 2", 20), text32("line 3", 20),
                                              text32("line 4", 20), text32("line 5", 20)};
    EXPECT_EQ(terminal.scrollBack, gone);
}

TEST(TerminalScreen, BottomRightCellDoesNotScroll) {
    TerminalScreen screen = newScreen(10, 3);
    ModelTerminal terminal(10, 3);
    store(screen, "0123456789", 0, 2);
    platform::moveCursor(screen, at(9, 2));
    flushAndCompare(screen, terminal);
    store(screen, "ab", 0, 0);  // the first cells after the deferred wrap
    flushAndCompare(screen, terminal);
    EXPECT_TRUE(terminal.scrollBack.empty());
}

TEST(TerminalScreen, PartialScrollLeavesNoRegionAndNoScrollBack) {
    TerminalScreen screen = newScreen(10, 6);
    ModelTerminal terminal(10, 6);
    for (int y = 0; y < 6; ++y) store(screen, "row " + std::to_string(y), 0, y);
    platform::moveCursor(screen, at(3, 4));
    flushAndCompare(screen, terminal);
    ASSERT_TRUE(platform::scrollCells(screen, {0, 1, 9, 3}, at(0, 0), ' '));  // a view of rows 0-3
    const std::string sent = flush(screen);
    EXPECT_NE(sent.find("\x1b[1;4r"), std::string::npos) << "scrolled in a region";
    terminal.feed(sent);
    EXPECT_EQ(terminal.rows[2], text32("row 3", 10));
    EXPECT_EQ(terminal.rows[3], text32("", 10));
    EXPECT_EQ(terminal.rows[4], text32("row 4", 10));
    EXPECT_TRUE(terminal.scrollBack.empty());
    EXPECT_EQ(terminal.regionBottom, 5);
    EXPECT_EQ(terminal.x, 3);
    EXPECT_EQ(terminal.y, 4);
}

// After a resize or a resume the terminal's content is unknown: all the program wrote comes
// back, whatever the terminal shows meanwhile.
TEST(TerminalScreen, RedrawsEverythingAfterResizeOrResume) {
    TerminalScreen screen = newScreen(12, 4);
    ModelTerminal before(12, 4);
    store(screen, "Lima", 0, 0);
    store(screen, "Quito", 3, 3);
    platform::moveCursor(screen, at(8, 3));
    platform::showCursor(screen, {25, false});
    flushAndCompare(screen, before);

    platform::resizeTerminalScreen(screen, 6, 3);
    ModelTerminal smaller(6, 3, U'?');
    smaller.cursorVisible = false;
    flushAndCompare(screen, smaller);
    EXPECT_EQ(screen.cursor.x, 5);
    EXPECT_EQ(screen.cursor.y, 2);

    platform::resizeTerminalScreen(screen, 8, 5);
    ModelTerminal larger(8, 5, U'?');
    larger.cursorVisible = false;
    flushAndCompare(screen, larger);
    EXPECT_EQ(larger.rows[4], U"        ") << "rows a resize adds are blank";

    platform::forgetTerminalContent(screen);
    ModelTerminal resumed(8, 5, U'?');
    flushAndCompare(screen, resumed);
}

}  // namespace
