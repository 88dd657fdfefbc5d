#pragma once
// The show's one random sequence: every draw the program makes (mesh colours without a material,
// the line field) comes from it, in order. It is the classic linear congruential generator of the
// Windows C runtime, never seeded, so every build on every platform draws the same frames; the C
// library's rand differs between glibc, the browser's libc and others.

// The next number of the sequence, 0 to kRandomMax.
int randomNumber();
constexpr int kRandomMax = 32767;

// Starts the sequence again from where a fresh program starts it; for tests that need the
// numbers a fresh program would draw.
void restartRandomSequence();
