#pragma once
// The demo clock: the show's one time base, counted in ticks of 14 ms (71.42857 ticks a second).
// Live, the count follows a monotonic clock; in video mode the frame loop sets it with setTicks.
// Main thread only.

// Starts counting from the current count at rate events per second (the program passes 71, a
// 14 ms period). Raises errors::couldntInitTimer for a rate that gives no whole-millisecond period.
void startClock(int rate);
// Sets the count to 0 and stops counting.
void stopClock();
// The count truncated toward zero.
int currentTicks();
// The count becomes value; a running clock keeps counting from there.
void setTicks(float value);
// What video mode sets the clock to after presenting frame f (from 0): 71.42857 / framesPerSecond
// x f ticks in 32-bit float, so the first two frames both show time 0.
float videoFrameTicks(float framesPerSecond, int frame);

// How far a followed clock may stray from its reference, in seconds.
inline constexpr double kFollowToleranceSeconds = 0.010;

// Steers a running clock toward a reference time (the soundtrack being heard, in seconds): when
// the count is more than kFollowToleranceSeconds away from it, the clock is re-based onto the
// reference and keeps running from there. The count never goes backwards while the clock runs: a
// clock moved back holds its count until time catches up, so no cue fires twice. A stopped clock,
// one sped up for testing, and a negative reference (nothing is playing) are left alone.
void followTime(double referenceSeconds);

// Tests only: a running clock advances factor times faster than real time (1 is real time), so a
// whole live show can run in a few seconds.
void setClockSpeedForTesting(double factor);
