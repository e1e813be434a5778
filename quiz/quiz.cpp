#include "quiz/quiz.h"

#include <algorithm>
#include <cmath>

#include "console/input_field.h"
#include "console/print.h"
#include "random/random.h"

namespace {

QuizState state;

constexpr int SCREEN = 0;

const Text& bankCell(int32_t row, int column) { return state.QuestionBank[row][column]; }

void playRound() {
    QuizState& quiz = state;
    clearScreen(CLEAR_DEFAULT);
    quiz.score = 0;
    quiz.askedCount = 0;
    quiz.missedCount = 0;
    const int32_t slots = quiz.countryCount;
    for (int32_t k = 1; k <= slots; ++k) {
        quiz.RoundOrder[k] = 0;
        quiz.SlotTaken[k] = 0;
    }
    selectRound();
    quiz.questionNumber = 1;
    for (int32_t k = 1; k <= slots; ++k) {
        if (quiz.RoundOrder[k] != 0) askQuestion(quiz.RoundOrder[k]);
    }
    showRoundSummary();
    waitForReplayKey();
}

}  // namespace

QuizState& quizState() { return state; }

void resetQuizState() { state = QuizState{}; }

void runQuiz() {
    resetQuizState();
    fillQuestionBank();
    seedRandom(timerSeconds(), 0);
    for (;;) playRound();
}

// Each country has its own trial, whose chance falls by SELECTION_BASE with every weight step
// above 1; a chosen country takes the first free slot drawn for it.
void selectRound() {
    QuizState& quiz = state;
    const int32_t countries = quiz.countryCount;
    for (int32_t i = 1; i <= countries; ++i) {
        const double takeChance = std::pow(SELECTION_BASE, static_cast<double>(quiz.StudyWeight[i] - 1));
        const double chanceDraw = nextRandom(1.0f);
        if (!(chanceDraw < takeChance)) continue;
        int32_t slot = 0;
        do {
            slot = static_cast<int32_t>(std::floor(nextRandom(1.0f) * countries + 1.0));
        } while (quiz.SlotTaken[slot] != 0);
        quiz.RoundOrder[slot] = i;
        quiz.SlotTaken[slot] = 1;
        ++quiz.askedCount;
    }
}

void askQuestion(int32_t row) {
    QuizState& quiz = state;
    printInteger(SCREEN, quiz.questionNumber, 0);
    printText(SCREEN, " of", 0);
    printInteger(SCREEN, quiz.askedCount, PRINT_NEWLINE);
    ++quiz.questionNumber;

    printText(SCREEN, "Name the capital of ", 0);
    printText(SCREEN, bankCell(row, COUNTRY_COLUMN), PRINT_NEWLINE);

    const Text noPrompt;
    beginInput(&noPrompt, -1, -1);
    inputString(quiz.answerText);

    if (compareText(quiz.answerText, bankCell(row, CAPITAL_COLUMN)) == 0) {
        printText(SCREEN, "Correct!", PRINT_NEWLINE);
        ++quiz.score;
        quiz.StudyWeight[row] = std::min(quiz.StudyWeight[row] + 1, WEIGHT_MAX);
    } else {
        printText(SCREEN, "Incorrect", PRINT_NEWLINE);
        printText(SCREEN, "Correct answer is ", 0);
        printText(SCREEN, bankCell(row, CAPITAL_COLUMN), PRINT_NEWLINE);
        ++quiz.missedCount;
        quiz.MissedList[quiz.missedCount] = row;
        quiz.StudyWeight[row] = std::max(quiz.StudyWeight[row] - 1, WEIGHT_MIN);
    }
}

int compareText(const Text& a, const Text& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}
