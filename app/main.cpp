// Process entry: start-up, then the quiz, which never returns.
#include <cfenv>
#include <clocale>

#include "platform/posix_platform.h"
#include "quiz/quiz.h"

int main() {
    // Round to nearest. Doubles here are computed with a 53-bit significand (SSE), and every
    // value the quiz computes is exact at that width, so no wider x87 precision is needed.
    std::fesetround(FE_TONEAREST);
    // Letter case is swapped under the user's own character-type rules; the C rules stay when
    // the user's cannot be loaded. No other thread runs yet.
    (void)std::setlocale(LC_CTYPE, "");  // NOLINT(concurrency-mt-unsafe)

    static platform::PosixPlatform posix;
    platform::setPlatform(&posix);
    runQuiz();
}
