#include "platform/clock.h"

#include <chrono>
#include <cmath>

#include "app/exception.h"

namespace {

using Clock = std::chrono::steady_clock;

// The count is derived from the time since the last (re)start instead of being added up event by
// event, so it cannot drift however long the show runs.
struct ClockState {
    bool running = false;
    float baseTicks = 0.0f;  // the count at `since`
    Clock::time_point since;
    std::chrono::milliseconds period{14};
    double speed = 1.0;
};

ClockState g_clock;

float liveTicks() {
    if (!g_clock.running) return g_clock.baseTicks;
    std::chrono::duration<double, std::milli> elapsed = Clock::now() - g_clock.since;
    double events = std::floor(elapsed.count() * g_clock.speed / double(g_clock.period.count()));
    return g_clock.baseTicks + static_cast<float>(events);
}

void restartFrom(float ticks) {
    g_clock.baseTicks = ticks;
    g_clock.since = Clock::now();
}

}  // namespace

void startClock(int rate) {
    if (rate <= 0) raise(errors::couldntInitTimer);
    int periodMs = static_cast<int>(1.0 / rate * 1000);
    if (periodMs < 1) raise(errors::couldntInitTimer);
    g_clock.period = std::chrono::milliseconds(periodMs);
    restartFrom(g_clock.baseTicks);
    g_clock.running = true;
}

void stopClock() {
    g_clock.running = false;
    g_clock.baseTicks = 0.0f;
}

int currentTicks() { return static_cast<int>(liveTicks()); }

void setTicks(float value) { restartFrom(value); }

void setClockSpeedForTesting(double factor) {
    if (!(factor > 0)) return;
    restartFrom(liveTicks());
    g_clock.speed = factor;
}
