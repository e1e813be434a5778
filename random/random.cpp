#include "random/random.h"

#include <bit>
#include <cmath>

#include "platform/platform.h"

namespace {

constexpr uint32_t UPPER_MASK = 0x80000000u;
constexpr uint32_t LOWER_MASK = 0x7fffffffu;
constexpr uint32_t TWIST = 0x9908b0dfu;
constexpr int SHIFT = 397;

RandomState state;

uint32_t twist(uint32_t partner, uint32_t upperFrom, uint32_t lowerFrom) {
    const uint32_t y = (upperFrom & UPPER_MASK) | (lowerFrom & LOWER_MASK);
    return partner ^ (y >> 1) ^ ((y & 1u) ? TWIST : 0u);
}

// One in-place pass over the state; the partners of the later words are already new.
void regenerate(std::array<uint32_t, RANDOM_STATE_WORDS>& w) {
    constexpr int n = RANDOM_STATE_WORDS;
    for (int k = 0; k < n - SHIFT; ++k) w[k] = twist(w[k + SHIFT], w[k], w[k + 1]);
    for (int k = n - SHIFT; k < n - 1; ++k) w[k] = twist(w[k + SHIFT - n], w[k], w[k + 1]);
    w[n - 1] = twist(w[SHIFT - 1], w[n - 1], w[0]);
}

uint32_t temper(uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

double draw(RandomGenerator& g) {
    if (g.nextIndex == RANDOM_STATE_WORDS) {
        regenerate(g.words);
        g.nextIndex = 0;
    }
    return temper(g.words[g.nextIndex++]) / 4294967296.0;
}

// Truncation toward zero, keeping the low 32 bits; seeds beyond 64 bits (or not a number) give 0.
uint32_t seedWord(double seed) {
    if (!(std::fabs(seed) < 9.2e18)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(seed)));
}

}  // namespace

RandomState& randomState() { return state; }

void resetRandomState() { state = RandomState{}; }

double timerSeconds() {
    platform::Platform& p = platform::currentPlatform();
    TimerState& timer = state.timer;
    if (timer.source == TimerSource::Undecided) {
        int64_t frequency = 0;
        if (p.counterFrequency(frequency) && frequency != 0) {
            timer.secondsPerCount = 1.0 / static_cast<double>(frequency);
            timer.source = TimerSource::PerformanceCounter;
        } else {
            timer.source = TimerSource::TickCounter;
        }
    }
    if (timer.source == TimerSource::TickCounter) return static_cast<double>(p.tickCount()) * 0.001;
    return static_cast<double>(p.counterValue()) * timer.secondsPerCount;
}

void seedRandom(double seed, int32_t selector) {
    const bool otherGenerator = selector == 1 || selector == 2 || selector == 4 || selector == 5;
    if (otherGenerator) return;
    if (seed == -1.0) {
        const auto bits = std::bit_cast<uint64_t>(timerSeconds());
        seed = static_cast<double>(static_cast<uint32_t>(bits >> 32) ^ static_cast<uint32_t>(bits));
    }
    RandomGenerator& g = state.generator;
    g.words[0] = seedWord(seed);
    for (int i = 1; i < RANDOM_STATE_WORDS; ++i) g.words[i] = g.words[i - 1] * 1664525u + 1013904223u;
    g.nextIndex = RANDOM_STATE_WORDS;
    g.seeded = true;
}

double nextRandom(float argument) {
    RandomGenerator& g = state.generator;
    if (!g.seeded) seedRandom(0.0, 0);
    if (argument != 0.0f) g.lastValue = draw(g);
    return g.lastValue;
}
