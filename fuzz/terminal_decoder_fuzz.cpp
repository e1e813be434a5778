// Terminal input bytes, cut into reads at any points and sometimes timed out in between, through
// the key decoder. Every key must be one the keyboard layer turns into a key code, described as
// the keyboard layout places it; little may wait; and where no time-out came in between, the
// cuts must not change the keys.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_state.h"
#include "console/key_tables.h"
#include "console/keys.h"
#include "fuzz/table_keys.h"
#include "platform/code_page_437.h"
#include "platform/keyboard_layout.h"
#include "platform/memory_console.h"
#include "platform/terminal_decoder.h"

namespace {

using platform::KeyEvent;

// A cut-off key is a few bytes; the longest is an unfinished escape sequence.
constexpr size_t kMostPending = 32;

// Byte 0 says how many reads come before the last (0 to 7) and byte 1 after which of them the
// time-out comes; the next bytes are the lengths of those reads; the rest is the input.
struct Plan {
    std::vector<size_t> readLengths;
    uint8_t timeOutBits = 0;
    std::string_view input;
};

Plan planOf(const uint8_t* data, size_t size) {
    Plan plan;
    if (size < 2) return plan;
    const size_t reads = std::min<size_t>(data[0] & 7, size - 2);
    plan.timeOutBits = data[1];
    plan.readLengths.assign(data + 2, data + 2 + reads);
    const size_t header = 2 + reads;
    plan.input = std::string_view(reinterpret_cast<const char*>(data) + header, size - header);
    return plan;
}

std::string utf8(char32_t c) {
    std::string s;
    platform::appendUtf8(s, c);
    return s;
}

bool isKeypadDigit(uint16_t virtualKey) {
    return virtualKey >= platform::vk::Numpad0 && virtualKey <= platform::vk::Numpad0 + 9;
}

// The key sits where the layout puts it: a key of its own has a scan code, a character key the
// layout's scan code, and a printable character comes from its own key with Shift as it needs.
bool placedAsLayout(const KeyEvent& key) {
    if ((key.virtualKey == 0) != (key.scanCode == 0)) return false;
    const uint16_t own = platform::unshiftedCharacter(key.virtualKey);
    if (own == 0 || isKeypadDigit(key.virtualKey)) return true;
    const platform::KeyPosition home = platform::keyForCharacter(static_cast<uint8_t>(own));
    if (home.virtualKey != key.virtualKey || home.scanCode != key.scanCode) return false;
    const bool ctrl = (key.controlState & (platform::LEFT_CTRL_PRESSED | platform::RIGHT_CTRL_PRESSED)) != 0;
    if (ctrl || key.character < 0x20 || key.character > 0x7E) return true;
    const platform::KeyPosition typed = platform::keyForCharacter(key.character);
    return typed.virtualKey == key.virtualKey && typed.shifted == ((key.controlState & platform::SHIFT_PRESSED) != 0);
}

void checkKey(const KeyEvent& key, std::string_view input) {
    // The decoder gives key presses, one at a time.
    if (!key.keyDown || key.repeatCount != 1) __builtin_trap();
    // The keyboard layer makes a key of it that its tables know.
    const KeyCode code = lookupKeyCode(key);
    if (code == NO_KEY || !isTableKey(code)) __builtin_trap();
    if (!placedAsLayout(key)) __builtin_trap();
    // A key with no key of the layout is a code page glyph beyond ASCII, typed as its UTF-8.
    if (key.virtualKey == 0 && key.character < 0x80) __builtin_trap();
    const bool beyondAscii = key.character >= 0x80;
    if (beyondAscii && input.find(utf8(platform::cp437ToUnicode(key.character))) == std::string_view::npos) {
        __builtin_trap();
    }
}

std::vector<KeyEvent> decodeInReads(const Plan& plan, bool& timedOut) {
    platform::TerminalDecoder decoder;
    std::vector<KeyEvent> keys;
    std::string_view rest = plan.input;
    for (size_t i = 0; i <= plan.readLengths.size(); ++i) {
        const size_t length = i < plan.readLengths.size() ? std::min(plan.readLengths[i], rest.size()) : rest.size();
        platform::decodeTerminalInput(decoder, rest.substr(0, length), keys);
        rest.remove_prefix(length);
        if (decoder.pending.size() > kMostPending) __builtin_trap();
        if (i < plan.readLengths.size() && ((plan.timeOutBits >> i) & 1)) {
            timedOut = timedOut || !decoder.pending.empty();
            platform::flushTerminalInput(decoder, keys);
            // A time-out leaves nothing waiting.
            if (!decoder.pending.empty()) __builtin_trap();
        }
    }
    platform::flushTerminalInput(decoder, keys);
    if (!decoder.pending.empty()) __builtin_trap();
    return keys;
}

std::vector<KeyEvent> decodeAtOnce(std::string_view input) {
    platform::TerminalDecoder decoder;
    std::vector<KeyEvent> keys;
    platform::decodeTerminalInput(decoder, input, keys);
    platform::flushTerminalInput(decoder, keys);
    return keys;
}

bool sameKeys(const std::vector<KeyEvent>& a, const std::vector<KeyEvent>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].virtualKey != b[i].virtualKey || a[i].scanCode != b[i].scanCode || a[i].character != b[i].character ||
            a[i].controlState != b[i].controlState) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetConsoleState();
    platform::MemoryConsole console(80, 25, 25);
    platform::setPlatform(&console);
    const Plan plan = planOf(data, size);
    bool timedOut = false;
    const std::vector<KeyEvent> keys = decodeInReads(plan, timedOut);
    // Every key takes at least one byte.
    if (keys.size() > plan.input.size()) __builtin_trap();
    for (const KeyEvent& key : keys) checkKey(key, plan.input);
    // Without a time-out that cut a key short, the reads give the keys the whole input gives.
    if (!timedOut && !sameKeys(keys, decodeAtOnce(plan.input))) __builtin_trap();
    return 0;
}
