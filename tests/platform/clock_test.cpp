#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/exception.h"

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
