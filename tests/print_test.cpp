#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "console/console_state.h"
#include "console/print.h"
#include "platform/memory_console.h"

namespace {

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetConsoleState();
        platform::setPlatform(&console);
    }

    platform::MemoryConsole console = platform::MemoryConsole::redirected();
};

TEST_F(PrintTest, IntegersHaveASignPosition) {
    struct Case {
        int32_t value;
        int32_t flags;
        std::string bytes;
    };
    const Case cases[] = {
        {7, 0, " 7"},
        {0, 0, " 0"},
        {INT_MIN, 0, "-2147483648"},
        {-7, PRINT_NEWLINE, "-7\r\n"},
        {12, PRINT_NEWLINE, " 12\r\n"},
    };
    for (const Case& c : cases) {
        console.output.clear();
        printInteger(0, c.value, c.flags);
        EXPECT_EQ(console.output, c.bytes) << c.value;
    }
}

TEST_F(PrintTest, RedirectedOutputGetsExactlyThePrintedBytes) {
    clearScreen(CLEAR_DEFAULT);
    printText(0, "", 0);
    printText(0, "", PRINT_NEWLINE);
    printInteger(0, 1, 0);
    printText(0, " of", 0);
    printInteger(0, 5, PRINT_NEWLINE);
    printLiteral(0, "? ", 0);
    printText(0, std::string("a\nb\0\a\x1b[2J\xff", 9), 0);
    EXPECT_EQ(console.output, std::string("\r\n 1 of 5\r\n? a\nb\0\a\x1b[2J\xff", 22));
}

// A stream that takes a few bytes at a time still gets every byte; one that fails drops the rest.
class ShortWriteConsole : public platform::MemoryConsole {
public:
    ShortWriteConsole() : MemoryConsole(80, 25, 25) { outputIsConsole = inputIsConsole = false; }
    bool writeOutput(const uint8_t* bytes, uint32_t count, uint32_t& written) override {
        if (failAfter-- <= 0) return false;
        return MemoryConsole::writeOutput(bytes, count < 3 ? count : 3, written);
    }
    int failAfter = 1000;
};

TEST(PrintWrites, PartialWritesAreContinuedAndFailuresDropTheRest) {
    resetConsoleState();
    ShortWriteConsole console;
    platform::setPlatform(&console);
    printText(0, "Name the capital of Peru", PRINT_NEWLINE);
    EXPECT_EQ(console.output, "Name the capital of Peru\r\n");
    console.output.clear();
    console.failAfter = 2;
    printText(0, "Incorrect", 0);
    EXPECT_EQ(console.output, "Incorr");
}

}  // namespace
