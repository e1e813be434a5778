// Terminal input bytes through the decoder and the keyboard layer to the key texts the quiz sees;
// and, in a pseudo-terminal, the time-out that tells a lone Esc from the start of a sequence.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "console/console_state.h"
#include "console/keys.h"
#include "platform/keyboard_layout.h"
#include "platform/memory_console.h"
#include "platform/posix_platform.h"
#include "platform/terminal_decoder.h"

namespace {

using platform::KeyEvent;
using platform::TerminalDecoder;
using Texts = std::vector<std::string>;

std::string ext(int code) { return std::string{'\xFF', static_cast<char>(code)}; }

class TerminalDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetConsoleState();
        platform::setPlatform(&console);
    }

    // Each key-down and its key-up through the keyboard layer, as the terminal keyboard queues them.
    Texts keyTexts(const std::vector<KeyEvent>& keys) {
        for (KeyEvent key : keys) {
            console.typeKey(key);
            key.keyDown = false;
            console.typeKey(key);
        }
        Texts texts;
        for (Text text = pollKey(); !text.empty(); text = pollKey()) texts.emplace_back(text.begin(), text.end());
        return texts;
    }

    Texts decode(const std::string& bytes) {
        std::vector<KeyEvent> keys;
        platform::decodeTerminalInput(decoder, bytes, keys);
        return keyTexts(keys);
    }

    Texts timeOut() {
        std::vector<KeyEvent> keys;
        platform::flushTerminalInput(decoder, keys);
        return keyTexts(keys);
    }

    platform::MemoryConsole console{80, 25, 25};
    TerminalDecoder decoder;
};

struct CompleteCase {
    std::string bytes;
    Texts texts;
};

// Input that is whole: its keys come at once, nothing is left waiting.
const std::vector<CompleteCase> kCompleteInput = {
    // Cursor keys in their CSI and SS3 forms, the numbered forms and the xterm modifiers.
    {"\x1b[A", {ext(72)}},
    {"\x1bOA", {ext(72)}},
    {"\x1b[1;5A", {ext(141)}},
    {"\x1b[1;2A", {ext(72)}},
    {"\x1b[1;3A", {ext(152)}},
    {"\x1bOa", {ext(141)}},
    {"\x1b[B\x1b[C\x1b[D", {ext(80), ext(77), ext(75)}},
    {"\x1b[H", {ext(71)}},
    {"\x1bOH", {ext(71)}},
    {"\x1b[1~", {ext(71)}},
    {"\x1b[7~", {ext(71)}},
    {"\x1b[F", {ext(79)}},
    {"\x1b[4~", {ext(79)}},
    {"\x1b[1;5H", {ext(119)}},
    {"\x1b[2~", {ext(82)}},
    {"\x1b[3~", {ext(83)}},
    {"\x1b[3;5~", {ext(147)}},
    {"\x1b[3^", {ext(147)}},
    {"\x1b[5~", {ext(73)}},
    {"\x1b[6;5~", {ext(118)}},
    {"\x1b[E", {ext(76)}},
    // Function keys: SS3, CSI with modifiers, the numbered forms and the Linux console's.
    {"\x1bOP", {ext(59)}},
    {"\x1b[11~", {ext(59)}},
    {"\x1b[[A", {ext(59)}},
    {"\x1b[1;2P", {ext(84)}},
    {"\x1b[1;5P", {ext(94)}},
    {"\x1b[1;3P", {ext(104)}},
    {"\x1b[1;7P", {ext(104)}},
    {"\x1bOS", {ext(62)}},
    {"\x1b[[E", {ext(63)}},
    {"\x1b[15~", {ext(63)}},
    {"\x1b[17~", {ext(64)}},
    {"\x1b[21~", {ext(68)}},
    {"\x1b[23~", {ext(133)}},
    {"\x1b[24~", {ext(134)}},
    {"\x1b[24;2~", {ext(136)}},
    {"\x1b[24;5~", {ext(138)}},
    {"\x1b[Z", {ext(15)}},
    // Characters, control bytes, Alt as an ESC prefix.
    {"aB1 ?~", {"a", "B", "1", " ", "?", "~"}},
    {"\x01", {"\x01"}},
    {"\x1a", {"\x1a"}},
    {"\r", {"\r"}},
    {"\n", {"\n"}},
    {"\t", {"\t"}},
    {"\x7f", {"\b"}},
    {"\b", {"\b"}},
    {"\x1bx", {ext(45)}},
    {"\x1bX", {ext(45)}},
    {"\x1b"
     "1",
     {ext(120)}},
    {"\x1b\r", {ext(28)}},
    {"\x1b\x7f", {ext(224)}},
    {"\x1b\x1b[A", {ext(152)}},
    {"\x1b\x1b"
     "x",
     {ext(1), "x"}},
    // The application keypad.
    {"\x1bOp\x1bOy\x1bOM", {"0", "9", "\r"}},
    // UTF-8: the code page byte, or '?' where there is none or it would be a control byte.
    {"\xc3\xa9", {"\x82"}},
    {"\xc3\xb1\xc3\x91", {"\xa4", "\xa5"}},
    {"\xe2\x96\x88", {"\xdb"}},
    {"\xc2\xa0", {"\xff"}},
    {"\x1b\xc3\xa9", {"\x82"}},
    {"\xe2\x86\x90", {"?"}},
    {"\xe2\x98\xba", {"?"}},
    {"\xe2\x8c\x82", {"?"}},
    {"\xe2\x82\xac", {"?"}},
    {"\xf0\x9f\x98\x80", {"?"}},
    // Invalid UTF-8: each unreadable stretch is one '?', the byte that cut it off counts on its own.
    {"\x80", {"?"}},
    {"\xff", {"?"}},
    {"\xc3(", {"?", "("}},
    {"\xc0\xaf", {"?", "?"}},
    {"\xe0\x80\x80", {"?", "?", "?"}},
    {"\xed\xa0\x80", {"?", "?", "?"}},
    {"\xf4\x90\x80\x80", {"?", "?", "?", "?"}},
    {"\xe2\x96"
     "a",
     {"?", "a"}},
    // Sequences that are no key give nothing; a control byte cuts a sequence off.
    {"\x1b[24;80R", {}},
    {"\x1b[99~", {}},
    {"\x1b[?1;2c", {}},
    {"\x1b[1;5;7A", {}},
    {"\x1b[1;99A", {}},
    {"\x1b[200~", {}},
    {"\x1bOz", {}},
    {"\x1b[[Z", {}},
    {"\x1b[1;\x01", {"\x01"}},
    {"\x1b[A"
     "x\x1b[3~y",
     {ext(72), "x", ext(83), "y"}},
};

TEST_F(TerminalDecoderTest, WholeInputGivesItsKeysAtOnce) {
    for (const CompleteCase& c : kCompleteInput) {
        resetConsoleState();
        EXPECT_EQ(decode(c.bytes), c.texts) << testing::PrintToString(c.bytes);
        EXPECT_EQ(decoder.pending, "") << testing::PrintToString(c.bytes);
    }
}

struct WaitingCase {
    Texts chunks;      // bytes as separate reads
    Texts atOnce;      // the keys before the time-out
    Texts afterPause;  // the keys the time-out releases
};

const std::vector<WaitingCase> kWaitingInput = {
    {{"\x1b"}, {}, {"\x1b"}},
    {{"a\x1b"}, {"a"}, {"\x1b"}},
    {{"\x1b", "[", "1;5", "A"}, {ext(141)}, {}},
    {{"\x1b", "O", "P"}, {ext(59)}, {}},
    {{"\x1b[", "[", "B"}, {ext(60)}, {}},
    {{"\x1b", "x"}, {ext(45)}, {}},
    {{"\xc3", "\xa9"}, {"\x82"}, {}},
    {{"\xf0\x9f", "\x98", "\x80"}, {"?"}, {}},
    {{"\x1b\x1b"}, {}, {ext(1)}},
    {{"\x1b["}, {}, {ext(26)}},
    {{"\x1bO"}, {}, {ext(24)}},
    {{"\x1b[1;5"}, {}, {}},
    {{"\x1b[["}, {}, {}},
    {{"\xe2\x86"}, {}, {"?"}},
    {{"x\x1b[3", "~\x1b"}, {"x", ext(83)}, {"\x1b"}},
};

TEST_F(TerminalDecoderTest, CutOffInputWaitsForTheRestOrTheTimeOut) {
    for (const WaitingCase& c : kWaitingInput) {
        resetConsoleState();
        Texts atOnce;
        for (const std::string& chunk : c.chunks) {
            const Texts keys = decode(chunk);
            atOnce.insert(atOnce.end(), keys.begin(), keys.end());
        }
        const std::string label = testing::PrintToString(c.chunks);
        EXPECT_EQ(atOnce, c.atOnce) << label;
        EXPECT_EQ(timeOut(), c.afterPause) << label;
        EXPECT_EQ(decoder.pending, "") << label;
    }
}

// Whatever arrives, every byte is taken in the end and little is ever held back.
TEST_F(TerminalDecoderTest, FloodsOfAnyBytesEndInKeysOrNothing) {
    std::mt19937 random(7);
    std::string noise(200000, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    std::string sequences;
    while (sequences.size() < 100000) sequences += "\x1b[1;5A\x1b\x1b[" + std::string(random() % 20, ';');
    const std::vector<std::string> floods = {noise, sequences, std::string(100000, '\x1b'),
                                             "\x1b[" + std::string(100000, '1')};
    for (const std::string& flood : floods) {
        std::vector<KeyEvent> keys;
        for (size_t pos = 0; pos < flood.size(); pos += 4096) {
            platform::decodeTerminalInput(decoder, std::string_view(flood).substr(pos, 4096), keys);
            EXPECT_LE(decoder.pending.size(), 32u);
        }
        platform::flushTerminalInput(decoder, keys);
        EXPECT_EQ(decoder.pending, "");
        EXPECT_LE(keys.size(), flood.size());
    }
    std::vector<KeyEvent> escapes;
    platform::decodeTerminalInput(decoder, std::string(100000, '\x1b'), escapes);
    platform::flushTerminalInput(decoder, escapes);
    EXPECT_EQ(escapes.size(), 50000u);  // ESC ESC is Alt+Esc
}

// The decoded events are those of a PC keyboard, so that the keyboard layer's translation holds.
TEST_F(TerminalDecoderTest, EventsCarryThePcKeyboardFields) {
    struct Expected {
        std::string bytes;
        uint16_t virtualKey;
        uint16_t scanCode;
        uint8_t character;
        uint32_t controlState;
    };
    const std::vector<Expected> cases = {
        {"\x1b[A", platform::vk::Up, 72, 0, platform::ENHANCED_KEY},
        {"\x1b[3;5~", platform::vk::Delete, 83, 0, platform::ENHANCED_KEY | platform::LEFT_CTRL_PRESSED},
        {"\x1bOP", platform::vk::F1, 59, 0, 0},
        {"\x1b[24~", platform::vk::F1 + 11, 88, 0, 0},
        {"\x1b[Z", platform::vk::Tab, 15, 9, platform::SHIFT_PRESSED},
        {"\x1bx", 'X', 45, 'x', platform::LEFT_ALT_PRESSED},
        {"A", 'A', 30, 'A', platform::SHIFT_PRESSED},
        {"\x01", 'A', 30, 1, platform::LEFT_CTRL_PRESSED},
        {"\x7f", platform::vk::Back, 14, 8, 0},
        {"\r", platform::vk::Return, 28, 13, 0},
        {"\xc3\xa9", 0, 0, 0x82, 0},
    };
    for (const Expected& c : cases) {
        std::vector<KeyEvent> keys;
        platform::decodeTerminalInput(decoder, c.bytes, keys);
        ASSERT_EQ(keys.size(), 1u) << testing::PrintToString(c.bytes);
        EXPECT_TRUE(keys[0].keyDown);
        EXPECT_EQ(keys[0].repeatCount, 1);
        EXPECT_EQ(keys[0].virtualKey, c.virtualKey) << testing::PrintToString(c.bytes);
        EXPECT_EQ(keys[0].scanCode, c.scanCode) << testing::PrintToString(c.bytes);
        EXPECT_EQ(keys[0].character, c.character) << testing::PrintToString(c.bytes);
        EXPECT_EQ(keys[0].controlState, c.controlState) << testing::PrintToString(c.bytes);
    }
}

// The keyboard layer makes a key of every event; what gives no key on a PC keyboard, NUL (Ctrl+@)
// and Shift alone on keypad 5, gives no event at all.
TEST_F(TerminalDecoderTest, EveryEventIsAKeyOfTheKeyboardLayer) {
    using namespace std::string_literals;
    for (const std::string& bytes :
         {"\0"s, "a\0b"s, "\x1b\0"s, "\x1b[\0"s, "\x1b[1;2E"s, "\x1bO1;2E"s, "\x1b\x1b[1;2E"s}) {
        std::vector<KeyEvent> keys;
        platform::decodeTerminalInput(decoder, bytes, keys);
        platform::flushTerminalInput(decoder, keys);
        for (const KeyEvent& key : keys) EXPECT_NE(lookupKeyCode(key), NO_KEY) << testing::PrintToString(bytes);
    }
    EXPECT_EQ(decode("a\0b"s), (Texts{"a", "b"}));
    EXPECT_EQ(decode("\x1b[1;6E\x1b\x1b[1;2E"), (Texts{ext(143), ext(76)})) << "with Ctrl or Alt, Shift is outranked";
}

// Without a pause, where the reads cut the bytes changes no key; a sequence too long to be a key
// is cut off at the same byte whichever read brought it.
TEST_F(TerminalDecoderTest, ReadsCutAnywhereGiveTheSameKeys) {
    const std::vector<std::string> inputs = {"\x1b[" + std::string(40, '9') + "wx", "\x1b\x1b[1;5A\xf0\x9f\x98\x80",
                                             "\x1b[[A\x1bOP"};
    // The keys of the reads, then those the pause after them releases.
    auto keysOf = [this](const Texts& reads) {
        Texts keys;
        for (const std::string& read : reads) {
            const Texts more = decode(read);
            keys.insert(keys.end(), more.begin(), more.end());
        }
        const Texts rest = timeOut();
        keys.insert(keys.end(), rest.begin(), rest.end());
        return keys;
    };
    for (const std::string& bytes : inputs) {
        const Texts whole = keysOf({bytes});
        for (size_t cut = 1; cut < bytes.size(); ++cut) {
            EXPECT_EQ(keysOf({bytes.substr(0, cut), bytes.substr(cut)}), whole)
                << testing::PrintToString(bytes) << " cut after " << cut;
        }
    }
}

// --- the terminal keyboard in a pseudo-terminal, in a child process of its own ---

// What the child saw, one line per step, sent back through a pipe.
struct PtyChild {
    pid_t pid = -1;
    int master = -1;
    int report = -1;
    termios settings{};  // the terminal's settings before the child changed them
};

void writeLine(int fd, const std::string& line) {
    const std::string text = line + "\n";
    const ssize_t written = ::write(fd, text.data(), text.size());
    (void)written;
}

std::string readLine(int fd) {
    std::string line;
    char c = 0;
    pollfd readable{fd, POLLIN, 0};
    while (poll(&readable, 1, 5000) == 1 && ::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

// The child: the pty as its controlling terminal and standard input, raw mode on, then for each
// key-down its character and how many waits it took.
[[noreturn]] void runKeyboardChild(const char* slaveName, int report, int keys) {
    setsid();
    const int slave = open(slaveName, O_RDWR);
    dup2(slave, STDIN_FILENO);
    platform::PosixPlatform posix;
    posix.setConsoleMode(platform::StdStream::Input, platform::INPUT_PROCESSED);
    termios raw{};
    tcgetattr(STDIN_FILENO, &raw);
    const bool rawAsAsked =
        (raw.c_lflag & (ICANON | ECHO)) == 0 && (raw.c_lflag & ISIG) != 0 && (raw.c_iflag & ICRNL) == 0;
    writeLine(report, rawAsAsked ? "raw" : "not raw");
    for (int i = 0; i < keys; ++i) {
        platform::InputRecord record;
        int waits = 0;
        do {
            for (; posix.readInput(record) != 1; ++waits) posix.waitForInput(2000);
        } while (!record.key.keyDown);
        writeLine(report, std::to_string(record.key.virtualKey) + " " + std::to_string(record.key.character) + " " +
                              std::to_string(waits));
    }
    platform::restoreTerminal();
    _exit(0);
}

PtyChild startKeyboardChild(int keys) {
    PtyChild child;
    child.master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(child.master, 0);
    grantpt(child.master);
    unlockpt(child.master);
    tcgetattr(child.master, &child.settings);
    std::array<char, 64> slaveName{};
    EXPECT_EQ(ptsname_r(child.master, slaveName.data(), slaveName.size()), 0);
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    child.pid = fork();
    if (child.pid == 0) {
        close(ends[0]);
        runKeyboardChild(slaveName.data(), ends[1], keys);
    }
    close(ends[1]);
    child.report = ends[0];
    return child;
}

struct KeySeen {
    int virtualKey = -1;
    int character = -1;
    int waits = -1;
    int64_t ms = -1;  // from sending the bytes to the report
};

KeySeen sendAndRead(const PtyChild& child, const std::string& bytes) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(::write(child.master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    KeySeen key;
    std::istringstream(readLine(child.report)) >> key.virtualKey >> key.character >> key.waits;
    key.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return key;
}

TEST(TerminalKeyboardTest, LoneEscArrivesAfterThePauseAndSplitSequencesStayOneKey) {
    const PtyChild child = startKeyboardChild(4);
    ASSERT_EQ(readLine(child.report), "raw");

    const KeySeen esc = sendAndRead(child, "\x1b");
    EXPECT_EQ(esc.virtualKey, platform::vk::Escape);
    EXPECT_GE(esc.ms, 25);    // held back for the rest of a possible sequence,
    EXPECT_LE(esc.ms, 300);   // then released without another byte,
    EXPECT_LE(esc.waits, 5);  // by a wait that ends at the deadline, not by spinning

    ASSERT_EQ(::write(child.master, "\x1b[", 2), 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(sendAndRead(child, "1;5A").virtualKey, platform::vk::Up);

    const KeySeen enter = sendAndRead(child, "\r");
    EXPECT_EQ(enter.character, 13);
    EXPECT_LE(enter.ms, 100);  // a whole key is not held back

    EXPECT_EQ(sendAndRead(child, "q").character, 'q');

    int status = 0;
    waitpid(child.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    termios after{};
    tcgetattr(child.master, &after);
    EXPECT_EQ(after.c_lflag, child.settings.c_lflag);
    EXPECT_EQ(after.c_iflag, child.settings.c_iflag);
    close(child.master);
    close(child.report);
}

}  // namespace
