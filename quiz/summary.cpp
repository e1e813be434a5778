#include "console/input_field.h"
#include "console/keys.h"
#include "console/print.h"
#include "platform/platform.h"
#include "quiz/quiz.h"

namespace {
constexpr int SCREEN = 0;
}

void showRoundSummary() {
    const QuizState& quiz = quizState();
    printText(SCREEN, "Study round over!", PRINT_NEWLINE);
    printInteger(SCREEN, quiz.score, 0);
    printText(SCREEN, "of", 0);
    printInteger(SCREEN, quiz.askedCount, 0);
    printText(SCREEN, "correct.", PRINT_NEWLINE);
    printText(SCREEN, "Missed:", PRINT_NEWLINE);
    for (int32_t j = 1; j <= quiz.missedCount; ++j) {
        const auto& row = quiz.QuestionBank[quiz.MissedList[j]];
        printText(SCREEN, row[COUNTRY_COLUMN], 0);
        printText(SCREEN, " , ", 0);
        printText(SCREEN, row[CAPITAL_COLUMN], PRINT_NEWLINE);
    }
}

// At the console any key starts the next round; the wait sleeps until input arrives instead of
// polling in a busy loop. Redirected input has no keys: the next round starts once another
// byte of input is there, and the end of the input ends the program.
void waitForReplayKey() {
    printText(SCREEN, "Press a key to play again", PRINT_NEWLINE);
    platform::Platform& os = platform::currentPlatform();
    if (inputRedirected()) {
        if (!awaitInputByte()) os.exitProcess(0);
        return;
    }
    while (compareText(pollKey(), Text()) == 0) os.waitForInput(-1);
}
