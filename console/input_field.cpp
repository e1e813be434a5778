#include "console/input_field.h"

#include <array>

#include "console/console_state.h"
#include "console/line_editor.h"
#include "console/print.h"
#include "platform/platform.h"

namespace {

constexpr int END_MARK = -1;

bool isBlank(int c) { return c == ' ' || c == '\t'; }

// After a CR, an LF belongs to the same line end; any other byte starts the next read.
void finishLineEnd() {
    const int next = nextInputByte();
    if (next != '\n' && next != END_MARK) putBackInputByte(static_cast<uint8_t>(next));
}

// What follows a closed quote or a full buffer: blanks are skipped, one separator is used up,
// anything else is left for the next read.
void readFieldTail(int c) {
    while (isBlank(c)) c = nextInputByte();
    if (c == '\r') {
        finishLineEnd();
    } else if (c != '\n' && c != ',' && c != END_MARK) {
        putBackInputByte(static_cast<uint8_t>(c));
    }
}

}  // namespace

bool inputRedirected() {
    uint32_t mode = 0;
    return !platform::currentPlatform().getConsoleMode(consoleHandle(1), mode);
}

int beginInput(const Text* prompt, int32_t addQuestionMark, int32_t addLineEnd) {
    InputContext& input = consoleState().input;
    input.line.clear();
    input.readPos = 0;
    input.stream = inputRedirected();
    if (!input.stream) readConsoleLine(prompt, addQuestionMark, addLineEnd);
    return 0;
}

// A text field: the rest of the line after leading blanks, up to a comma or the line end; a
// leading quotation mark makes commas part of it up to the closing mark.
uint32_t readInputField(uint8_t* buffer, uint32_t limit) {
    int c = nextInputByte();
    while (isBlank(c)) c = nextInputByte();
    uint32_t count = 0;
    bool inQuote = false;
    while (c != END_MARK) {
        if ((c == ',' && !inQuote) || c == '\n') break;
        if (c == '\r') {
            finishLineEnd();
            break;
        }
        if (c == '"' && inQuote) {
            readFieldTail(nextInputByte());
            break;
        }
        if (c == '"' && count == 0) {
            inQuote = true;
        } else {
            buffer[count++] = static_cast<uint8_t>(c);
        }
        c = nextInputByte();
        if (count == limit || c == END_MARK) {
            readFieldTail(c);
            break;
        }
    }
    buffer[count] = 0;
    return count;
}

int inputString(Text& target) {
    std::array<uint8_t, INPUT_FIELD_MAX + 1> buffer{};
    readInputField(buffer.data(), INPUT_FIELD_MAX);
    // A zero byte inside the field ends the answer there.
    target.assign(reinterpret_cast<const char*>(buffer.data()));
    return 0;
}

int nextInputByte() {
    ConsoleState& state = consoleState();
    InputContext& input = state.input;
    if (input.stream) {
        PutBackArea& back = state.putBack;
        if (back.count > 0) return back.bytes[--back.count];
        return platform::currentPlatform().readInputByte();
    }
    if (input.readPos >= input.line.size()) return END_MARK;
    return static_cast<uint8_t>(input.line[input.readPos++]);
}

void putBackInputByte(uint8_t b) {
    ConsoleState& state = consoleState();
    if (state.input.stream) {
        PutBackArea& back = state.putBack;
        if (back.count < static_cast<int>(back.bytes.size())) back.bytes[back.count++] = b;
    } else if (state.input.readPos > 0) {
        --state.input.readPos;
    }
}

bool awaitInputByte() {
    PutBackArea& back = consoleState().putBack;
    if (back.count > 0) return true;
    const int c = platform::currentPlatform().readInputByte();
    if (c == END_MARK) return false;
    back.bytes[back.count++] = static_cast<uint8_t>(c);
    return true;
}
