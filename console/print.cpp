#include "console/print.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "console/screen.h"

namespace {

platform::Platform& os() { return platform::currentPlatform(); }

constexpr std::string_view LINE_END = "\r\n";

bool showsConsole(const ScreenGeometry& g) { return g.left != g.right && g.top != g.bottom; }

// With no console the bytes go to standard output unchanged, the rest after a partial write;
// a failed write drops the rest.
void writePlain(const uint8_t* bytes, uint32_t count) {
    while (count > 0) {
        uint32_t written = 0;
        if (!os().writeOutput(bytes, count, written) || written == 0) return;
        bytes += written;
        count -= written;
    }
}

}  // namespace

platform::StdStream consoleHandle(int which) {
    OutputState& out = consoleState().output;
    if (!out.handlesReady) {
        out.handlesReady = true;
        uint32_t mode = 0;
        if (os().getConsoleMode(platform::StdStream::Input, mode)) {
            os().setConsoleMode(platform::StdStream::Input, mode | platform::INPUT_PROCESSED);
        }
    }
    return which == 1 ? platform::StdStream::Input : platform::StdStream::Output;
}

void readScreenGeometry() {
    consoleHandle(0);
    ScreenGeometry geometry;
    platform::ScreenBufferInfo info{};
    if (os().getScreenBufferInfo(info)) {
        geometry.top = info.window.top;
        geometry.right = static_cast<int16_t>(info.size.x - 1);
        geometry.bottom = info.window.bottom;
    }
    consoleState().output.geometry = geometry;
}

bool onConsole() {
    OutputState& out = consoleState().output;
    if (!out.screenReady) {
        out.screenReady = true;
        readScreenGeometry();
        out.noConsole = !showsConsole(out.geometry);
    }
    return !out.noConsole && showsConsole(out.geometry);
}

int consoleWrite(const uint8_t* bytes, uint32_t count, uint32_t flags) {
    if (count == 0 && (flags & WRITE_EVEN_IF_EMPTY) == 0) return 0;
    if (onConsole()) {
        consoleWriteOnScreen(bytes, count, flags);
    } else {
        writePlain(bytes, count);
    }
    return 0;
}

int clearScreen(int32_t) {
    if (onConsole()) clearScreenOnConsole();
    return 0;
}

int printText(int, const Text& text, int32_t flags) {
    consoleWrite(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), 0);
    if (flags & PRINT_NEWLINE) consoleWrite(reinterpret_cast<const uint8_t*>(LINE_END.data()), LINE_END.size(), 0);
    return 0;
}

int printLiteral(int fileNumber, const char* literal, int32_t flags) {
    return printText(fileNumber, Text(literal, std::strlen(literal)), flags);
}

// A sign position, then the digits: " 7", "-7"; the line end goes out in the same write.
int printInteger(int, int32_t value, int32_t flags) {
    std::array<char, 16> text{};
    const int length = std::snprintf(text.data(), text.size(), (flags & PRINT_NEWLINE) ? "% d\r\n" : "% d", value);
    consoleWrite(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(length), 0);
    return 0;
}
