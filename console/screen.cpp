#include "console/screen.h"

#include <algorithm>
#include <array>

#include "console/console_state.h"
#include "console/print.h"
#include "platform/platform.h"

namespace {

using platform::Cell;
using platform::Coord;
using platform::Rect;

constexpr uint8_t BEL = 7;
constexpr uint8_t BS = 8;
constexpr uint8_t TAB = 9;
constexpr uint8_t LF = 10;
constexpr uint8_t CR = 13;

constexpr int TAB_WIDTH = 8;
constexpr int RUN_MAX = 1024;
// What is assumed where the console cannot tell its size or attribute.
constexpr uint16_t DEFAULT_ATTRIBUTE = 7;
constexpr ScreenSize DEFAULT_SIZE{80, 25};

platform::Platform& os() { return platform::currentPlatform(); }
OutputState& output() { return consoleState().output; }

Coord at(int x, int y) { return {static_cast<int16_t>(x), static_cast<int16_t>(y)}; }

// Inclusive rows and columns of buffer cells.
struct Area {
    int left;
    int top;
    int right;
    int bottom;
};

int rowCount(const Area& area) { return area.bottom - area.top + 1; }

// One consoleWrite: the console cursor lives here until the write ends.
struct WriteContext {
    Area view;
    int cursorX;
    int cursorY;
    int bufferWidth;
    int bufferHeight;
    uint16_t attribute;
    bool partial;  // the view rows are not the window rows
};

// Printable bytes waiting to be written as cells.
struct Run {
    std::array<uint8_t, RUN_MAX> bytes{};
    int length = 0;
};

// The text view in buffer rows below a window whose top row is windowTop, kept inside the
// buffer: a terminal that shrank has no rows left below its window to hold the rest.
Area viewInBuffer(int windowTop, int bufferWidth, int bufferHeight) {
    const ViewRows rows = viewRows();
    const auto inBuffer = [&](int row) { return std::clamp(row, 0, bufferHeight - 1); };
    return {0, inBuffer(windowTop + rows.top - 1), bufferWidth - 1, inBuffer(windowTop + rows.bottom - 1)};
}

// Blanks each row of the area, the last row first.
void blankRows(const Area& area, uint16_t attribute) {
    const auto width = static_cast<uint32_t>(area.right - area.left + 1);
    for (int y = area.bottom; y >= area.top; --y) {
        os().fillAttributes(attribute, width, at(area.left, y));
        os().fillCharacters(' ', width, at(area.left, y));
    }
}

// Moves the content of rows region.top..region.bottom up n rows within them; the rows freed at
// the bottom become blanks. A shift by all the rows or more blanks the view instead.
void shiftRowsUp(const WriteContext& ctx, const Area& region, int n) {
    const int rows = rowCount(region);
    if (n >= rows) {
        blankRows(ctx.view, ctx.attribute);
        return;
    }
    const Rect source{static_cast<int16_t>(region.left), static_cast<int16_t>(region.top + n),
                      static_cast<int16_t>(region.right), static_cast<int16_t>(region.bottom)};
    os().scrollBuffer(source, at(region.left, region.top), Cell{' ', ctx.attribute});
    if (2 * n > rows) blankRows({region.left, region.bottom - n + 1, region.right, region.bottom}, ctx.attribute);
}

// Scrolls by n rows: a full view first slides down into the buffer rows below it; what is left
// scrolls the whole buffer's content, or only the view's rows when the view is partial.
void scrollBy(WriteContext& ctx, int n) {
    if (!ctx.partial) {
        const int slide = std::min(n, ctx.bufferHeight - 1 - ctx.view.bottom);
        if (slide > 0) {
            ctx.view.top += slide;
            ctx.view.bottom += slide;
            n -= slide;
        }
        if (n == 0) return;
        shiftRowsUp(ctx, {ctx.view.left, 0, ctx.view.right, ctx.bufferHeight - 1}, n);
    } else {
        shiftRowsUp(ctx, ctx.view, n);
    }
    ctx.cursorY = ctx.view.bottom;
}

void scrollCursorIntoView(WriteContext& ctx) {
    if (ctx.cursorY > ctx.view.bottom) scrollBy(ctx, ctx.cursorY - ctx.view.bottom);
}

// Writes the run as one cell write per row segment, wrapping at the right edge. A refused
// segment drops the rest of the run.
void flushRun(WriteContext& ctx, Run& run) {
    std::array<Cell, RUN_MAX> cells;
    for (int done = 0; done < run.length;) {
        const int k = std::min(run.length - done, ctx.view.right - ctx.cursorX + 1);
        scrollCursorIntoView(ctx);
        for (int i = 0; i < k; ++i) cells[i] = Cell{run.bytes[done + i], ctx.attribute};
        if (!os().writeCells(cells.data(), static_cast<int16_t>(k), at(ctx.cursorX, ctx.cursorY))) break;
        done += k;
        ctx.cursorX += k;
        if (ctx.cursorX > ctx.view.right) {
            ctx.cursorX = ctx.view.left;
            ++ctx.cursorY;
        }
    }
    run.length = 0;
}

// The column at which the run, once written, will leave the cursor.
int virtualColumn(const WriteContext& ctx, const Run& run) {
    const int width = ctx.view.right - ctx.view.left + 1;
    return ctx.view.left + (ctx.cursorX - ctx.view.left + run.length) % width;
}

void append(WriteContext& ctx, Run& run, uint8_t byte, int count) {
    if (run.length + count > RUN_MAX) flushRun(ctx, run);
    std::fill_n(run.bytes.begin() + run.length, count, byte);
    run.length += count;
}

// Tab stops lie every 8 columns from the view's left edge.
int spacesToTabStop(const WriteContext& ctx, const Run& run) {
    return TAB_WIDTH - (virtualColumn(ctx, run) - ctx.view.left) % TAB_WIDTH;
}

// The cursor move of BS, LF or CR; tells whether the cursor moved.
bool moveCursor(WriteContext& ctx, uint8_t control) {
    const int x = ctx.cursorX;
    const int y = ctx.cursorY;
    switch (control) {
        case BS:
            ctx.cursorX = std::max(ctx.cursorX - 1, ctx.view.left);
            break;
        case LF:
            ctx.cursorX = ctx.view.left;
            ++ctx.cursorY;
            break;
        case CR:
            ctx.cursorX = ctx.view.left;
            break;
    }
    return ctx.cursorX != x || ctx.cursorY != y;
}

void processBytes(WriteContext& ctx, const uint8_t* bytes, uint32_t count) {
    Run run;
    bool moved = false;
    for (const uint8_t* byte = bytes; byte != bytes + count; ++byte) {
        switch (*byte) {
            case BEL:
                os().beep(TONE_HZ, TONE_MS);
                break;
            case TAB:
                append(ctx, run, ' ', spacesToTabStop(ctx, run));
                break;
            case BS:
            case LF:
            case CR:
                flushRun(ctx, run);
                moved = moveCursor(ctx, *byte) || moved;
                break;
            default:
                append(ctx, run, *byte, 1);
        }
    }
    // A line end on the view's last row scrolls at once; only a run that filled the view's
    // bottom-right cell leaves its line feed owed.
    if (run.length > 0) {
        flushRun(ctx, run);
    } else if (moved) {
        scrollCursorIntoView(ctx);
    }
}

// The console as this write finds it; a failed query gives an 80x25 buffer, attribute 7 and the
// cursor at the view's top-left cell.
WriteContext beginWrite() {
    const ScreenGeometry& geometry = output().geometry;
    platform::ScreenBufferInfo info{};
    const bool known = os().getScreenBufferInfo(info) && info.size.x > 0 && info.size.y > 0;
    if (!known) {
        const platform::Rect window{0, geometry.top, geometry.right, geometry.bottom};
        info = {{DEFAULT_SIZE.width, DEFAULT_SIZE.height}, {}, DEFAULT_ATTRIBUTE, window};
    }
    WriteContext ctx{};
    ctx.bufferWidth = info.size.x;
    ctx.bufferHeight = info.size.y;
    ctx.attribute = info.attribute;
    ctx.view = viewInBuffer(geometry.top, ctx.bufferWidth, ctx.bufferHeight);
    ctx.cursorX = known ? std::min<int>(info.cursor.x, ctx.view.right) : ctx.view.left;
    ctx.cursorY = known ? info.cursor.y : ctx.view.top;
    ctx.partial = ctx.view.top != info.window.top || ctx.view.bottom != info.window.bottom;
    return ctx;
}

// A write that filled the view's bottom-right cell owes a line feed, paid before anything else.
void settlePendingWrap(WriteContext& ctx) {
    if (!output().pendingWrap) return;
    output().pendingWrap = false;
    ctx.cursorX = ctx.view.left;
    ++ctx.cursorY;
    scrollCursorIntoView(ctx);
}

// The last cell written was the view's bottom-right one: the cursor stays on it and the line
// feed is owed to the next write, so that a full last row does not scroll.
void endWrite(WriteContext& ctx) {
    if (ctx.cursorX == ctx.view.left && ctx.cursorY == ctx.view.bottom + 1) {
        output().pendingWrap = true;
        ctx.cursorX = ctx.view.right;
        ctx.cursorY = ctx.view.bottom;
    } else {
        scrollCursorIntoView(ctx);
    }
    os().setCursorPosition(at(ctx.cursorX, ctx.cursorY));
}

}  // namespace

void consoleWriteOnScreen(const uint8_t* bytes, uint32_t count, uint32_t) {
    WriteContext ctx = beginWrite();
    const int startTop = ctx.view.top;
    settlePendingWrap(ctx);
    processBytes(ctx, bytes, count);
    endWrite(ctx);
    if (!ctx.partial && ctx.view.top != startTop) {
        os().setWindow({static_cast<int16_t>(ctx.view.left), static_cast<int16_t>(ctx.view.top),
                        static_cast<int16_t>(ctx.view.right), static_cast<int16_t>(ctx.view.bottom)});
    }
    readScreenGeometry();
}

// Only the view's rows are blanked, so what scrolled out of the window stays in the buffer.
void clearScreenOnConsole() {
    readScreenGeometry();
    const ScreenGeometry& geometry = output().geometry;
    platform::ScreenBufferInfo info{};
    const bool known = os().getScreenBufferInfo(info);
    const int bufferHeight = known ? info.size.y : geometry.bottom + 1;
    blankRows(viewInBuffer(geometry.top, geometry.right + 1, bufferHeight), known ? info.attribute : DEFAULT_ATTRIBUTE);
    placeCursor(viewRows().top, 1, -1);
}

uint32_t placeCursor(int row, int column, int visibility) {
    const bool console = onConsole();
    const ViewRows view = viewRows();
    const bool rowOutside = row != 0 && (row < view.top || row > view.bottom);
    const bool columnOutside = column != 0 && (column < 1 || column > screenSize().width);
    if (rowOutside || columnOutside) return placeCursor(0, 0, visibility);

    if (row == 0) row = cursorRow();
    if (column == 0) column = cursorColumn();
    platform::CursorInfo cursor;
    const bool wasVisible = os().getCursorInfo(cursor) && cursor.visible;
    const uint32_t packed = (static_cast<uint32_t>(column) & 0xFF) | (static_cast<uint32_t>(row) & 0xFF) << 8 |
                            static_cast<uint32_t>(wasVisible) << 16;

    output().pendingWrap = false;
    if (console) {
        if (visibility >= 0) {
            cursor.visible = visibility != 0;
            os().setCursorInfo(cursor);
        }
        os().setCursorPosition(at(column - 1, output().geometry.top + row - 1));
    }
    return packed;
}

int cursorColumn() {
    const bool console = onConsole();
    platform::ScreenBufferInfo info{};
    if (!os().getScreenBufferInfo(info)) return 0;
    return console ? info.cursor.x - output().geometry.left + 1 : info.cursor.x;
}

int cursorRow() {
    const bool console = onConsole();
    platform::ScreenBufferInfo info{};
    if (!os().getScreenBufferInfo(info)) return 0;
    return console ? info.cursor.y - output().geometry.top + 1 : info.cursor.y;
}

ScreenSize screenSize() {
    if (!onConsole()) return DEFAULT_SIZE;
    const ScreenGeometry& geometry = output().geometry;
    return {geometry.right - geometry.left + 1, geometry.bottom - geometry.top + 1};
}

// Fixed at its first use: a window that changes height later leaves the view as it was.
ViewRows viewRows() {
    OutputState& out = output();
    if (!out.viewFixed) {
        out.viewFixed = true;
        out.viewTop = 1;
        out.viewBottom = screenSize().height;
    }
    return {out.viewTop, out.viewBottom};
}
