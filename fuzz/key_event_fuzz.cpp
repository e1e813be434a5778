// Any key events and console control events through the keyboard layer, with polls in between.
// Each event may add at most one key, of a code the key tables can give; the ring keeps the newest
// keys and hands them out oldest first as texts of one byte, or 255 and an extended code.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "console/console_state.h"
#include "console/key_tables.h"
#include "console/keys.h"
#include "fuzz/table_keys.h"
#include "platform/memory_console.h"

namespace {

using platform::KeyEvent;

constexpr KeyCode ALT_F4 = extendedKey(107);

// Takes the fields of the events from the input, little-endian, zero past its end.
struct Reader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;

    bool done() const { return pos >= size; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    uint16_t word() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }
    uint32_t dword() {
        const uint32_t low = word();
        return low | static_cast<uint32_t>(word()) << 16;
    }
};

// The keys the ring should hold: everything appended, the newest KEY_BUFFER_SLOTS - 1 of them.
struct Expected {
    std::deque<KeyCode> keys;
    uint32_t writeIndex = 0;

    // The key the last event appended, read off the ring: at most one, of a table code.
    std::optional<KeyCode> appended() {
        const KeyBuffer& buffer = consoleState().keyboard.buffer;
        if (buffer.writeIndex == writeIndex) return std::nullopt;
        const KeyCode code = buffer.codes[writeIndex];
        writeIndex = (writeIndex + 1) % KEY_BUFFER_SLOTS;
        if (buffer.writeIndex != writeIndex || !isTableKey(code)) __builtin_trap();
        keys.push_back(code);
        if (keys.size() > KEY_BUFFER_SLOTS - 1) keys.pop_front();
        return code;
    }
};

KeyEvent eventOf(Reader& in, uint8_t op) {
    KeyEvent event;
    event.keyDown = (op & 4) != 0;
    event.repeatCount = in.word();
    event.virtualKey = in.word();
    event.scanCode = in.word();
    event.character = in.byte();
    event.controlState = in.dword();
    return event;
}

// One event straight to the translation, or queued as the console queues it, in a record of any
// kind, and drained by a look at the keys.
void keyEvent(Reader& in, uint8_t op, platform::MemoryConsole& console, Expected& expected) {
    const KeyEvent event = eventOf(in, op);
    const KeyCode code = lookupKeyCode(event);
    if (code != NO_KEY && !isTableKey(code)) __builtin_trap();
    const bool queued = (op & 8) != 0;
    const auto kind = static_cast<platform::InputKind>((op >> 4) % 5);
    if (queued) {
        console.pendingInput.push_back({kind, event});
        keyAvailable();
    } else {
        translateKeyEvent(event);
    }
    const std::optional<KeyCode> added = expected.appended();
    if (queued && (kind != platform::InputKind::Key || (event.keyDown && event.repeatCount == 0))) {
        // Records of other kinds and queued key-downs that repeat 0 times are dropped unseen.
        if (added) __builtin_trap();
    } else if (event.keyDown && code != NO_KEY) {
        // A key-down that gives a key adds that key.
        if (added != code) __builtin_trap();
    } else if (added && *added > 255) {
        // Anything else adds at most the character composed on the keypad.
        __builtin_trap();
    }
}

// Close, log-off and shut-down become Alt+F4; every other control event is declined.
void controlEvent(Reader& in, Expected& expected) {
    const uint32_t type = in.dword();
    const bool close = type == platform::CTRL_CLOSE_EVENT || type == platform::CTRL_LOGOFF_EVENT ||
                       type == platform::CTRL_SHUTDOWN_EVENT;
    if (onConsoleControl(type) != close) __builtin_trap();
    if (expected.appended() != (close ? std::optional(ALT_F4) : std::nullopt)) __builtin_trap();
}

// The oldest expected key, as its text; the empty text when none is left.
void takeKey(Expected& expected) {
    const Text text = pollKey();
    if (expected.keys.empty()) {
        if (!text.empty()) __builtin_trap();
        return;
    }
    const KeyCode code = expected.keys.front();
    expected.keys.pop_front();
    const Text want = code <= 255 ? Text(1, static_cast<char>(code)) : Text{'\xFF', static_cast<char>(code >> 8)};
    if (text != want) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetConsoleState();
    platform::MemoryConsole console(80, 25, 25);
    platform::setPlatform(&console);
    Reader in{data, size};
    Expected expected;
    while (!in.done()) {
        const uint8_t op = in.byte();
        switch (op % 4) {
            case 0:
            case 1:
                keyEvent(in, op, console, expected);
                break;
            case 2:
                controlEvent(in, expected);
                break;
            default:
                for (int n = in.byte() % 16; n > 0; --n) takeKey(expected);
                break;
        }
    }
    // All keys out, oldest first, then nothing.
    if (expected.keys.size() > KEY_BUFFER_SLOTS - 1) __builtin_trap();
    while (!expected.keys.empty()) takeKey(expected);
    takeKey(expected);
    return 0;
}
