#include "platform/memory_console.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "platform/keyboard_layout.h"

namespace platform {

MemoryConsole::MemoryConsole(int width, int bufferHeight, int windowHeight)
    : width_(width),
      height_(bufferHeight),
      cells_(static_cast<size_t>(width) * bufferHeight),
      window_{0, 0, static_cast<int16_t>(width - 1), static_cast<int16_t>(windowHeight - 1)} {}

MemoryConsole MemoryConsole::redirected() {
    MemoryConsole console(80, 25, 25);
    console.outputIsConsole = false;
    console.inputIsConsole = false;
    return console;
}

void MemoryConsole::typeKey(const KeyEvent& event) {
    InputRecord record;
    record.kind = InputKind::Key;
    record.key = event;
    pendingInput.push_back(record);
}

void MemoryConsole::typeText(const std::string& ascii) {
    for (unsigned char ch : ascii) {
        const KeyPosition key = keyForCharacter(ch);
        KeyEvent event;
        event.virtualKey = key.virtualKey;
        event.scanCode = key.scanCode;
        event.character = ch;
        event.controlState = key.shifted ? SHIFT_PRESSED : 0;
        typeKey(event);
        event.keyDown = false;
        typeKey(event);
    }
}

void MemoryConsole::resizeWindow(int windowHeight) {
    window_.bottom = static_cast<int16_t>(std::min(window_.top + windowHeight, height_) - 1);
}

bool MemoryConsole::raiseControlEvent(uint32_t type) {
    if (handler_ == nullptr) return false;
    bool handled = false;
    std::thread([&] { handled = handler_(type); }).join();
    return handled;
}

std::string MemoryConsole::rowText(int bufferRow) const {
    std::string row;
    for (int x = 0; x < width_; ++x) row += static_cast<char>(cellAt(x, bufferRow).ch);
    return row;
}

std::string MemoryConsole::windowText() const {
    std::string text;
    for (int y = window_.top; y <= window_.bottom; ++y) text += rowText(y) + "\n";
    return text;
}

Cell MemoryConsole::cellAt(int x, int y) const { return cells_.at(static_cast<size_t>(y) * width_ + x); }

bool MemoryConsole::getConsoleMode(StdStream stream, uint32_t& mode) {
    if (stream == StdStream::Output) {
        mode = 0;
        return outputIsConsole;
    }
    mode = inputMode;
    return inputIsConsole;
}

bool MemoryConsole::setConsoleMode(StdStream stream, uint32_t mode) {
    if (stream == StdStream::Output) return outputIsConsole;
    if (!inputIsConsole) return false;
    inputMode = mode;
    return true;
}

bool MemoryConsole::getScreenBufferInfo(ScreenBufferInfo& info) {
    if (!outputIsConsole) return false;
    info.size = {static_cast<int16_t>(width_), static_cast<int16_t>(height_)};
    info.cursor = cursor_;
    info.attribute = attribute_;
    info.window = window_;
    return true;
}

bool MemoryConsole::writeCells(const Cell* cells, int16_t count, Coord at) {
    if (!outputIsConsole || !inside(at.x, at.y) || at.x + count > width_) return false;
    std::copy(cells, cells + count, cells_.begin() + static_cast<std::ptrdiff_t>(at.y) * width_ + at.x);
    return true;
}

bool MemoryConsole::fillCharacters(uint8_t ch, uint32_t count, Coord at) {
    if (!outputIsConsole || !inside(at.x, at.y)) return false;
    const size_t start = static_cast<size_t>(at.y) * width_ + at.x;
    const size_t end = std::min(cells_.size(), start + count);
    for (size_t i = start; i < end; ++i) cells_[i].ch = ch;
    return true;
}

bool MemoryConsole::fillAttributes(uint16_t attribute, uint32_t count, Coord at) {
    if (!outputIsConsole || !inside(at.x, at.y)) return false;
    const size_t start = static_cast<size_t>(at.y) * width_ + at.x;
    const size_t end = std::min(cells_.size(), start + count);
    for (size_t i = start; i < end; ++i) cells_[i].attribute = attribute;
    return true;
}

bool MemoryConsole::scrollBuffer(Rect source, Coord destination, Cell fill) {
    if (!outputIsConsole) return false;
    source.left = std::max<int16_t>(source.left, 0);
    source.top = std::max<int16_t>(source.top, 0);
    source.right = std::min<int16_t>(source.right, static_cast<int16_t>(width_ - 1));
    source.bottom = std::min<int16_t>(source.bottom, static_cast<int16_t>(height_ - 1));
    if (source.left > source.right || source.top > source.bottom) return false;
    std::vector<Cell> before = cells_;
    auto cell = [&](std::vector<Cell>& grid, int x, int y) -> Cell& {
        return grid[static_cast<size_t>(y) * width_ + x];
    };
    for (int y = source.top; y <= source.bottom; ++y) {
        for (int x = source.left; x <= source.right; ++x) cell(cells_, x, y) = fill;
    }
    for (int y = source.top; y <= source.bottom; ++y) {
        for (int x = source.left; x <= source.right; ++x) {
            const int toX = destination.x + (x - source.left);
            const int toY = destination.y + (y - source.top);
            if (inside(toX, toY)) cell(cells_, toX, toY) = cell(before, x, y);
        }
    }
    return true;
}

bool MemoryConsole::setCursorPosition(Coord at) {
    if (!outputIsConsole || !inside(at.x, at.y)) return false;
    cursor_ = at;
    return true;
}

bool MemoryConsole::getCursorInfo(CursorInfo& info) {
    if (!outputIsConsole) return false;
    info = cursorInfo_;
    return true;
}

bool MemoryConsole::setCursorInfo(const CursorInfo& info) {
    if (!outputIsConsole) return false;
    cursorInfo_ = info;
    return true;
}

bool MemoryConsole::setWindow(Rect window) {
    if (!outputIsConsole || window.top < 0 || window.bottom >= height_ || window.top > window.bottom) return false;
    window_ = window;
    return true;
}

int MemoryConsole::peekInput(InputRecord& record) {
    if (!inputIsConsole || failInputReads) return -1;
    if (pendingInput.empty()) return 0;
    record = pendingInput.front();
    return 1;
}

int MemoryConsole::readInput(InputRecord& record) {
    const int result = peekInput(record);
    if (result == 1) pendingInput.pop_front();
    return result;
}

void MemoryConsole::waitForInput(int timeoutMs) {
    waits.push_back(timeoutMs);
    if (!pendingInput.empty()) return;
    if (!onIdle) throw std::runtime_error("waiting for console input that no test scripted");
    onIdle();
}

bool MemoryConsole::setControlHandler(ControlHandler handler, bool add) {
    handler_ = add ? handler : nullptr;
    return true;
}

uint16_t MemoryConsole::virtualKeyChar(uint16_t virtualKey) { return unshiftedCharacter(virtualKey); }

void MemoryConsole::beep(uint32_t frequencyHz, uint32_t durationMs) { beeps.emplace_back(frequencyHz, durationMs); }

void MemoryConsole::sleep(uint32_t ms) { sleeps.push_back(ms); }

bool MemoryConsole::counterFrequency(int64_t& countsPerSecond) {
    countsPerSecond = frequency;
    return counterAvailable;
}

int64_t MemoryConsole::counterValue() { return counter; }

uint32_t MemoryConsole::tickCount() { return ticks; }

bool MemoryConsole::writeOutput(const uint8_t* bytes, uint32_t count, uint32_t& written) {
    output.append(reinterpret_cast<const char*>(bytes), count);
    written = count;
    return true;
}

int MemoryConsole::readInputByte() {
    if (stdinPos_ >= stdinBytes.size()) return -1;
    return static_cast<uint8_t>(stdinBytes[stdinPos_++]);
}

void MemoryConsole::exitProcess(int status) {
    exitStatus = status;
    throw Exited{status};
}

}  // namespace platform
