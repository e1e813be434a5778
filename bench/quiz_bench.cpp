// One call of selectRound, as a round begins: with the starting weights (every country is taken,
// so the slot draws collide more and more) and with the weights of a player some rounds in.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>

#include "quiz/quiz.h"
#include "random/random.h"

namespace {

// Most capitals known, a few missed again and again.
constexpr std::array<int32_t, 12> PLAYED_WEIGHTS{6, 9, 3, 10, 2, 7, -1, 4, 8, 1, -2, 5};

void startRound(QuizState& quiz) {
    quiz.askedCount = 0;
    for (int32_t k = 1; k <= quiz.countryCount; ++k) {
        quiz.RoundOrder[k] = 0;
        quiz.SlotTaken[k] = 0;
    }
}

}  // namespace

static void BM_SelectRound(benchmark::State& state, bool played) {
    resetQuizState();
    fillQuestionBank();
    QuizState& quiz = quizState();
    if (played) std::copy(PLAYED_WEIGHTS.begin(), PLAYED_WEIGHTS.end(), quiz.StudyWeight.begin() + 1);
    seedRandom(12345, 0);
    int64_t asked = 0;
    for (auto _ : state) {
        startRound(quiz);  // the round's slots are emptied before each selection, as a round does
        selectRound();
        asked += quiz.askedCount;
    }
    state.counters["asked"] = benchmark::Counter(static_cast<double>(asked), benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_SelectRound, fresh, false);
BENCHMARK_CAPTURE(BM_SelectRound, played, true);
