#include "platform/terminal_decoder.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/code_page_437.h"
#include "platform/keyboard_layout.h"

namespace platform {
namespace {

constexpr char ESC = '\x1b';
// A sequence ends by this many bytes at the latest, whatever byte comes last; no key's is near.
constexpr size_t kLongestSequence = 32;
constexpr uint16_t kClearKey = 0x0C;  // keypad 5 with Num Lock off

// A key as a PC keyboard reports it.
struct PcKey {
    uint16_t virtualKey = 0;
    uint16_t scanCode = 0;
    uint8_t character = 0;
    uint32_t controlState = 0;
};

constexpr PcKey cursorKey(uint16_t virtualKey, uint16_t scanCode, uint32_t state = 0) {
    return {virtualKey, scanCode, 0, ENHANCED_KEY | state};
}

constexpr PcKey functionKey(int n) {
    return {static_cast<uint16_t>(vk::F1 + n - 1), static_cast<uint16_t>(n <= 10 ? 58 + n : 76 + n), 0, 0};
}

constexpr PcKey keypadDigit(int n) {
    constexpr std::array<uint16_t, 10> scanCodes{82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    return {static_cast<uint16_t>(vk::Numpad0 + n), scanCodes[n], static_cast<uint8_t>('0' + n), 0};
}

enum class Introducer { Csi, Ss3, Either, LinuxConsole };

// One escape sequence: ESC [ (CSI) or ESC O (SS3), parameters, and the final byte. The "~" forms
// tell their keys apart by the first parameter.
struct SequenceKey {
    Introducer introducer;
    char final;
    int number;
    PcKey key;
};

constexpr auto kSequenceKeys = std::to_array<SequenceKey>({
    {Introducer::Either, 'A', 0, cursorKey(vk::Up, 72)},
    {Introducer::Either, 'B', 0, cursorKey(vk::Down, 80)},
    {Introducer::Either, 'C', 0, cursorKey(vk::Right, 77)},
    {Introducer::Either, 'D', 0, cursorKey(vk::Left, 75)},
    {Introducer::Either, 'H', 0, cursorKey(vk::Home, 71)},
    {Introducer::Either, 'F', 0, cursorKey(vk::End, 79)},
    {Introducer::Either, 'E', 0, {kClearKey, 76, 0, 0}},
    {Introducer::Either, 'P', 0, functionKey(1)},
    {Introducer::Either, 'Q', 0, functionKey(2)},
    {Introducer::Either, 'R', 0, functionKey(3)},
    {Introducer::Either, 'S', 0, functionKey(4)},
    {Introducer::Csi, 'Z', 0, {vk::Tab, 15, '\t', SHIFT_PRESSED}},
    // rxvt: Shift+arrows as CSI a to d, Ctrl+arrows as SS3 a to d.
    {Introducer::Csi, 'a', 0, cursorKey(vk::Up, 72, SHIFT_PRESSED)},
    {Introducer::Csi, 'b', 0, cursorKey(vk::Down, 80, SHIFT_PRESSED)},
    {Introducer::Csi, 'c', 0, cursorKey(vk::Right, 77, SHIFT_PRESSED)},
    {Introducer::Csi, 'd', 0, cursorKey(vk::Left, 75, SHIFT_PRESSED)},
    {Introducer::Ss3, 'a', 0, cursorKey(vk::Up, 72, LEFT_CTRL_PRESSED)},
    {Introducer::Ss3, 'b', 0, cursorKey(vk::Down, 80, LEFT_CTRL_PRESSED)},
    {Introducer::Ss3, 'c', 0, cursorKey(vk::Right, 77, LEFT_CTRL_PRESSED)},
    {Introducer::Ss3, 'd', 0, cursorKey(vk::Left, 75, LEFT_CTRL_PRESSED)},
    {Introducer::Csi, '~', 1, cursorKey(vk::Home, 71)},
    {Introducer::Csi, '~', 2, cursorKey(vk::Insert, 82)},
    {Introducer::Csi, '~', 3, cursorKey(vk::Delete, 83)},
    {Introducer::Csi, '~', 4, cursorKey(vk::End, 79)},
    {Introducer::Csi, '~', 5, cursorKey(vk::PageUp, 73)},
    {Introducer::Csi, '~', 6, cursorKey(vk::PageDown, 81)},
    {Introducer::Csi, '~', 7, cursorKey(vk::Home, 71)},
    {Introducer::Csi, '~', 8, cursorKey(vk::End, 79)},
    {Introducer::Csi, '~', 11, functionKey(1)},
    {Introducer::Csi, '~', 12, functionKey(2)},
    {Introducer::Csi, '~', 13, functionKey(3)},
    {Introducer::Csi, '~', 14, functionKey(4)},
    {Introducer::Csi, '~', 15, functionKey(5)},
    {Introducer::Csi, '~', 17, functionKey(6)},
    {Introducer::Csi, '~', 18, functionKey(7)},
    {Introducer::Csi, '~', 19, functionKey(8)},
    {Introducer::Csi, '~', 20, functionKey(9)},
    {Introducer::Csi, '~', 21, functionKey(10)},
    {Introducer::Csi, '~', 23, functionKey(11)},
    {Introducer::Csi, '~', 24, functionKey(12)},
    // The Linux console's F1 to F5: ESC [ [ A to E.
    {Introducer::LinuxConsole, 'A', 0, functionKey(1)},
    {Introducer::LinuxConsole, 'B', 0, functionKey(2)},
    {Introducer::LinuxConsole, 'C', 0, functionKey(3)},
    {Introducer::LinuxConsole, 'D', 0, functionKey(4)},
    {Introducer::LinuxConsole, 'E', 0, functionKey(5)},
    // The keypad in application mode, which a program before us may have left on.
    {Introducer::Ss3, 'M', 0, {vk::Return, 28, '\r', ENHANCED_KEY}},
    {Introducer::Ss3, 'j', 0, {vk::Multiply, 55, '*', 0}},
    {Introducer::Ss3, 'k', 0, {vk::Add, 78, '+', 0}},
    {Introducer::Ss3, 'm', 0, {vk::Subtract, 74, '-', 0}},
    {Introducer::Ss3, 'n', 0, {vk::Decimal, 83, '.', 0}},
    {Introducer::Ss3, 'o', 0, {vk::Divide, 53, '/', ENHANCED_KEY}},
    {Introducer::Ss3, 'p', 0, keypadDigit(0)},
    {Introducer::Ss3, 'q', 0, keypadDigit(1)},
    {Introducer::Ss3, 'r', 0, keypadDigit(2)},
    {Introducer::Ss3, 's', 0, keypadDigit(3)},
    {Introducer::Ss3, 't', 0, keypadDigit(4)},
    {Introducer::Ss3, 'u', 0, keypadDigit(5)},
    {Introducer::Ss3, 'v', 0, keypadDigit(6)},
    {Introducer::Ss3, 'w', 0, keypadDigit(7)},
    {Introducer::Ss3, 'x', 0, keypadDigit(8)},
    {Introducer::Ss3, 'y', 0, keypadDigit(9)},
});

// The final bytes of the numbered forms: "~", and rxvt's "$" (Shift), "^" (Ctrl), "@" (both).
struct NumberedFinal {
    char final;
    uint32_t state;
};
constexpr std::array<NumberedFinal, 4> kNumberedFinals{
    {{'~', 0}, {'$', SHIFT_PRESSED}, {'^', LEFT_CTRL_PRESSED}, {'@', LEFT_CTRL_PRESSED | SHIFT_PRESSED}}};

// The xterm modifier parameter is 1 plus a set of these bits (Meta counts as Alt).
constexpr int kLargestModifier = 16;
constexpr std::array<std::pair<int, uint32_t>, 4> kModifierBits{
    {{1, SHIFT_PRESSED}, {2, LEFT_ALT_PRESSED}, {4, LEFT_CTRL_PRESSED}, {8, LEFT_ALT_PRESSED}}};

// The leading bytes of UTF-8, with the range the second byte must lie in; the ranges leave out
// overlong forms, surrogates and code points above U+10FFFF.
struct Utf8Form {
    uint8_t firstLead, lastLead;
    size_t length;
    uint8_t secondLow, secondHigh;
};
constexpr std::array<Utf8Form, 8> kUtf8Forms{{
    {0xC2, 0xDF, 2, 0x80, 0xBF},
    {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F},
    {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF},
    {0xF4, 0xF4, 4, 0x80, 0x8F},
}};

enum class Outcome { Key, Nothing, Incomplete };

struct Decoded {
    Outcome outcome = Outcome::Nothing;
    size_t length = 0;  // the bytes taken
    KeyEvent key;
};

constexpr Decoded kIncomplete{Outcome::Incomplete, 0, {}};

Decoded keyOf(const PcKey& key, size_t length) {
    KeyEvent event;
    event.virtualKey = key.virtualKey;
    event.scanCode = key.scanCode;
    event.character = key.character;
    event.controlState = key.controlState;
    return {Outcome::Key, length, event};
}

Decoded nothing(size_t length) { return {Outcome::Nothing, length, {}}; }

// A byte below 128 as the key that types it. DEL is the Backspace of most terminals. The other
// control bytes are Ctrl with the key of the character 64 above, letters lower-case.
PcKey keyForByte(uint8_t byte) {
    const uint8_t ch = byte == 0x7F ? '\b' : byte;
    const KeyPosition own = keyForCharacter(ch);
    if (own.virtualKey != 0) return {own.virtualKey, own.scanCode, ch, own.shifted ? SHIFT_PRESSED : 0u};
    const KeyPosition key = keyForCharacter(ch >= 1 && ch <= 26 ? ch + 0x60 : ch + 0x40);
    return {key.virtualKey, key.scanCode, ch, LEFT_CTRL_PRESSED | (key.shifted ? SHIFT_PRESSED : 0u)};
}

PcKey unreadableKey() { return keyForByte('?'); }

// A typed character as the code page byte that shows it; '?' where there is none, and where the
// byte would be a control byte, so that a pasted arrow never acts as Esc or Enter.
PcKey glyphKey(char32_t codePoint) {
    const int byte = unicodeToCp437(codePoint);
    if (byte < 0x20 || byte == 0x7F) return unreadableKey();
    return {0, 0, static_cast<uint8_t>(byte), 0};
}

// One unreadable stretch of bytes is one '?'.
Decoded decodeUtf8(std::string_view s, bool flush) {
    const auto lead = static_cast<uint8_t>(s[0]);
    const auto form = std::ranges::find_if(
        kUtf8Forms, [lead](const Utf8Form& f) { return lead >= f.firstLead && lead <= f.lastLead; });
    if (form == kUtf8Forms.end()) return keyOf(unreadableKey(), 1);
    char32_t codePoint = lead & (0x7F >> form->length);
    for (size_t i = 1; i < form->length; ++i) {
        if (i == s.size()) return flush ? keyOf(unreadableKey(), i) : kIncomplete;
        const auto next = static_cast<uint8_t>(s[i]);
        const uint8_t low = i == 1 ? form->secondLow : 0x80;
        const uint8_t high = i == 1 ? form->secondHigh : 0xBF;
        if (next < low || next > high) return keyOf(unreadableKey(), i);
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return keyOf(glyphKey(codePoint), form->length);
}

struct Parameters {
    bool valid = false;
    int first = 0;     // 0 when absent
    int modifier = 0;  // 0 or 1 when no modifier is held
};

// "3;5" is 3 and 5. Private markers and a third field make a sequence that is no key.
Parameters parseParameters(std::string_view text) {
    std::array<int, 2> fields{0, 0};
    size_t field = 0;
    for (const char c : text) {
        if (c == ';' && ++field < fields.size()) continue;
        if (c < '0' || c > '9' || field >= fields.size()) return {};
        fields[field] = std::min(fields[field] * 10 + (c - '0'), 9999);
    }
    return {true, fields[0], fields[1]};
}

uint32_t modifierState(int modifier) {
    uint32_t state = 0;
    for (const auto& [bit, flag] : kModifierBits) {
        if ((std::max(modifier - 1, 0) & bit) != 0) state |= flag;
    }
    return state;
}

bool introducerMatches(Introducer entry, Introducer introducer) {
    return entry == introducer || (entry == Introducer::Either && introducer != Introducer::LinuxConsole);
}

Decoded sequenceKey(Introducer introducer, std::string_view parameters, char final, size_t length) {
    const Parameters p = parseParameters(parameters);
    const auto numbered = std::ranges::find(kNumberedFinals, final, &NumberedFinal::final);
    const bool isNumbered = numbered != kNumberedFinals.end();
    // A lettered key takes no first parameter but 1; anything else (a cursor report) is no key.
    if (!p.valid || p.modifier > kLargestModifier || (!isNumbered && p.first > 1)) return nothing(length);
    const char tableFinal = isNumbered ? '~' : final;
    const int number = isNumbered ? p.first : 0;
    const auto entry = std::ranges::find_if(kSequenceKeys, [&](const SequenceKey& k) {
        return k.final == tableFinal && k.number == number && introducerMatches(k.introducer, introducer);
    });
    if (entry == kSequenceKeys.end()) return nothing(length);
    PcKey key = entry->key;
    key.controlState |= modifierState(p.modifier) | (isNumbered ? numbered->state : 0u);
    return keyOf(key, length);
}

bool isParameterByte(char c) { return c >= 0x30 && c <= 0x3F; }
bool isFinalByte(char c) { return c >= 0x20 && c <= 0x7E; }

// s starts with ESC [ or ESC O. A byte that cannot be part of the sequence cuts it off and then
// counts on its own.
Decoded decodeSequence(std::string_view s, bool flush) {
    if (s.size() == 2) {
        if (!flush) return kIncomplete;
        PcKey altKey = keyForByte(s[1]);  // Alt+[ or Alt+O, typed alone
        altKey.controlState |= LEFT_ALT_PRESSED;
        return keyOf(altKey, 2);
    }
    const Introducer introducer = s[1] == '[' ? Introducer::Csi : Introducer::Ss3;
    if (introducer == Introducer::Csi && s[2] == '[') {
        if (s.size() == 3) return flush ? nothing(3) : kIncomplete;
        if (!isFinalByte(s[3])) return nothing(3);
        return sequenceKey(Introducer::LinuxConsole, {}, s[3], 4);
    }
    // The cut-off point depends on the bytes alone, never on how the reads split them.
    size_t end = 2;
    while (end < s.size() && end + 1 < kLongestSequence && isParameterByte(s[end])) ++end;
    if (end == s.size()) return flush ? nothing(end) : kIncomplete;
    if (!isFinalByte(s[end])) return nothing(end);
    return sequenceKey(introducer, s.substr(2, end - 2), s[end], end + 1);
}

// The key at the start of s. ESC before a key that is no sequence of its own is Alt, once.
// NUL is Ctrl+@, which the PC keyboard reports with no character and so gives no key.
Decoded decodeKey(std::string_view s, bool flush, bool altPrefix) {
    const auto lead = static_cast<uint8_t>(s[0]);
    if (lead >= 0x80) return decodeUtf8(s, flush);
    if (lead == 0) return nothing(1);
    if (lead != ESC) return keyOf(keyForByte(lead), 1);
    if (s.size() == 1) return flush ? keyOf(keyForByte(lead), 1) : kIncomplete;
    if (s[1] == '[' || s[1] == 'O') return decodeSequence(s, flush);
    if (!altPrefix) return keyOf(keyForByte(lead), 1);
    Decoded inner = decodeKey(s.substr(1), flush, false);
    if (inner.outcome == Outcome::Incomplete) return inner;
    inner.length += 1;
    inner.key.controlState |= LEFT_ALT_PRESSED;
    return inner;
}

// Keypad 5 has no code for Shift held alone on a PC keyboard, so that press is no key.
bool isShiftedClear(const KeyEvent& key) {
    constexpr uint32_t kOtherModifiers = LEFT_ALT_PRESSED | LEFT_CTRL_PRESSED;
    return key.virtualKey == kClearKey && (key.controlState & SHIFT_PRESSED) != 0 &&
           (key.controlState & kOtherModifiers) == 0;
}

void decodePending(TerminalDecoder& decoder, bool flush, std::vector<KeyEvent>& keys) {
    const std::string_view bytes = decoder.pending;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const Decoded decoded = decodeKey(bytes.substr(pos), flush, true);
        if (decoded.outcome == Outcome::Incomplete) break;
        if (decoded.outcome == Outcome::Key && !isShiftedClear(decoded.key)) keys.push_back(decoded.key);
        pos += decoded.length;
    }
    decoder.pending.erase(0, pos);
}

}  // namespace

void decodeTerminalInput(TerminalDecoder& decoder, std::string_view bytes, std::vector<KeyEvent>& keys) {
    decoder.pending.append(bytes);
    decodePending(decoder, false, keys);
}

void flushTerminalInput(TerminalDecoder& decoder, std::vector<KeyEvent>& keys) { decodePending(decoder, true, keys); }

}  // namespace platform
