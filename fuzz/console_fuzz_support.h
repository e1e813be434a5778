// What the console fuzz targets share: a reader that splits the input into parameters, and an
// in-memory console that traps on any call reaching outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/memory_console.h"

namespace fuzz {

// Takes bytes from the front of the input; 0 once it is used up.
struct Reader {
    const uint8_t* data;
    size_t size;

    bool empty() const { return size == 0; }
    uint8_t byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    int in(int low, int high) { return low + byte() % (high - low + 1); }
};

// The in-memory console with a current attribute of the caller's choosing, which traps on any
// call that reaches outside its buffer (the plain one clips or refuses them silently).
class CheckedConsole : public platform::MemoryConsole {
public:
    CheckedConsole(int width, int bufferHeight, int windowHeight, uint16_t attribute = 7)
        : MemoryConsole(width, bufferHeight, windowHeight),
          width_(width),
          height_(bufferHeight),
          attribute_(attribute) {}

    bool getScreenBufferInfo(platform::ScreenBufferInfo& info) override {
        if (!MemoryConsole::getScreenBufferInfo(info)) return false;
        info.attribute = attribute_;
        return true;
    }
    bool writeCells(const platform::Cell* cells, int16_t count, platform::Coord at) override {
        // A row segment: at least one cell, all of it on one buffer row.
        if (!inside(at) || count < 1 || at.x + count > width_) __builtin_trap();
        return MemoryConsole::writeCells(cells, count, at);
    }
    bool fillCharacters(uint8_t ch, uint32_t count, platform::Coord at) override {
        checkFill(count, at);
        return MemoryConsole::fillCharacters(ch, count, at);
    }
    bool fillAttributes(uint16_t attribute, uint32_t count, platform::Coord at) override {
        checkFill(count, at);
        return MemoryConsole::fillAttributes(attribute, count, at);
    }
    bool scrollBuffer(platform::Rect source, platform::Coord destination, platform::Cell fill) override {
        // Source and destination rectangles lie in the buffer; vacated cells become blanks.
        const platform::Coord lastTo{static_cast<int16_t>(destination.x + source.right - source.left),
                                     static_cast<int16_t>(destination.y + source.bottom - source.top)};
        if (source.left > source.right || source.top > source.bottom || !inside({source.left, source.top}) ||
            !inside({source.right, source.bottom}) || !inside(destination) || !inside(lastTo)) {
            __builtin_trap();
        }
        if (fill.ch != ' ' || fill.attribute != attribute_) __builtin_trap();
        return MemoryConsole::scrollBuffer(source, destination, fill);
    }
    bool setCursorPosition(platform::Coord at) override {
        if (!inside(at)) __builtin_trap();
        return MemoryConsole::setCursorPosition(at);
    }
    bool setWindow(platform::Rect w) override {
        // The window spans the buffer's width and keeps its height.
        const platform::Rect now = window();
        if (w.left != 0 || w.right != width_ - 1 || w.top < 0 || w.bottom >= height_ ||
            w.bottom - w.top != now.bottom - now.top) {
            __builtin_trap();
        }
        return MemoryConsole::setWindow(w);
    }

    uint16_t attribute() const { return attribute_; }

private:
    bool inside(platform::Coord at) const { return at.x >= 0 && at.y >= 0 && at.x < width_ && at.y < height_; }
    void checkFill(uint32_t count, platform::Coord at) const {
        const uint64_t end = uint64_t{static_cast<uint16_t>(at.y)} * width_ + static_cast<uint16_t>(at.x) + count;
        if (!inside(at) || count < 1 || end > uint64_t{static_cast<uint32_t>(width_)} * height_) __builtin_trap();
    }

    int width_;
    int height_;
    uint16_t attribute_;
};

}  // namespace fuzz
