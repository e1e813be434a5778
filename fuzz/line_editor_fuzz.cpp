// The line editor on arbitrary key sequences, on consoles from 2x2 to 300x100 whose buffer may be
// taller than the window, starting at a cell and after a prompt of the input's choosing. After
// every key the cursor must show the edit point and the cells from the prompt on must hold the
// prompt and the text, as far as they are still in the buffer.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "console/console_state.h"
#include "console/key_tables.h"
#include "console/keys.h"
#include "console/line_editor.h"
#include "console/print.h"
#include "console/screen.h"
#include "fuzz/console_fuzz_support.h"
#include "platform/keyboard_layout.h"

namespace {

using fuzz::Reader;
using platform::Coord;
using platform::KeyEvent;
namespace vk = platform::vk;

// The checked console, following one buffer row (the row the prompt starts on) through the
// scrolls of the buffer's content, above the buffer's top too.
class TrackingConsole : public fuzz::CheckedConsole {
public:
    using CheckedConsole::CheckedConsole;

    bool scrollBuffer(platform::Rect source, Coord destination, platform::Cell fill) override {
        // The view is the whole window, so only the whole buffer moves up.
        if (source.left != 0 || source.right != window().right || source.bottom != bufferHeight() - 1 ||
            destination.x != 0 || destination.y >= source.top || destination.y < 0) {
            __builtin_trap();
        }
        markRow -= source.top - destination.y;
        return CheckedConsole::scrollBuffer(source, destination, fill);
    }

    int64_t markRow = 0;
};

// The edit as the key table makes it, and where it shows: the prompt starts at buffer cell
// (markX, markRow) and the text follows it in reading order.
struct Model {
    int width = 0;
    int64_t markX = 0;
    Text prompt;
    Text text;
    int64_t editPos = 0;
    // The cells after the text up to `longest` were once text and show blanks.
    size_t longest = 0;
    // The edit point went above the window, where the cursor cannot show it.
    bool lost = false;
    size_t beeps = 0;               // Delete at the end of the text
    std::array<bool, 256> shown{};  // bytes that may show in a cell
};

struct Position {
    int64_t x;
    int64_t y;
};

// The cell `offset` cells on from the start of the prompt.
Position cellAt(const Model& m, const TrackingConsole& console, int64_t offset) {
    const int64_t i = console.markRow * m.width + m.markX + offset;
    int64_t row = i / m.width;
    if (i % m.width < 0) --row;
    return {i - row * m.width, row};
}

void insert(Model& m, const Text& bytes) {
    m.text.insert(static_cast<size_t>(m.editPos), bytes);
    m.editPos += static_cast<int64_t>(bytes.size());
    for (uint8_t byte : bytes) m.shown[byte] = true;
}

void erase(Model& m, int64_t at) { m.text.erase(static_cast<size_t>(at), 1); }

// The key table of the editor, on the text and the edit point only.
void applyKey(Model& m, KeyCode code) {
    const auto length = static_cast<int64_t>(m.text.size());
    switch (code) {
        case 8:
            if (m.editPos > 0) erase(m, --m.editPos);
            break;
        case 9:
            insert(m, Text(static_cast<size_t>(8 - m.editPos % 8), ' '));
            break;
        case 27:
            m.text.clear();
            m.editPos = 0;
            break;
        case extendedKey(83):
            if (m.editPos == length) ++m.beeps;
            if (m.editPos < length) erase(m, m.editPos);
            break;
        case extendedKey(75):
            if (m.editPos > 0) --m.editPos;
            break;
        case extendedKey(77):
            if (m.editPos < length) ++m.editPos;
            break;
        case extendedKey(71):
            m.editPos = 0;
            break;
        case extendedKey(79):
            m.editPos = length;
            break;
        case extendedKey(72):
            if (m.editPos >= m.width) m.editPos -= m.width;
            break;
        case extendedKey(80):
            if (m.editPos + m.width <= length) m.editPos += m.width;
            break;
        default:
            if (code >= 32 && code <= 255) insert(m, Text(1, static_cast<char>(code)));
    }
    m.longest = std::max(m.longest, m.text.size());
}

bool cursorAt(const TrackingConsole& console, Position at) {
    return console.cursor().x == at.x && console.cursor().y == at.y;
}

// The cursor is visible, in the window, and on the edit point's cell unless that lies above the
// window (the editor cannot show it there, and from then on only the text is checked); the text
// and the blanks after it are in their cells.
void checkDuringEdit(Model& m, const TrackingConsole& console) {
    const platform::Rect window = console.window();
    if (!console.cursorVisible() || console.cursor().y < window.top || console.cursor().y > window.bottom) {
        __builtin_trap();
    }
    // Only Delete at the end of the text sounds the tone.
    if (console.beeps.size() != m.beeps) __builtin_trap();
    const auto promptLength = static_cast<int64_t>(m.prompt.size());
    const Position point = cellAt(m, console, promptLength + m.editPos);
    m.lost = m.lost || point.y < window.top;
    if (m.lost) return;
    if (!cursorAt(console, point)) __builtin_trap();
    for (size_t i = 0; i < m.longest; ++i) {
        const Position cell = cellAt(m, console, promptLength + static_cast<int64_t>(i));
        if (cell.y < 0) continue;
        if (cell.y > window.bottom) __builtin_trap();
        const uint8_t expected = i < m.text.size() ? static_cast<uint8_t>(m.text[i]) : ' ';
        if (console.cellAt(static_cast<int>(cell.x), static_cast<int>(cell.y)).ch != expected) __builtin_trap();
    }
}

// Every cell shows the prompt, the text or a blank where they belong; once the point was lost,
// at least nothing but their bytes and blanks.
void checkGrid(const Model& m, const TrackingConsole& console) {
    const int64_t origin = console.markRow * m.width + m.markX;
    const auto promptLength = static_cast<int64_t>(m.prompt.size());
    for (int y = 0; y < console.bufferHeight(); ++y) {
        for (int x = 0; x < m.width; ++x) {
            const platform::Cell cell = console.cellAt(x, y);
            const int64_t offset = int64_t{y} * m.width + x - origin;
            uint8_t expected = ' ';
            if (offset >= 0 && offset < promptLength) expected = static_cast<uint8_t>(m.prompt[offset]);
            const int64_t i = offset - promptLength;
            if (i >= 0 && i < static_cast<int64_t>(m.text.size())) expected = static_cast<uint8_t>(m.text[i]);
            const bool ok = m.lost ? (cell.ch == ' ' || m.shown[cell.ch]) : cell.ch == expected;
            if (!ok || cell.attribute != 7) __builtin_trap();
        }
    }
}

uint32_t modifiers(uint8_t bits) {
    constexpr std::array<uint32_t, 6> STATES{platform::SHIFT_PRESSED,     platform::LEFT_CTRL_PRESSED,
                                             platform::LEFT_ALT_PRESSED,  platform::RIGHT_CTRL_PRESSED,
                                             platform::RIGHT_ALT_PRESSED, platform::ENHANCED_KEY};
    uint32_t state = 0;
    for (size_t i = 0; i < STATES.size(); ++i) {
        if (bits & (1u << i)) state |= STATES[i];
    }
    return state;
}

struct EditingKey {
    uint16_t virtualKey;
    uint16_t scanCode;
    uint8_t character;
    uint32_t state;
};

constexpr uint32_t ENHANCED = platform::ENHANCED_KEY;
constexpr std::array<EditingKey, 10> EDITING_KEYS{{
    {vk::Left, 75, 0, ENHANCED},
    {vk::Right, 77, 0, ENHANCED},
    {vk::Home, 71, 0, ENHANCED},
    {vk::End, 79, 0, ENHANCED},
    {vk::Up, 72, 0, ENHANCED},
    {vk::Down, 80, 0, ENHANCED},
    {vk::Delete, 83, 0, ENHANCED},
    {vk::Back, 14, 8, 0},
    {vk::Escape, 1, 27, 0},
    {vk::Tab, 15, 9, 0},
}};

// One key event: a character 32 to 255, an editing key, or any event at all; kinds from 0xC0
// up add modifiers (the enhanced bit toggled turns the arrows into keypad keys).
KeyEvent nextEvent(Reader& in) {
    const uint8_t kind = in.byte();
    KeyEvent event;
    const int choice = kind % 16;
    if (choice < 5) {
        event.character = static_cast<uint8_t>(32 + in.byte() % 224);
        const platform::KeyPosition key = platform::keyForCharacter(event.character);
        event.virtualKey = key.virtualKey;
        event.scanCode = key.scanCode;
        event.controlState = key.shifted ? platform::SHIFT_PRESSED : 0;
    } else if (choice < 15) {
        const EditingKey& key = EDITING_KEYS[choice - 5];
        event.virtualKey = key.virtualKey;
        event.scanCode = key.scanCode;
        event.character = key.character;
        event.controlState = key.state;
    } else {
        const uint8_t flags = in.byte();
        event.keyDown = (flags & 1) == 0;
        event.repeatCount = static_cast<uint16_t>((flags >> 1) & 3);
        event.virtualKey = in.byte();
        event.scanCode = in.byte();
        event.character = in.byte();
    }
    if (kind >= 0xC0) event.controlState ^= modifiers(in.byte());
    return event;
}

// The code of the one key waiting in the key buffer.
KeyCode waitingKey() {
    KeyBuffer& buffer = consoleState().keyboard.buffer;
    std::lock_guard guard(buffer.lock);
    return buffer.codes[buffer.readIndex];
}

// The console's shape, where the edit starts and the prompt, from the front of the input.
struct Setup {
    int width = 0;
    int rows = 0;
    int bufferHeight = 0;
    int startRow = 0;
    int startColumn = 0;
    bool noPrompt = false;
    bool questionMark = false;
    bool lineEnd = false;
    bool visibleBefore = false;
    Text prompt;
};

Setup setupOf(Reader& in) {
    Setup s;
    s.width = in.in(2, 300);
    s.rows = in.in(2, 100);
    const uint8_t shape = in.byte();
    s.bufferHeight = (shape & 1) != 0 ? s.rows : s.rows + 1 + (shape >> 1) % 64;
    s.startRow = in.in(1, s.rows);
    s.startColumn = in.in(1, s.width);
    const uint8_t options = in.byte();
    s.noPrompt = (options & 1) != 0;
    s.questionMark = (options & 2) != 0;
    s.lineEnd = (options & 4) != 0;
    s.visibleBefore = (options & 8) != 0;
    for (int n = s.noPrompt ? 0 : in.byte() % 64; n > 0; --n) s.prompt += static_cast<char>(32 + in.byte() % 224);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    const Setup setup = setupOf(in);
    const auto& [width, rows, bufferHeight, startRow, startColumn, noPrompt, questionMark, lineEnd, visibleBefore,
                 prompt] = setup;

    resetConsoleState();
    TrackingConsole console(width, bufferHeight, rows);
    platform::setPlatform(&console);
    console.setCursorInfo({25, visibleBefore});
    placeCursor(startRow, startColumn, -1);

    Model m;
    m.width = width;
    m.markX = console.cursor().x;
    console.markRow = console.cursor().y;
    m.prompt = noPrompt ? Text() : prompt + (questionMark ? "? " : "");
    for (uint8_t byte : m.prompt) m.shown[byte] = true;

    // Each wait for a key checks what the key before it did, then types events until one gives
    // a key; once the input is used up, Enter.
    bool keyPending = false;
    KeyCode pendingCode = 0;
    console.onIdle = [&] {
        if (keyPending) applyKey(m, pendingCode);
        checkDuringEdit(m, console);
        keyPending = true;
        while (!in.empty()) {
            console.typeKey(nextEvent(in));
            if (keyAvailable() != 0) {
                pendingCode = waitingKey();
                return;
            }
        }
        console.typeText("\r");
        pendingCode = 13;
    };
    readConsoleLine(noPrompt ? nullptr : &prompt, questionMark ? 1 : 0, lineEnd ? 1 : 0);
    applyKey(m, pendingCode);

    // The text holds only what the keys typed, the cursor stands after it (or at the start of
    // the next row once the line is ended) and shows as it did before.
    const Text& line = consoleState().input.line;
    if (line != m.text) __builtin_trap();
    for (uint8_t byte : line) {
        if (byte < 32) __builtin_trap();
    }
    if (console.cursorVisible() != visibleBefore) __builtin_trap();
    if (!m.lost) {
        const Position end = cellAt(m, console, static_cast<int64_t>(m.prompt.size() + m.text.size()));
        if (!cursorAt(console, lineEnd ? Position{0, end.y + 1} : end)) __builtin_trap();
    }
    checkGrid(m, console);
    return 0;
}
