#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_state.h"
#include "console/input_field.h"
#include "platform/memory_console.h"

namespace {

class InputFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetConsoleState();
        platform::setPlatform(&console);
    }

    // Every answer a typed line gives: the line editor leaves it in the input context.
    Text typedAnswer(const std::string& line) {
        InputContext& input = consoleState().input;
        input = InputContext{false, line, 0};
        Text answer;
        inputString(answer);
        return answer;
    }

    std::vector<Text> streamAnswers(const std::string& bytes, int count) {
        console = platform::MemoryConsole::redirected();
        console.stdinBytes = bytes;
        consoleState().input.stream = true;
        std::vector<Text> answers(count);
        for (Text& answer : answers) inputString(answer);
        return answers;
    }

    platform::MemoryConsole console = platform::MemoryConsole::redirected();
};

// What one line gives as the answer, whether typed or read as the first field of the stream.
TEST_F(InputFieldTest, OneLineGivesItsFirstField) {
    struct Case {
        std::string line;
        Text answer;
    };
    const Case cases[] = {
        {"", ""},
        {"Lima", "Lima"},
        {"  Lima", "Lima"},
        {"\t Lima", "Lima"},
        {"Lima ", "Lima "},
        {"Buenos Aires", "Buenos Aires"},
        {"Lima, Peru", "Lima"},
        {"\"Lima, Peru\"", "Lima, Peru"},
        {"\"Lima", "Lima"},
        {"Li\"ma", "Li\"ma"},
        {"   \t  ", ""},
        {"Lim\xff", "Lim\xff"},
        {"\"\"", ""},
        {",Lima", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(typedAnswer(c.line), c.answer) << "typed: " << c.line;
        resetConsoleState();
        EXPECT_EQ(streamAnswers(c.line + "\n", 1)[0], c.answer) << "stream: " << c.line;
    }
}

TEST_F(InputFieldTest, LongLinesAreCutAtTheFieldSize) {
    const std::string line(5000, 'x');
    EXPECT_EQ(typedAnswer(line), std::string(INPUT_FIELD_MAX, 'x'));
    resetConsoleState();
    // On the stream the rest is left for the next answer.
    EXPECT_EQ(streamAnswers(line + "\nLima\n", 3),
              (std::vector<Text>{std::string(4096, 'x'), std::string(904, 'x'), "Lima"}));
}

// The stream carries over from answer to answer.
TEST_F(InputFieldTest, StreamAnswersFollowOneAnother) {
    struct Case {
        std::string bytes;
        std::vector<Text> answers;
    };
    const Case cases[] = {
        {"Lima,Quito\nSantiago\n", {"Lima", "Quito", "Santiago"}},
        {"Lima\r\nQuito\rSantiago", {"Lima", "Quito", "Santiago"}},
        {"\"Lima\"x,Quito\n", {"Lima", "x", "Quito"}},
        {"\"Lima\"  ,Quito\n", {"Lima", "Quito"}},
        {"\"Lima\"\r\nQuito", {"Lima", "Quito"}},
        {"\"Li\nma\"", {"Li", "ma\""}},
        {std::string("Li\0ma,Quito\n", 12), {"Li", "Quito"}},
        {"Lima", {"Lima", "", ""}},
        {"", {"", ""}},
        {",,,", {"", "", "", ""}},
        {"\r\r\r", {"", "", "", ""}},
    };
    for (const Case& c : cases) {
        resetConsoleState();
        EXPECT_EQ(streamAnswers(c.bytes, static_cast<int>(c.answers.size())), c.answers) << c.bytes;
    }
}

TEST_F(InputFieldTest, RedirectedBeginInputWritesNothing) {
    console.stdinBytes = "Lima\n";
    const Text prompt = "ignored";
    beginInput(&prompt, -1, -1);
    Text answer;
    inputString(answer);
    EXPECT_EQ(answer, "Lima");
    EXPECT_TRUE(console.output.empty());
}

TEST_F(InputFieldTest, PutBackHoldsFourBytesAtMost) {
    consoleState().input.stream = true;
    console.stdinBytes = "z";
    for (uint8_t b : {'a', 'b', 'c', 'd', 'e'}) putBackInputByte(b);
    std::string read;
    for (int c = nextInputByte(); c != -1; c = nextInputByte()) read += static_cast<char>(c);
    EXPECT_EQ(read, "dcbaz");
}

}  // namespace
