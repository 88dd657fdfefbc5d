// The program itself, live in a window with its soundtrack, on a clock sped up for the test: the
// show must end by itself at the end cue and the program return 0.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "app/app.h"
#include "app/stages.h"
#include "platform/clock.h"
#include "show/show.h"

namespace {

TEST(LiveShow, EndsByItselfAtTheEndCueWithStatusZero) {
    // The program reads Glimmertide.dat from its working folder.
    ASSERT_EQ(chdir(GLIMMER_BINARY_DIR), 0);
    constexpr double kSpeed = 40.0;
    setClockSpeedForTesting(kSpeed);
    char program[] = "glimmertide", window[] = "window";
    char* argv[] = {program, window, nullptr};
    const auto start = std::chrono::steady_clock::now();
    const int status = runGlimmertide(2, argv);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    setClockSpeedForTesting(1.0);

    EXPECT_EQ(status, 0);
    Show& show = runningShow();
    EXPECT_TRUE(show.cues().end.exhausted());
    EXPECT_EQ(show.cues().end.lastFired(), 13100);
    EXPECT_EQ(show.state().sceneIndex, 6);
    // 183.4 s of show time, 40 times faster.
    EXPECT_GT(seconds, 183.4 / kSpeed * 0.95);
}

}  // namespace
