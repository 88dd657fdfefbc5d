#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "base/exception.h"

namespace {
struct ClockReset {
    ~ClockReset() {
        stopClock();
        setClockSpeedForTesting(1.0);
    }
};
}  // namespace

TEST(Clock, StoppedClockHoldsWhatIsSet) {
    ClockReset reset;
    EXPECT_EQ(currentTicks(), 0);
    // Video mode: each frame sets 71.42857 / fps x f; the count truncates toward zero.
    setTicks(71.42857f / 25.0f * 1);
    EXPECT_EQ(currentTicks(), 2);
    setTicks(71.42857f / 40.0f * 3);
    EXPECT_EQ(currentTicks(), 5);
    setTicks(13100.0f);
    EXPECT_EQ(currentTicks(), 13100);
    setTicks(-0.5f);
    EXPECT_EQ(currentTicks(), 0);
    // Whole ticks stay exact far beyond the show length.
    setTicks(13100.0f * 100 + 1);
    EXPECT_EQ(currentTicks(), 1310001);
    stopClock();
    EXPECT_EQ(currentTicks(), 0);
}

TEST(Clock, RunningClockFollowsFourteenMillisecondTicks) {
    ClockReset reset;
    auto start = std::chrono::steady_clock::now();
    startClock(71);
    std::this_thread::sleep_for(std::chrono::milliseconds(140));
    int ticks = currentTicks();
    double elapsedMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ticks, 10);
    EXPECT_LE(ticks, int(elapsedMs / 14) + 1);
    stopClock();
    EXPECT_EQ(currentTicks(), 0);
}

TEST(Clock, SpedUpClockReachesTheShowLengthQuickly) {
    ClockReset reset;
    setClockSpeedForTesting(1000.0);
    startClock(71);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (currentTicks() < 13100 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(currentTicks(), 13100);
    // Setting the count while running continues from there.
    setClockSpeedForTesting(1.0);
    setTicks(500.0f);
    EXPECT_GE(currentTicks(), 500);
    EXPECT_LT(currentTicks(), 510);
}

TEST(Clock, RatesWithoutAWholeMillisecondPeriodRefuseToStart) {
    ClockReset reset;
    for (int rate : {0, -71, 1001}) {
        try {
            startClock(rate);
            ADD_FAILURE() << "rate " << rate << " started";
        } catch (const ExceptionType& e) {
            EXPECT_EQ(e.text(), "Error - couldn't initialize timer! Aborting...");
        }
    }
    EXPECT_EQ(currentTicks(), 0);
}

namespace {

struct Following {
    double worstExcess = 0;  // most the count strayed beyond what the tolerance allows
    int backwardSteps = 0;
    int lastTicks = 0;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A reference running at `rate` times real time, followed the way the frame loop does it: one
// followTime per frame, then the count is read. The count may stray from the reference by the
// tolerance, by the one tick it truncates when behind, and when ahead by the drift of a frame (a
// count held after a step back) and of the time the reading itself took (a loaded machine).
Following followReference(double rate, std::chrono::milliseconds length) {
    Following f;
    startClock(71);
    const auto start = std::chrono::steady_clock::now();
    double previous = 0;
    for (double now = 0; now < std::chrono::duration<double>(length).count(); now = secondsSince(start)) {
        double reference = rate * now;
        followTime(reference);
        int ticks = currentTicks();
        double read = secondsSince(start) - now;
        if (ticks < f.lastTicks) ++f.backwardSteps;
        f.lastTicks = ticks;
        double offset = ticks * 0.014 - reference;
        double ahead = offset - (kFollowToleranceSeconds + std::fabs(1 - rate) * (now - previous) + read);
        double behind = -offset - (kFollowToleranceSeconds + 0.014);
        f.worstExcess = std::max({f.worstExcess, ahead, behind});
        previous = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    return f;
}

}  // namespace

// The soundtrack heard on a slow device (13% slow) or a fast one (5% fast): the count stays within
// the tolerance of it and never steps back.
TEST(ClockFollowing, StaysWithAReferenceRunningSlowOrFastAndNeverStepsBack) {
    for (double rate : {0.87, 1.05}) {
        SCOPED_TRACE(rate);
        ClockReset reset;
        Following f = followReference(rate, std::chrono::milliseconds(800));
        EXPECT_EQ(f.backwardSteps, 0);
        EXPECT_LE(f.worstExcess, 1e-6);
        // Unsteered, 0.8 s at these rates strays 104 ms or 40 ms.
        EXPECT_NEAR(f.lastTicks * 0.014, rate * 0.8, 0.05);
    }
}

TEST(ClockFollowing, AStepBackHoldsTheCountUntilTimeCatchesUp) {
    ClockReset reset;
    setTicks(1000.0f);
    startClock(71);
    followTime(1000 * 0.014 - 0.5);  // half a second back
    const auto start = std::chrono::steady_clock::now();
    int lowest = currentTicks(), highest = lowest;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(100)) {
        int ticks = currentTicks();
        lowest = std::min(lowest, ticks);
        highest = std::max(highest, ticks);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(lowest, 1000);
    EXPECT_EQ(highest, 1000) << "held: the re-based clock is still 36 ticks short of 1000";
    // A forward step moves at once; an explicit setTicks may go back (video mode, restarts).
    followTime(2000 * 0.014);
    EXPECT_GE(currentTicks(), 2000);
    EXPECT_LT(currentTicks(), 2003);
    setTicks(10.0f);
    EXPECT_LT(currentTicks(), 13);
}

TEST(ClockFollowing, LeavesAloneAStoppedOrSpedUpClockAndNegativeReferences) {
    ClockReset reset;
    setTicks(50.0f);
    followTime(10.0);
    EXPECT_EQ(currentTicks(), 50) << "stopped: only setTicks moves it";

    startClock(71);
    followTime(-1.0);
    followTime(std::nan(""));
    EXPECT_LT(currentTicks(), 55);

    // A clock sped up for a test runs far ahead of any real-time audio; following would stall it.
    setClockSpeedForTesting(100.0);
    followTime(0.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(currentTicks(), 200);
}
