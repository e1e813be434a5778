// One round of the quiz as it reaches consoleWrite, piece by piece: twelve questions answered
// right and wrong in turn, each answer echoed key by key after "? " (every fifth one long enough
// to wrap), then the summary. A round is longer than a 25-row screen, so writing it scrolls.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "console/print.h"
#include "quiz/quiz.h"

struct RoundText {
    // The pieces written between two waits for the user (a key of the answer, the replay key).
    std::vector<std::vector<std::string>> blocks;
    uint64_t bytes = 0;
};

inline RoundText roundText() {
    fillQuestionBank();
    const QuizState& quiz = quizState();
    const int asked = quiz.countryCount;
    // Numbers as printInteger writes them: a sign position, then the digits.
    const auto number = [](int n) { return (n < 0 ? "" : " ") + std::to_string(n); };
    const std::string total = number(asked);
    RoundText round{{{}}};
    const auto add = [&round](std::initializer_list<std::string> pieces) {
        round.blocks.back().insert(round.blocks.back().end(), pieces);
    };
    const auto wait = [&round] { round.blocks.emplace_back(); };
    std::vector<int> missed;
    for (int row = 1; row <= asked; ++row) {
        const std::string& country = quiz.QuestionBank[row][COUNTRY_COLUMN];
        const std::string& capital = quiz.QuestionBank[row][CAPITAL_COLUMN];
        const bool longAnswer = row % 5 == 0;
        const bool right = row % 2 == 1 && !longAnswer;
        add({number(row), " of", total + "\r\n", "Name the capital of ", country, "\r\n", "? "});
        for (char c : longAnswer ? std::string(90, 'x') : right ? capital : "no idea") {
            wait();  // each key typed is echoed on its own
            add({std::string(1, c)});
        }
        wait();
        add({"\r\n"});
        if (right) {
            add({"Correct!", "\r\n"});
        } else {
            add({"Incorrect", "\r\n", "Correct answer is ", capital, "\r\n"});
            missed.push_back(row);
        }
    }
    add({"Study round over!", "\r\n", number(asked - static_cast<int>(missed.size())), "of", total, "correct.", "\r\n",
         "Missed:", "\r\n"});
    for (int row : missed) {
        add({quiz.QuestionBank[row][COUNTRY_COLUMN], " , ", quiz.QuestionBank[row][CAPITAL_COLUMN], "\r\n"});
    }
    add({"Press a key to play again", "\r\n"});
    for (const auto& block : round.blocks) {
        for (const std::string& piece : block) round.bytes += piece.size();
    }
    return round;
}

// Clears the screen as a round does, then writes the round; afterBlock runs where the quiz would
// wait for the user.
template <typename AfterBlock>
void writeRound(const RoundText& round, AfterBlock afterBlock) {
    clearScreen(CLEAR_DEFAULT);
    for (const auto& block : round.blocks) {
        for (const std::string& piece : block) {
            consoleWrite(reinterpret_cast<const uint8_t*>(piece.data()), static_cast<uint32_t>(piece.size()), 0);
        }
        afterBlock();
    }
}
