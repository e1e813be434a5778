#include <array>

#include "quiz/quiz.h"

namespace {

struct Country {
    const char* name;
    const char* capital;
};

// Bank rows 1 to 12, in order.
constexpr std::array<Country, 12> kCountries{{
    {"Peru", "Lima"},
    {"Brazil", "Brasilia"},
    {"Argentina", "Buenos Aires"},
    {"Chile", "Santiago"},
    {"Colombia", "Bogota"},
    {"Venezuela", "Caracas"},
    {"Bolivia", "La Paz"},
    {"Uruguay", "Montevideo"},
    {"Ecuador", "Quito"},
    {"Guyana", "Georgetown"},
    {"Paraguay", "Asuncion"},
    {"Suriname", "Paramaribo"},
}};

}  // namespace

void fillQuestionBank() {
    QuizState& quiz = quizState();
    quiz.countryCount = static_cast<int32_t>(kCountries.size());
    for (int32_t i = 1; i <= quiz.countryCount; ++i) quiz.StudyWeight[i] = WEIGHT_START;
    for (int32_t row = 1; row <= quiz.countryCount; ++row) {
        quiz.QuestionBank[row][COUNTRY_COLUMN] = kCountries[row - 1].name;
        quiz.QuestionBank[row][CAPITAL_COLUMN] = kCountries[row - 1].capital;
    }
}
