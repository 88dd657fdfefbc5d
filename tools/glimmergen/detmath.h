#pragma once
// Arithmetic that gives the same bits on every x86-64 build: the generator's output must not depend
// on the libm at hand, so sine, cosine and exp are computed here from +, -, *, / alone (the build
// also turns off FMA contraction), and random numbers come from a fixed-seed generator.
#include <cstdint>

namespace det {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 6.28318530717958647692;

double sin(double x);
double cos(double x);
double tan(double x);
double exp(double x);
// Natural logarithm, x > 0.
double log(double x);
// 2^x.
double exp2(double x);
// 2^(semitones / 12): the frequency ratio of an equal-tempered interval.
double semitones(double n);
// Frequency of a MIDI note number (69 = A4 = 440 Hz).
double midiHz(double note);

// splitmix64: small, fast, fixed sequence for a given seed.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [0, 1).
    double uniform();
    // Uniform in [-1, 1).
    double bipolar() { return uniform() * 2.0 - 1.0; }

private:
    std::uint64_t state_;
};

}  // namespace det
