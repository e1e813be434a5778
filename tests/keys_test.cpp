#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "console/console_state.h"
#include "console/keys.h"
#include "platform/keyboard_layout.h"
#include "platform/memory_console.h"
#include "platform/platform.h"

namespace {

using platform::KeyEvent;
namespace vk = platform::vk;

constexpr uint32_t ALT = platform::LEFT_ALT_PRESSED;
constexpr uint32_t CTRL = platform::LEFT_CTRL_PRESSED;
constexpr uint32_t SHIFT = platform::SHIFT_PRESSED;
constexpr uint32_t ENHANCED = platform::ENHANCED_KEY;

KeyEvent down(uint16_t virtualKey, uint16_t scanCode, uint8_t ch, uint32_t state = 0, uint16_t repeat = 1) {
    return {true, repeat, virtualKey, scanCode, ch, state};
}

KeyEvent up(uint16_t virtualKey, uint16_t scanCode, uint8_t ch, uint32_t state = 0) {
    return {false, 1, virtualKey, scanCode, ch, state};
}

// Alt held while digits are typed on the keypad (Num Lock on), then Alt let go.
std::vector<KeyEvent> altKeypad(const std::vector<int>& digits) {
    constexpr uint16_t keypadScanCodes[10] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    std::vector<KeyEvent> events{down(vk::Alt, 56, 0, ALT)};
    for (int digit : digits) {
        const auto key = static_cast<uint16_t>(vk::Numpad0 + digit);
        events.push_back(down(key, keypadScanCodes[digit], 0, ALT));
        events.push_back(up(key, keypadScanCodes[digit], 0, ALT));
    }
    events.push_back(up(vk::Alt, 56, 0));
    return events;
}

Text ext(uint8_t code) { return Text{'\xFF', static_cast<char>(code)}; }

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetConsoleState();
        platform::setPlatform(&console);
    }

    // Every key text pollKey hands out until it has none.
    std::vector<Text> drainKeys() {
        std::vector<Text> texts;
        for (Text text = pollKey(); !text.empty(); text = pollKey()) texts.push_back(text);
        return texts;
    }

    platform::MemoryConsole console{80, 25, 25};
};

TEST_F(KeysTest, KeyEventsGiveTheirKeyTexts) {
    struct Case {
        const char* name;
        std::vector<KeyEvent> events;
        std::vector<Text> texts;
    };
    const Case cases[] = {
        {"plain character, key-up adds nothing", {down('A', 30, 'a'), up('A', 30, 'a')}, {"a"}},
        {"shifted character", {down('A', 30, 'A', SHIFT)}, {"A"}},
        {"modifiers alone",
         {down(vk::Shift, 42, 0, SHIFT), down(vk::Control, 29, 0, CTRL), down(vk::Alt, 56, 0, ALT),
          down(vk::Control, 29, 0, platform::RIGHT_CTRL_PRESSED | ENHANCED),
          down(vk::Alt, 56, 0, platform::RIGHT_ALT_PRESSED | ENHANCED), up(vk::Alt, 56, 0)},
         {}},
        {"Up, enhanced", {down(vk::Up, 72, 0, ENHANCED)}, {ext(72)}},
        {"Ctrl+Up, enhanced", {down(vk::Up, 72, 0, ENHANCED | CTRL)}, {ext(141)}},
        {"keypad 8 with Num Lock off", {down(vk::Up, 72, 0)}, {ext(72)}},
        {"Ctrl+keypad 8 with Num Lock off", {down(vk::Up, 72, 0, CTRL)}, {ext(141)}},
        {"keypad 8 with Num Lock on types its digit", {down(vk::Numpad0 + 8, 72, '8')}, {"8"}},
        {"Delete, enhanced, with Alt", {down(vk::Delete, 83, 0, ENHANCED | ALT)}, {ext(163)}},
        {"keypad Enter carrying its character", {down(vk::Return, 28, 13, ENHANCED)}, {"\r"}},
        {"Ctrl+keypad Enter without a character", {down(vk::Return, 28, 0, ENHANCED | CTRL)}, {"\n"}},
        {"Ctrl+keypad /", {down(vk::Divide, 53, 0, ENHANCED | CTRL)}, {ext(149)}},
        {"F1 with each modifier",
         {down(vk::F1, 59, 0), down(vk::F1, 59, 0, SHIFT), down(vk::F1, 59, 0, CTRL), down(vk::F1, 59, 0, ALT)},
         {ext(59), ext(84), ext(94), ext(104)}},
        {"Alt wins over Ctrl and Shift", {down(vk::F1, 59, 0, ALT | CTRL | SHIFT)}, {ext(104)}},
        {"F12", {down(vk::F1 + 11, 88, 0)}, {ext(134)}},
        {"Alt+X carrying x", {down('X', 45, 'x', ALT)}, {ext(45)}},
        {"Alt+Shift+X carrying X", {down('X', 45, 'X', ALT | SHIFT)}, {ext(45)}},
        {"Alt with a character not the key's own", {down('X', 45, '#', ALT)}, {"#"}},
        {"Ctrl+A", {down('A', 30, 1, CTRL)}, {"\x01"}},
        {"Shift+Tab", {down(vk::Tab, 15, 9, SHIFT)}, {ext(15)}},
        {"Alt+Backspace", {down(vk::Back, 14, 8, ALT)}, {ext(224)}},
        {"scan code past the table", {down(0, 100, 'q'), down(0, 100, 0)}, {"q"}},
        {"repeat count 0", {down('A', 30, 'a', 0, 0)}, {}},
        {"repeat count 5", {down('A', 30, 'a', 0, 5)}, {"a"}},
        {"Alt-keypad 6,5", altKeypad({6, 5}), {"A"}},
        {"Alt-keypad 2,5,6 wraps to byte 0", altKeypad({2, 5, 6}), {Text(1, '\0')}},
        {"Alt-keypad 2,5,5 is a character, not an extended key", altKeypad({2, 5, 5}), {"\xFF"}},
        {"Alt-keypad 0 alone", altKeypad({0}), {}},
        {"a key between the digits drops the number",
         {down(vk::Alt, 56, 0, ALT), down(vk::Numpad0 + 6, 77, 0, ALT), down('X', 45, 'x', ALT),
          down(vk::Numpad0 + 5, 76, 0, ALT), up(vk::Alt, 56, 0)},
         {ext(45), "\x05"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetConsoleState();
        for (const KeyEvent& event : c.events) console.typeKey(event);
        EXPECT_EQ(drainKeys(), c.texts);
    }
}

TEST_F(KeysTest, AvailabilityTakesNothingAndOtherRecordsAreDropped) {
    EXPECT_EQ(keyAvailable(), 0);
    EXPECT_EQ(pollKey(), "");
    console.pendingInput.push_back({platform::InputKind::Mouse, {}});
    console.typeText("a");
    console.pendingInput.push_back({platform::InputKind::Focus, down('B', 48, 'b')});
    EXPECT_EQ(keyAvailable(), 1);
    EXPECT_EQ(keyAvailable(), 1);
    EXPECT_TRUE(console.pendingInput.empty());
    EXPECT_EQ(pollKey(), "a");
    EXPECT_EQ(keyAvailable(), 0);
}

TEST_F(KeysTest, FullRingKeepsTheNewestKeysOldestFirst) {
    constexpr int typed = 600;
    auto character = [](int i) { return static_cast<char>(1 + i % 250); };
    for (int i = 0; i < typed; ++i) console.typeKey(down(0, 0, static_cast<uint8_t>(character(i))));
    std::vector<Text> expected;
    for (int i = typed - (KEY_BUFFER_SLOTS - 1); i < typed; ++i) expected.emplace_back(1, character(i));
    EXPECT_EQ(drainKeys(), expected);
}

TEST_F(KeysTest, CloseRequestsBecomeAltF4AndOtherControlEventsAreDeclined) {
    EXPECT_FALSE(console.raiseControlEvent(platform::CTRL_CLOSE_EVENT)) << "installed before the first poll";
    EXPECT_EQ(pollKey(), "");
    struct Case {
        uint32_t type;
        bool handled;
    };
    const Case cases[] = {
        {platform::CTRL_CLOSE_EVENT, true},
        {platform::CTRL_LOGOFF_EVENT, true},
        {platform::CTRL_SHUTDOWN_EVENT, true},
        {platform::CTRL_C_EVENT, false},
        {platform::CTRL_BREAK_EVENT, false},
        {3, false},
        {7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(console.raiseControlEvent(c.type), c.handled);
        EXPECT_EQ(pollKey(), c.handled ? ext(107) : "");
    }
}

// The ring never fills here, so every key must come out exactly once, typed keys in order.
TEST_F(KeysTest, CloseKeysFromAnotherThreadMixWithTypedKeys) {
    constexpr int closes = 300;
    constexpr size_t typedCount = 200;
    pollKey();
    std::atomic<bool> closerDone{false};
    std::thread closer([&] {
        for (int i = 0; i < closes; ++i) console.raiseControlEvent(platform::CTRL_CLOSE_EVENT);
        closerDone = true;
    });
    std::string typed;
    std::string taken;
    int closeKeys = 0;
    for (;;) {
        const bool finished = closerDone;
        if (typed.size() < typedCount) {
            typed += static_cast<char>('a' + typed.size() % 26);
            console.typeText(typed.substr(typed.size() - 1));
        }
        const Text text = pollKey();
        if (text == ext(107)) {
            ++closeKeys;
        } else if (text.size() == 1) {
            taken += text;
        } else if (!text.empty()) {
            ADD_FAILURE() << "unexpected key text of " << text.size() << " bytes";
        }
        if (text.empty() && finished && typed.size() == typedCount) break;
    }
    closer.join();
    EXPECT_EQ(closeKeys, closes);
    EXPECT_EQ(taken, typed);
}

// The control thread appends while the quiz's thread polls. Paced so the ring never fills, every
// key comes out once and in order; unpaced, the ring laps many times and still ends holding the
// newest keys. Run under ThreadSanitizer, this is the check that the hand-over is race-free.
TEST_F(KeysTest, RingHandOverBetweenThreadsUnderLoad) {
    constexpr int appends = 100000;
    auto code = [](int i) { return static_cast<KeyCode>(i % 256); };

    std::atomic<int> taken{0};
    std::thread paced([&] {
        for (int i = 0; i < appends; ++i) {
            while (i - taken.load() >= KEY_BUFFER_SLOTS - 1) std::this_thread::yield();
            appendKey(code(i));
        }
    });
    for (int i = 0; i < appends;) {
        const Text text = pollKey();
        if (text.empty()) continue;
        ASSERT_EQ(text, Text(1, static_cast<char>(code(i)))) << "key " << i;
        taken = ++i;
    }
    paced.join();

    std::atomic<bool> unpacedDone{false};
    std::thread unpaced([&] {
        for (int i = 0; i < appends; ++i) appendKey(code(i));
        unpacedDone = true;
    });
    while (!unpacedDone) pollKey();
    unpaced.join();
    const std::vector<Text> rest = drainKeys();
    ASSERT_FALSE(rest.empty());
    EXPECT_LE(rest.size(), static_cast<size_t>(KEY_BUFFER_SLOTS - 1));
    EXPECT_EQ(rest.back(), Text(1, static_cast<char>(code(appends - 1))));
}

TEST_F(KeysTest, InputThatIsNotAConsoleGivesNoKeys) {
    console.typeText("a");
    EXPECT_EQ(keyAvailable(), 1);
    console.failInputReads = true;
    console.typeText("b");
    EXPECT_EQ(pollKey(), "a") << "keys already buffered stay";
    EXPECT_EQ(pollKey(), "");

    resetConsoleState();
    platform::MemoryConsole redirected = platform::MemoryConsole::redirected();
    platform::setPlatform(&redirected);
    redirected.typeText("xy");
    EXPECT_EQ(pollKey(), "");
    EXPECT_EQ(keyAvailable(), 0);
    platform::setPlatform(&console);
}

}  // namespace
