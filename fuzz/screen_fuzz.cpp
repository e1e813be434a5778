// The screen writer on arbitrary printed bytes, clears, cursor placements and window resizes, on
// consoles from 2x2 to 300x100 whose buffer may be taller than the window.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/console_state.h"
#include "console/print.h"
#include "console/screen.h"
#include "fuzz/console_fuzz_support.h"

namespace {

using fuzz::CheckedConsole;
using fuzz::Reader;
using platform::Cell;
using platform::Coord;
using platform::Rect;

constexpr uint16_t INITIAL_ATTRIBUTE = 7;

int windowHeight(const CheckedConsole& console) { return console.window().bottom - console.window().top + 1; }

// What the target knows without the writer's help.
struct Model {
    std::array<bool, 256> printed{};  // bytes that were printed and may show in a cell
    bool started = false;             // a console operation has run, so the text view is fixed
    bool plain = false;               // the first one found no console: nothing reaches the cells
    bool hadOneRow = false;           // the window was once one row high, so the geometry may lag
    std::string output;               // what went to standard output as plain bytes
    int viewHeight = 0;
    int windowRows = 0;
};

bool isControl(uint8_t byte) { return byte == 7 || byte == 8 || byte == 9 || byte == 10 || byte == 13; }

// The first console operation fixes the text view at the window's height; a one-row window is
// no console at all.
void startConsole(Model& model, const CheckedConsole& console) {
    if (model.started) return;
    model.started = true;
    model.viewHeight = windowHeight(console);
    model.plain = model.viewHeight < 2;
}

// Every cell holds a blank or a printed byte that is not a control, in the attribute of the
// console (cells never touched keep the initial one); the window keeps its height; the cursor
// stays in the buffer and, once the view is fixed, in the view's rows.
bool cellAllowed(const Model& model, const CheckedConsole& console, const Cell& cell) {
    if (model.plain) return cell.ch == ' ' && cell.attribute == INITIAL_ATTRIBUTE;
    const bool blankOrPrinted = cell.ch == ' ' || (model.printed[cell.ch] && !isControl(cell.ch));
    const bool attributeKnown =
        cell.attribute == console.attribute() || (cell.attribute == INITIAL_ATTRIBUTE && cell.ch == ' ');
    return blankOrPrinted && attributeKnown;
}

void checkConsole(const Model& model, const CheckedConsole& console) {
    const int width = console.window().right + 1;
    const int height = console.bufferHeight();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!cellAllowed(model, console, console.cellAt(x, y))) __builtin_trap();
        }
    }
    // With no console the bytes go out unchanged; with one, nothing does.
    if ((model.plain || !model.hadOneRow) && console.output != model.output) __builtin_trap();
    if (windowHeight(console) != model.windowRows || console.window().right != width - 1) __builtin_trap();
    const Coord cursor = console.cursor();
    if (cursor.x < 0 || cursor.x >= width || cursor.y < 0 || cursor.y >= height) __builtin_trap();
    if (!model.started || model.plain) return;
    // The view lies in the buffer, from the window's top row down.
    const int viewTop = console.window().top;
    if (viewTop + model.viewHeight > height) __builtin_trap();
    if (cursor.y < viewTop || cursor.y >= viewTop + model.viewHeight) __builtin_trap();
}

void write(Model& model, CheckedConsole& console, Reader& in, uint8_t op) {
    size_t length = in.byte();
    if (op & 0x80) length *= 16;  // now and then a write longer than one run of cells
    length = std::min(length, in.size);
    for (size_t i = 0; i < length; ++i) model.printed[in.data[i]] = true;
    const uint32_t flags = (op & 0x40) ? WRITE_EVEN_IF_EMPTY : 0;
    if (length > 0 || flags != 0) startConsole(model, console);
    if (model.plain) model.output.append(reinterpret_cast<const char*>(in.data), length);
    const Rect before = console.window();
    consoleWrite(in.data, static_cast<uint32_t>(length), flags);
    in.data += length;
    in.size -= length;
    // Only a full view drags the window along.
    if (console.window().top != before.top && model.viewHeight != model.windowRows) __builtin_trap();
}

// Blanks the view and homes the cursor to its top-left cell.
void clear(Model& model, const CheckedConsole& console) {
    startConsole(model, console);
    clearScreen(CLEAR_DEFAULT);
    if (model.plain || model.hadOneRow) return;
    const int top = console.window().top;
    for (int y = top; y < top + model.viewHeight; ++y) {
        for (int x = 0; x <= console.window().right; ++x) {
            const Cell cell = console.cellAt(x, y);
            if (cell.ch != ' ' || cell.attribute != console.attribute()) __builtin_trap();
        }
    }
    if (console.cursor().x != 0 || console.cursor().y != top) __builtin_trap();
}

// A position inside the view moves the cursor there, 0 keeping the current row or column;
// any other leaves it. Visibility follows the request, and the result tells the one before.
void place(Model& model, CheckedConsole& console, Reader& in) {
    const int row = in.in(-128, 127);
    const int low = in.byte();
    const int column = low + (in.byte() & 1) * 256 - 2;
    const int visibility = in.in(-1, 1);
    startConsole(model, console);
    const Coord before = console.cursor();
    const bool wasVisible = console.cursorVisible();
    const uint32_t result = placeCursor(row, column, visibility);
    if (model.plain || model.hadOneRow) return;
    const int width = console.window().right + 1;
    const bool valid =
        (row == 0 || (row >= 1 && row <= model.viewHeight)) && (column == 0 || (column >= 1 && column <= width));
    Coord expected = before;
    if (valid) {
        if (row != 0) expected.y = static_cast<int16_t>(console.window().top + row - 1);
        if (column != 0) expected.x = static_cast<int16_t>(column - 1);
    }
    if (console.cursor().x != expected.x || console.cursor().y != expected.y) __builtin_trap();
    if (((result >> 16) & 1) != static_cast<uint32_t>(wasVisible)) __builtin_trap();
    if (visibility >= 0 && console.cursorVisible() != (visibility != 0)) __builtin_trap();
}

void resize(Model& model, CheckedConsole& console, Reader& in) {
    console.resizeWindow(in.in(1, 100));
    model.windowRows = windowHeight(console);
    model.hadOneRow = model.hadOneRow || model.windowRows < 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    const int width = in.in(2, 300);
    const int rows = in.in(2, 100);
    const uint8_t shape = in.byte();
    const int bufferHeight = (shape & 1) ? rows : rows + 1 + (shape >> 1) % 64;
    const uint16_t attribute = (shape & 0x80) ? in.byte() : INITIAL_ATTRIBUTE;

    resetConsoleState();
    CheckedConsole console(width, bufferHeight, rows, attribute);
    platform::setPlatform(&console);
    Model model;
    model.windowRows = rows;
    while (!in.empty()) {
        const uint8_t op = in.byte();
        switch (op % 16) {
            case 12:
                clear(model, console);
                break;
            case 13:
            case 14:
                place(model, console, in);
                break;
            case 15:
                resize(model, console, in);
                break;
            default:
                write(model, console, in, op);
        }
        checkConsole(model, console);
    }
    return 0;
}
