#include "platform/clock.h"

#include <chrono>
#include <climits>
#include <cmath>

#include "base/exception.h"

namespace {

using Clock = std::chrono::steady_clock;

// The count is derived from the time since the last (re)start instead of being added up event by
// event, so it cannot drift however long the show runs.
struct ClockState {
    bool running = false;
    double baseTicks = 0.0;  // the count at `since`
    Clock::time_point since;
    std::chrono::milliseconds period{14};
    double speed = 1.0;
    int heldTicks = INT_MIN;  // the lowest count a running clock may report (after a step back)
};

ClockState g_clock;

double liveTicks() {
    if (!g_clock.running) return g_clock.baseTicks;
    std::chrono::duration<double, std::milli> elapsed = Clock::now() - g_clock.since;
    return g_clock.baseTicks + elapsed.count() * g_clock.speed / double(g_clock.period.count());
}

void restartFrom(double ticks) {
    g_clock.baseTicks = ticks;
    g_clock.since = Clock::now();
    g_clock.heldTicks = INT_MIN;
}

int truncated(double ticks) {
    if (ticks >= double(INT_MAX)) return INT_MAX;
    if (ticks <= double(INT_MIN)) return INT_MIN;
    return static_cast<int>(ticks);
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
    restartFrom(0.0);
}

int currentTicks() {
    int ticks = truncated(liveTicks());
    return ticks > g_clock.heldTicks ? ticks : g_clock.heldTicks;
}

void setTicks(float value) { restartFrom(value); }

float videoFrameTicks(float framesPerSecond, int frame) {
    return 71.42857f / framesPerSecond * static_cast<float>(frame);
}

void followTime(double referenceSeconds) {
    if (!g_clock.running || g_clock.speed != 1.0 || !(referenceSeconds >= 0) || !std::isfinite(referenceSeconds))
        return;
    const double secondsPerTick = double(g_clock.period.count()) / 1000.0;
    const double now = liveTicks();
    if (std::fabs(now * secondsPerTick - referenceSeconds) <= kFollowToleranceSeconds) return;
    // Whatever was counted before the step stays the floor until the new base passes it.
    const int counted = currentTicks();
    restartFrom(referenceSeconds / secondsPerTick);
    g_clock.heldTicks = counted;
}

void setClockSpeedForTesting(double factor) {
    if (!(factor > 0)) return;
    int counted = currentTicks();
    restartFrom(liveTicks());
    g_clock.heldTicks = g_clock.running ? counted : INT_MIN;
    g_clock.speed = factor;
}
