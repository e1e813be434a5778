#include "platform/posix_screen.h"

#include <langinfo.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "platform/code_page_437.h"
#include "platform/posix_platform.h"

namespace platform {
namespace {

constexpr int16_t BLANK = ' ';
// Colours are the terminal's own: the program never changes the attribute, so none is drawn.
constexpr uint16_t DEFAULT_ATTRIBUTE = 7;
constexpr int MAX_SIDE = std::numeric_limits<int16_t>::max();

size_t cellIndex(const TerminalScreen& screen, int x, int y) {
    return static_cast<size_t>(y) * static_cast<size_t>(screen.width) + static_cast<size_t>(x);
}

bool inside(const TerminalScreen& screen, int x, int y) {
    return x >= 0 && y >= 0 && x < screen.width && y < screen.height;
}

bool inside(const TerminalScreen& screen, Coord at) { return inside(screen, at.x, at.y); }

bool samePlace(Coord a, Coord b) { return a.x == b.x && a.y == b.y; }

// A cell's glyph as terminal bytes. The code page maps every control byte to a picture (byte 0 to
// a space), so no cell can reach the terminal as a control character.
void appendGlyph(std::string& out, bool utf8, int16_t cell) {
    const char32_t glyph = cp437ToUnicode(static_cast<uint8_t>(cell));
    if (glyph < 0x80 || utf8) {
        appendUtf8(out, glyph);
    } else {
        out += '?';
    }
}

std::string csi(int n, char final) { return "\x1b[" + std::to_string(n) + final; }

std::string horizontalMove(int from, int to) {
    if (to == from) return "";
    if (to == 0) return "\r";
    if (to > from) return to - from == 1 ? "\x1b[C" : csi(to - from, 'C');
    if (from - to <= 3) return std::string(static_cast<size_t>(from - to), '\b');
    return csi(to + 1, 'G');
}

// Moving right by writing again what the cells already show, when that is shorter than `limit`;
// empty when not.
std::string rewriteMove(const TerminalScreen& screen, Coord from, int toX, size_t limit) {
    std::string glyphs;
    for (int x = from.x; x < toX && glyphs.size() < limit; ++x) {
        const int16_t cell = screen.shown[cellIndex(screen, x, from.y)];
        if (cell == UNKNOWN_CELL) return "";
        appendGlyph(glyphs, screen.utf8, cell);
    }
    return glyphs.size() < limit ? glyphs : "";
}

std::string moveAlongRow(const TerminalScreen& screen, Coord from, int toX) {
    std::string move = horizontalMove(from.x, toX);
    if (toX <= from.x) return move;
    const std::string rewrite = rewriteMove(screen, from, toX, move.size());
    return rewrite.empty() ? move : rewrite;
}

// The shortest sequence that takes the terminal's cursor to `to`. A line feed is only used
// above the bottom row, where it cannot scroll.
std::string cursorMove(const TerminalScreen& screen, Coord to) {
    std::string absolute =
        to.x == 0 && to.y == 0 ? "\x1b[H" : "\x1b[" + std::to_string(to.y + 1) + ";" + std::to_string(to.x + 1) + "H";
    if (!screen.terminalCursorKnown) return absolute;
    const Coord from = screen.terminalCursor;
    if (samePlace(from, to)) return "";
    std::string relative;
    if (to.y == from.y) {
        relative = moveAlongRow(screen, from, to.x);
    } else if (to.y == from.y + 1) {
        relative = "\r\n" + moveAlongRow(screen, {0, to.y}, to.x);
    } else {
        return absolute;
    }
    return relative.size() < absolute.size() ? relative : absolute;
}

void moveTerminalCursor(TerminalScreen& screen, Coord to) {
    screen.output += cursorMove(screen, to);
    screen.terminalCursor = to;
    screen.terminalCursorKnown = true;
}

// Writes the cell's wanted glyph at the terminal's cursor. After a glyph in the last column the
// terminal holds a deferred wrap, so its cursor is placed explicitly before anything follows.
void drawCell(TerminalScreen& screen, int x, int y) {
    const size_t i = cellIndex(screen, x, y);
    appendGlyph(screen.output, screen.utf8, screen.wanted[i]);
    screen.shown[i] = screen.wanted[i];
    screen.terminalCursor.x = static_cast<int16_t>(x + 1);
    if (x + 1 == screen.width) screen.terminalCursorKnown = false;
}

bool needsDrawing(const TerminalScreen& screen, int x, int y) {
    const size_t i = cellIndex(screen, x, y);
    return screen.wanted[i] != UNKNOWN_CELL && screen.wanted[i] != screen.shown[i];
}

// The first column in [x, end) whose cell needs drawing, or end.
int nextToDraw(const TerminalScreen& screen, int x, int end, int y) {
    while (x < end && !needsDrawing(screen, x, y)) ++x;
    return x;
}

bool rowIsBlank(const TerminalScreen& screen, int y) {
    const auto row = screen.wanted.begin() + static_cast<std::ptrdiff_t>(cellIndex(screen, 0, y));
    return std::all_of(row, row + screen.width, [](int16_t cell) { return cell == BLANK; });
}

// Draws the changed cells of one row; a blank end of the row is erased rather than written.
void drawRow(TerminalScreen& screen, int y) {
    int blankTail = screen.width;
    while (blankTail > 0 && screen.wanted[cellIndex(screen, blankTail - 1, y)] == BLANK) --blankTail;
    int x = nextToDraw(screen, 0, blankTail, y);
    while (x < blankTail) {
        moveTerminalCursor(screen, {static_cast<int16_t>(x), static_cast<int16_t>(y)});
        drawCell(screen, x, y);
        x = nextToDraw(screen, x + 1, blankTail, y);
    }
    const int eraseFrom = nextToDraw(screen, blankTail, screen.width, y);
    if (eraseFrom == screen.width) return;
    moveTerminalCursor(screen, {static_cast<int16_t>(eraseFrom), static_cast<int16_t>(y)});
    screen.output += "\x1b[K";
    const auto row = screen.shown.begin() + static_cast<std::ptrdiff_t>(cellIndex(screen, 0, y));
    std::fill(row + eraseFrom, row + screen.width, BLANK);
}

// Brings the terminal's cells up to the wanted ones. Blank rows at the bottom, as a cleared
// screen has, go in one erase.
void drawCells(TerminalScreen& screen) {
    int blankFrom = screen.height;
    while (blankFrom > 0 && rowIsBlank(screen, blankFrom - 1)) --blankFrom;
    const auto bottom = screen.shown.begin() + static_cast<std::ptrdiff_t>(cellIndex(screen, 0, blankFrom));
    if (std::any_of(bottom, screen.shown.end(), [](int16_t cell) { return cell != BLANK; })) {
        moveTerminalCursor(screen, {0, static_cast<int16_t>(blankFrom)});
        screen.output += "\x1b[J";
        std::fill(bottom, screen.shown.end(), BLANK);
    }
    for (int y = 0; y < blankFrom; ++y) drawRow(screen, y);
}

// Scrolls rows top to bottom of the terminal up by n with line feeds on the bottom row: over the
// whole screen the top lines go to the terminal's scroll-back; otherwise inside a scroll region,
// which is reset in the same output (resetting homes the cursor, hence the explicit moves).
void scrollTerminalRows(TerminalScreen& screen, int top, int bottom, int n) {
    drawCells(screen);
    const Coord bottomLeft{0, static_cast<int16_t>(bottom)};
    if (top == 0 && bottom == screen.height - 1) {
        moveTerminalCursor(screen, bottomLeft);
        screen.output.append(static_cast<size_t>(n), '\n');
    } else {
        screen.output += "\x1b[" + std::to_string(top + 1) + ";" + std::to_string(bottom + 1) + "r";
        screen.terminalCursorKnown = false;
        moveTerminalCursor(screen, bottomLeft);
        screen.output.append(static_cast<size_t>(n), '\n');
        screen.output += "\x1b[r";
        screen.terminalCursorKnown = false;
    }
    const auto regionStart = screen.shown.begin() + static_cast<std::ptrdiff_t>(cellIndex(screen, 0, top));
    const auto regionEnd = screen.shown.begin() + static_cast<std::ptrdiff_t>(cellIndex(screen, 0, bottom + 1));
    const auto keptStart = regionStart + static_cast<std::ptrdiff_t>(cellIndex(screen, 0, n));
    std::fill(std::move(keptStart, regionEnd, regionStart), regionEnd, BLANK);
}

// Moves the wanted cells of `source` so that its top-left lands on `destination`; the source
// cells the destination does not cover become `fill`.
void moveWantedCells(TerminalScreen& screen, Rect source, Coord destination, int16_t fill) {
    const std::vector<int16_t> before = screen.wanted;
    for (int y = source.top; y <= source.bottom; ++y) {
        for (int x = source.left; x <= source.right; ++x) screen.wanted[cellIndex(screen, x, y)] = fill;
    }
    for (int y = source.top; y <= source.bottom; ++y) {
        for (int x = source.left; x <= source.right; ++x) {
            const int toX = destination.x + x - source.left;
            const int toY = destination.y + y - source.top;
            if (inside(screen, toX, toY)) screen.wanted[cellIndex(screen, toX, toY)] = before[cellIndex(screen, x, y)];
        }
    }
}

bool outputIsTerminal(TerminalScreen& screen) {
    if (!screen.probed) {
        screen.probed = true;
        screen.isTerminal = isatty(STDOUT_FILENO) == 1;
        const char* charset = nl_langinfo(CODESET);
        screen.utf8 = strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0;
    }
    return screen.isTerminal;
}

// Takes the terminal's size, read afresh so that a resize is seen at the next write.
bool readTerminalSize(TerminalScreen& screen) {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
    const int width = std::min<int>(size.ws_col, MAX_SIDE);
    const int height = std::min<int>(size.ws_row, MAX_SIDE);
    if (width != screen.width || height != screen.height) resizeTerminalScreen(screen, width, height);
    return true;
}

}  // namespace

void resizeTerminalScreen(TerminalScreen& screen, int width, int height) {
    // Cells a resize adds are blank, as in a console buffer that grew; before the first size the
    // terminal's content is left alone until the program writes.
    const bool drawnBefore = screen.width > 0;
    std::vector<int16_t> wanted(static_cast<size_t>(width) * static_cast<size_t>(height),
                                drawnBefore ? BLANK : UNKNOWN_CELL);
    for (int y = 0; y < std::min(height, screen.height); ++y) {
        for (int x = 0; x < std::min(width, screen.width); ++x) {
            wanted[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                screen.wanted[cellIndex(screen, x, y)];
        }
    }
    screen.wanted = std::move(wanted);
    screen.shown.assign(screen.wanted.size(), UNKNOWN_CELL);
    screen.width = width;
    screen.height = height;
    screen.cursor.x = static_cast<int16_t>(std::min(screen.cursor.x, static_cast<int16_t>(width - 1)));
    screen.cursor.y = static_cast<int16_t>(std::min(screen.cursor.y, static_cast<int16_t>(height - 1)));
    screen.terminalCursorKnown = false;
    screen.changed = screen.changed || drawnBefore;
}

void forgetTerminalContent(TerminalScreen& screen) {
    std::fill(screen.shown.begin(), screen.shown.end(), UNKNOWN_CELL);
    screen.terminalCursorKnown = false;
    screen.terminalVisibilityKnown = false;
    screen.changed = true;
}

bool storeCells(TerminalScreen& screen, const Cell* cells, int count, Coord at) {
    if (count < 0 || !inside(screen, at) || at.x + count > screen.width) return false;
    const size_t start = cellIndex(screen, at.x, at.y);
    for (int i = 0; i < count; ++i) screen.wanted[start + static_cast<size_t>(i)] = cells[i].ch;
    screen.changed = true;
    return true;
}

bool fillCells(TerminalScreen& screen, uint8_t ch, uint32_t count, Coord at) {
    if (!inside(screen, at)) return false;
    const size_t start = cellIndex(screen, at.x, at.y);
    const size_t end = std::min(screen.wanted.size(), start + count);
    std::fill(screen.wanted.begin() + static_cast<std::ptrdiff_t>(start),
              screen.wanted.begin() + static_cast<std::ptrdiff_t>(end), ch);
    screen.changed = true;
    return true;
}

bool scrollCells(TerminalScreen& screen, Rect source, Coord destination, uint8_t fill) {
    source.left = std::max<int16_t>(source.left, 0);
    source.top = std::max<int16_t>(source.top, 0);
    source.right = std::min(source.right, static_cast<int16_t>(screen.width - 1));
    source.bottom = std::min(source.bottom, static_cast<int16_t>(screen.height - 1));
    if (source.left > source.right || source.top > source.bottom) return false;
    // Whole rows moving up are the terminal's own scroll; any other move is drawn as cells.
    const bool rowsUp = source.left == 0 && source.right == screen.width - 1 && destination.x == 0 &&
                        destination.y >= 0 && destination.y < source.top;
    if (rowsUp) scrollTerminalRows(screen, destination.y, source.bottom, source.top - destination.y);
    moveWantedCells(screen, source, destination, fill);
    screen.changed = true;
    return true;
}

bool moveCursor(TerminalScreen& screen, Coord at) {
    if (!inside(screen, at)) return false;
    screen.cursor = at;
    screen.changed = true;
    return true;
}

void showCursor(TerminalScreen& screen, const CursorInfo& info) {
    screen.cursorInfo = info;
    screen.changed = true;
}

void drawTerminalScreen(TerminalScreen& screen) {
    if (!screen.changed) return;
    screen.changed = false;
    drawCells(screen);
    moveTerminalCursor(screen, screen.cursor);
    const bool visible = screen.cursorInfo.visible;
    if (!screen.terminalVisibilityKnown || screen.terminalCursorVisible != visible) {
        screen.output += visible ? "\x1b[?25h" : "\x1b[?25l";
        screen.terminalVisibilityKnown = true;
        screen.terminalCursorVisible = visible;
    }
}

bool PosixPlatform::getScreenBufferInfo(ScreenBufferInfo& info) {
    TerminalScreen& screen = *screen_;
    if (!outputIsTerminal(screen) || !readTerminalSize(screen)) return false;
    info.size = {static_cast<int16_t>(screen.width), static_cast<int16_t>(screen.height)};
    info.cursor = screen.cursor;
    info.attribute = DEFAULT_ATTRIBUTE;
    info.window = {0, 0, static_cast<int16_t>(screen.width - 1), static_cast<int16_t>(screen.height - 1)};
    return true;
}

bool PosixPlatform::writeCells(const Cell* cells, int16_t count, Coord at) {
    return outputIsTerminal(*screen_) && storeCells(*screen_, cells, count, at);
}

bool PosixPlatform::fillCharacters(uint8_t ch, uint32_t count, Coord at) {
    return outputIsTerminal(*screen_) && fillCells(*screen_, ch, count, at);
}

bool PosixPlatform::fillAttributes(uint16_t, uint32_t, Coord at) {
    return outputIsTerminal(*screen_) && inside(*screen_, at);
}

bool PosixPlatform::scrollBuffer(Rect source, Coord destination, Cell fill) {
    return outputIsTerminal(*screen_) && scrollCells(*screen_, source, destination, fill.ch);
}

bool PosixPlatform::setCursorPosition(Coord at) { return outputIsTerminal(*screen_) && moveCursor(*screen_, at); }

bool PosixPlatform::getCursorInfo(CursorInfo& info) {
    if (!outputIsTerminal(*screen_)) return false;
    info = screen_->cursorInfo;
    return true;
}

bool PosixPlatform::setCursorInfo(const CursorInfo& info) {
    if (!outputIsTerminal(*screen_)) return false;
    showCursor(*screen_, info);
    return true;
}

// The window is the whole terminal and cannot move.
bool PosixPlatform::setWindow(Rect window) {
    const TerminalScreen& screen = *screen_;
    return outputIsTerminal(*screen_) && window.left == 0 && window.top == 0 && window.right == screen.width - 1 &&
           window.bottom == screen.height - 1;
}

// Everything drawn since the last flush goes out in one write. The restore code learns of a
// hidden cursor before it is hidden and of a shown one after it shows.
void PosixPlatform::flushScreen() {
    TerminalScreen& screen = *screen_;
    if (!screen.isTerminal) return;
    if (takeRedrawRequest()) forgetTerminalContent(screen);
    if (screen.changed) readTerminalSize(screen);
    drawTerminalScreen(screen);
    if (screen.output.empty()) return;
    const bool hidden = !screen.terminalCursorVisible;
    if (hidden) noteCursorHidden(true);
    outBuffer_.insert(outBuffer_.end(), screen.output.begin(), screen.output.end());
    screen.output.clear();
    flushStream();
    if (!hidden) noteCursorHidden(false);
}

// The terminal's bell is the tone; the wait keeps its length. With output that is not a terminal
// the bell is left out, so that no stray byte reaches a file.
void PosixPlatform::beep(uint32_t, uint32_t durationMs) {
    if (outputIsTerminal(*screen_)) screen_->output += '\a';
    deliverOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
}

}  // namespace platform
