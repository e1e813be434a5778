#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "console/console_state.h"
#include "console/keys.h"
#include "platform/keyboard_layout.h"
#include "platform/memory_console.h"
#include "quiz/quiz.h"
#include "random/random.h"

namespace {

class QuizTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetConsoleState();
        resetRandomState();
        resetQuizState();
        platform::setPlatform(&console);
        fillQuestionBank();
    }

    void setWeights(const std::vector<int32_t>& weights) {
        for (size_t i = 0; i < weights.size(); ++i) quizState().StudyWeight[i + 1] = weights[i];
    }

    // Clears the round as the round loop does, selects, and returns the draws it took.
    uint32_t selectFreshRound() {
        QuizState& quiz = quizState();
        quiz.askedCount = 0;
        for (int k = 1; k <= quiz.countryCount; ++k) quiz.RoundOrder[k] = quiz.SlotTaken[k] = 0;
        const uint32_t before = randomState().generator.nextIndex % 624;
        selectRound();
        return randomState().generator.nextIndex - before;
    }

    std::vector<int32_t> slots() const {
        const QuizState& quiz = quizState();
        return {quiz.RoundOrder.begin() + 1, quiz.RoundOrder.begin() + 13};
    }

    platform::MemoryConsole console = platform::MemoryConsole::redirected();
};

TEST_F(QuizTest, SelectionMatchesTheWorkedExamples) {
    struct Case {
        std::vector<int32_t> weights;
        uint32_t draws;
        std::vector<int32_t> slots;
    };
    const Case cases[] = {
        {std::vector<int32_t>(12, 1), 56, {6, 12, 9, 1, 10, 7, 5, 3, 11, 2, 8, 4}},
        {std::vector<int32_t>(12, 10), 12, std::vector<int32_t>(12, 0)},
        {{2, 4, 6, 8, 10, 1, -2, 3, 5, 7, 9, 0}, 21, {0, 0, 0, 1, 0, 10, 7, 9, 0, 11, 12, 6}},
    };
    for (const Case& c : cases) {
        seedRandom(0, 0);
        setWeights(c.weights);
        EXPECT_EQ(selectFreshRound(), c.draws);
        EXPECT_EQ(slots(), c.slots);
        const auto filled = std::ranges::count_if(c.slots, [](int32_t row) { return row != 0; });
        EXPECT_EQ(quizState().askedCount, filled);
    }
}

TEST_F(QuizTest, SecondSelectionContinuesTheSequence) {
    seedRandom(0, 0);
    selectFreshRound();
    EXPECT_EQ(selectFreshRound(), 37u);
    EXPECT_EQ(slots(), (std::vector<int32_t>{9, 7, 11, 8, 6, 1, 3, 12, 5, 4, 10, 2}));
}

// Three questions as a user meets them: one right, two wrong, then the summary.
TEST_F(QuizTest, QuestionsAndSummaryPrintTheirExactBytes) {
    console.stdinBytes = "Santiago\nPotosi\nlima\n";
    QuizState& quiz = quizState();
    quiz.askedCount = 3;
    quiz.questionNumber = 1;
    askQuestion(4);
    askQuestion(7);
    askQuestion(1);
    showRoundSummary();
    EXPECT_EQ(console.output,
              " 1 of 3\r\nName the capital of Chile\r\nCorrect!\r\n"
              " 2 of 3\r\nName the capital of Bolivia\r\nIncorrect\r\nCorrect answer is La Paz\r\n"
              " 3 of 3\r\nName the capital of Peru\r\nIncorrect\r\nCorrect answer is Lima\r\n"
              "Study round over!\r\n 1of 3correct.\r\nMissed:\r\nBolivia , La Paz\r\nPeru , Lima\r\n");
    EXPECT_EQ(quiz.score, 1);
    EXPECT_EQ(quiz.missedCount, 2);
    EXPECT_EQ(quiz.MissedList[1], 7);
    EXPECT_EQ(quiz.MissedList[2], 1);
    EXPECT_EQ(quiz.StudyWeight[4], 2);
    EXPECT_EQ(quiz.StudyWeight[7], 0);
}

TEST_F(QuizTest, WeightsStayWithinTheirLimits) {
    console.stdinBytes = "Lima\nLima\nx\nx\nx\nx\n";
    QuizState& quiz = quizState();
    quiz.StudyWeight[1] = 9;
    askQuestion(1);
    askQuestion(1);
    EXPECT_EQ(quiz.StudyWeight[1], 10);
    for (int i = 0; i < 4; ++i) askQuestion(1);
    EXPECT_EQ(quiz.StudyWeight[1], 6);
    quiz.StudyWeight[1] = -1;
    console.stdinBytes += "x\nx\n";
    askQuestion(1);
    askQuestion(1);
    EXPECT_EQ(quiz.StudyWeight[1], -2);
}

TEST_F(QuizTest, AnswersMustMatchByteForByte) {
    EXPECT_EQ(compareText("Lima", "Lima"), 0);
    for (const char* wrong : {"lima", "LIMA", "Lima.", "", "Lima "}) EXPECT_NE(compareText(wrong, "Lima"), 0) << wrong;
    EXPECT_NE(compareText("Bogot\xe1", "Bogota"), 0);
    EXPECT_EQ(compareText(Text("a\0b", 3), Text("a\0b", 3)), 0);
    EXPECT_NE(compareText(Text("a\0b", 3), Text("a\0c", 3)), 0);
}

TEST_F(QuizTest, SummaryOfARoundWithoutQuestions) {
    showRoundSummary();
    EXPECT_EQ(console.output, "Study round over!\r\n 0of 0correct.\r\nMissed:\r\n");
}

TEST_F(QuizTest, RedirectedReplayWaitTakesNoByteAndEndsWithTheInput) {
    console.stdinBytes = "Lima\n";
    waitForReplayKey();
    EXPECT_EQ(console.output, "Press a key to play again\r\n");
    quizState().askedCount = 1;
    quizState().questionNumber = 1;
    askQuestion(1);  // the byte the wait saw still begins the next answer
    EXPECT_NE(console.output.find("Correct!"), std::string::npos);
    EXPECT_THROW(waitForReplayKey(), platform::MemoryConsole::Exited);
    EXPECT_EQ(console.exitStatus, 0);
}

}  // namespace

namespace {

// The replay wait at a console: keys come from the keyboard layer.
class ConsoleReplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetConsoleState();
        resetQuizState();
        platform::setPlatform(&console);
        console.outputIsConsole = false;  // plain output keeps the check on the printed bytes simple
    }

    platform::MemoryConsole console{80, 25, 25};
};

TEST_F(ConsoleReplayTest, APendingKeyEndsTheWaitAtOnce) {
    console.typeText("ab");
    waitForReplayKey();
    EXPECT_EQ(console.output, "Press a key to play again\r\n");
    EXPECT_TRUE(console.waits.empty());
    waitForReplayKey();  // the second key is still there for the next wait
    EXPECT_TRUE(console.waits.empty());
}

TEST_F(ConsoleReplayTest, TheWaitSleepsUntilAKeyArrives) {
    int idle = 0;
    console.onIdle = [&] {
        if (++idle == 3) console.typeKey({true, 1, platform::vk::F1, 59, 0, 0});
    };
    waitForReplayKey();
    EXPECT_EQ(idle, 3);
    EXPECT_EQ(console.waits, (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(pollKey(), "");  // both bytes of the extended key went together
}

TEST_F(ConsoleReplayTest, ACloseRequestEndsTheWait) {
    pollKey();  // the control handler is installed by the first poll
    console.onIdle = [&] { console.raiseControlEvent(platform::CTRL_CLOSE_EVENT); };
    waitForReplayKey();
    EXPECT_EQ(pollKey(), "");
}

}  // namespace
