// The study quiz: the question bank, the study weights, the choice of each round's questions,
// the asking and checking, the round summary and the wait before the next round.
#pragma once

#include <array>
#include <cstdint>

#include "console/text.h"

constexpr int BANK_ROWS = 55;
constexpr int BANK_COLUMNS = 3;
constexpr int COUNTRY_COLUMN = 1;
constexpr int CAPITAL_COLUMN = 2;
constexpr int32_t WEIGHT_START = 1;
constexpr int32_t WEIGHT_MIN = -2;
constexpr int32_t WEIGHT_MAX = 10;
constexpr double SELECTION_BASE = 0.8;

using QuizTable = std::array<int32_t, BANK_ROWS>;

struct QuizState {
    std::array<std::array<Text, BANK_COLUMNS>, BANK_ROWS> QuestionBank;
    int32_t countryCount = 0;
    QuizTable StudyWeight{};
    // The round: slot k asks bank row RoundOrder[k], 0 for an empty slot.
    QuizTable RoundOrder{};
    QuizTable SlotTaken{};
    int32_t askedCount = 0;
    int32_t score = 0;
    int32_t missedCount = 0;
    QuizTable MissedList{};
    int32_t questionNumber = 0;
    Text answerText;
};

QuizState& quizState();
void resetQuizState();

[[noreturn]] void runQuiz();

// Sets countryCount, the starting weights and the bank.
void fillQuestionBank();
void selectRound();
void askQuestion(int32_t row);
// 0 exactly when both texts hold the same bytes.
int compareText(const Text& a, const Text& b);

void showRoundSummary();
void waitForReplayKey();
