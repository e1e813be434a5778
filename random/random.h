// The process's one pseudo-random source (a Mersenne Twister filled from its seed by a linear
// congruential recurrence) and the seconds timer that seeds it.
#pragma once

#include <array>
#include <cstdint>

constexpr int RANDOM_STATE_WORDS = 624;

struct RandomGenerator {
    std::array<uint32_t, RANDOM_STATE_WORDS> words{};
    uint32_t nextIndex = RANDOM_STATE_WORDS;  // 624: the next draw regenerates the state first
    double lastValue = 0.0;
    bool seeded = false;
};

enum class TimerSource { Undecided, TickCounter, PerformanceCounter };

struct TimerState {
    TimerSource source = TimerSource::Undecided;
    double secondsPerCount = 0.0;
};

struct RandomState {
    RandomGenerator generator;
    TimerState timer;
};

RandomState& randomState();
void resetRandomState();

// Seconds since the origin of the platform's monotonic counter.
double timerSeconds();
// Restarts the generator from the seed; selectors 1, 2, 4 and 5 name other generators and are
// not supported here, every other value selects this one.
void seedRandom(double seed, int32_t selector);
// The next value in [0, 1); an argument of zero returns the previous value again.
double nextRandom(float argument);
