#include "console/keys.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>

#include "console/console_state.h"
#include "console/key_tables.h"
#include "platform/keyboard_layout.h"

namespace {

using platform::KeyEvent;

constexpr uint32_t ALT_BITS = platform::LEFT_ALT_PRESSED | platform::RIGHT_ALT_PRESSED;
constexpr uint32_t CTRL_BITS = platform::LEFT_CTRL_PRESSED | platform::RIGHT_CTRL_PRESSED;

// What a close, log-off or shut-down request becomes.
constexpr KeyCode ALT_F4_KEY = extendedKey(107);
constexpr std::array<uint32_t, 3> CLOSE_EVENTS{platform::CTRL_CLOSE_EVENT, platform::CTRL_LOGOFF_EVENT,
                                               platform::CTRL_SHUTDOWN_EVENT};

uint32_t nextSlot(uint32_t index) { return (index + 1) % KEY_BUFFER_SLOTS; }

KeyColumn modifierColumn(uint32_t state) {
    if (state & ALT_BITS) return ALT_COLUMN;
    if (state & CTRL_BITS) return CTRL_COLUMN;
    if (state & platform::SHIFT_PRESSED) return SHIFT_COLUMN;
    return NORMAL_COLUMN;
}

bool altAlone(uint32_t state) {
    return (state & ALT_BITS) != 0 && (state & (CTRL_BITS | platform::SHIFT_PRESSED)) == 0;
}

bool isKeypadDigit(uint16_t virtualKey) {
    return virtualKey >= platform::vk::Numpad0 && virtualKey <= platform::vk::Numpad0 + 9;
}

KeyCode characterOrNone(uint8_t ch) { return ch != 0 ? ch : NO_KEY; }

// Letters change case under the process locale; anything beyond a byte has no case here.
int swapCase(int ch) {
    if (ch > 255) return ch;
    if (std::islower(ch)) return std::toupper(ch);
    if (std::isupper(ch)) return std::tolower(ch);
    return ch;
}

// True when the event's character is the key's own one, in either case; keys without a
// character of their own qualify only with no character.
bool carriesOwnCharacter(const KeyEvent& event) {
    const int own = platform::currentPlatform().virtualKeyChar(event.virtualKey);
    return event.character == own || event.character == swapCase(own);
}

KeyCode lookupEnhancedKey(uint16_t scanCode, KeyColumn column) {
    const auto key = std::ranges::find(EnhancedKeyTable, scanCode, &EnhancedKey::scanCode);
    return key != EnhancedKeyTable.end() ? key->codes[column] : NO_KEY;
}

bool takeKey(KeyCode& code) {
    KeyBuffer& buffer = consoleState().keyboard.buffer;
    std::lock_guard guard(buffer.lock);
    if (buffer.readIndex == buffer.writeIndex) return false;
    code = buffer.codes[buffer.readIndex];
    buffer.readIndex = nextSlot(buffer.readIndex);
    return true;
}

Text keyText(KeyCode code) {
    if (code <= 255) return Text(1, static_cast<char>(code));
    return Text{'\xFF', static_cast<char>(code >> 8)};
}

}  // namespace

Text pollKey() {
    refillKeyBuffer();
    KeyCode code = NO_KEY;
    if (!takeKey(code)) return {};
    refillKeyBuffer();
    return keyText(code);
}

int32_t keyAvailable() {
    refillKeyBuffer();
    KeyBuffer& buffer = consoleState().keyboard.buffer;
    std::lock_guard guard(buffer.lock);
    return buffer.readIndex != buffer.writeIndex ? 1 : 0;
}

// Drains the console's input queue without waiting. A key-down that repeats yields one key.
void refillKeyBuffer() {
    KeyboardState& keyboard = consoleState().keyboard;
    platform::Platform& os = platform::currentPlatform();
    if (!keyboard.controlHandlerInstalled) {
        keyboard.controlHandlerInstalled = true;
        os.setControlHandler(onConsoleControl, true);
    }
    platform::InputRecord record;
    while (os.peekInput(record) == 1 && os.readInput(record) == 1) {
        if (record.kind != platform::InputKind::Key) continue;
        if (record.key.keyDown && record.key.repeatCount == 0) continue;
        translateKeyEvent(record.key);
    }
}

// Keypad digits typed with Alt alone build a number; the first event without Alt alone that
// gives no key of its own (the release of Alt) delivers its low byte as a character.
void translateKeyEvent(const KeyEvent& event) {
    int32_t& altNumpadValue = consoleState().keyboard.altNumpadValue;
    const KeyCode code = event.keyDown ? lookupKeyCode(event) : NO_KEY;
    const bool alone = altAlone(event.controlState);
    if (alone && isKeypadDigit(event.virtualKey)) {
        if (event.keyDown) {
            const uint32_t digit = event.virtualKey - platform::vk::Numpad0;
            altNumpadValue = static_cast<int32_t>(static_cast<uint32_t>(altNumpadValue) * 10 + digit);
        }
        if (code != NO_KEY) appendKey(code);
        return;
    }
    if (code != NO_KEY) {
        altNumpadValue = 0;
        appendKey(code);
    } else if (!alone && altNumpadValue != 0) {
        appendKey(static_cast<uint8_t>(altNumpadValue));
        altNumpadValue = 0;
    }
}

KeyCode lookupKeyCode(const KeyEvent& event) {
    const uint8_t ch = event.character;
    const KeyColumn column = modifierColumn(event.controlState);
    if ((event.controlState & platform::ENHANCED_KEY) && ch == 0) return lookupEnhancedKey(event.scanCode, column);
    if (event.scanCode >= SCAN_CODE_ROWS) return characterOrNone(ch);
    // With no modifier, a key that carries a character gives that character.
    const uint8_t candidate = (column != NORMAL_COLUMN || ch == 0) ? ScanCodeTable[event.scanCode][column] : 0;
    if (candidate != 0 && carriesOwnCharacter(event)) return extendedKey(candidate);
    return characterOrNone(ch);
}

// With the ring full the oldest key makes room.
void appendKey(KeyCode code) {
    KeyBuffer& buffer = consoleState().keyboard.buffer;
    std::lock_guard guard(buffer.lock);
    buffer.codes[buffer.writeIndex] = code;
    buffer.writeIndex = nextSlot(buffer.writeIndex);
    if (buffer.writeIndex == buffer.readIndex) buffer.readIndex = nextSlot(buffer.readIndex);
}

// Runs on a thread of its own. Ctrl+C, Ctrl+Break and anything unknown are declined, so the
// default handling ends the process.
bool onConsoleControl(uint32_t type) {
    if (std::ranges::find(CLOSE_EVENTS, type) == CLOSE_EVENTS.end()) return false;
    appendKey(ALT_F4_KEY);
    return true;
}
