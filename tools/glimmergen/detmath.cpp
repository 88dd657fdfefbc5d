#include "detmath.h"

#include <cmath>

namespace det {
namespace {

// pi/2 split so that k * kHalfPiHi is exact for the k the generator meets.
constexpr double kHalfPiHi = 1.57079632673412561417;
constexpr double kHalfPiLo = 6.07710050650619224932e-11;
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kLn2 = 0.69314718055994530942;

// Taylor series on |r| <= pi/4; the last terms are far below double precision.
double sinPoly(double r) {
    double r2 = r * r;
    double term = r, sum = r;
    for (int n = 1; n <= 9; ++n) {
        term = -term * r2 / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double cosPoly(double r) {
    double r2 = r * r;
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 9; ++n) {
        term = -term * r2 / double((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

// Splits x into k * pi/2 + r with |r| <= pi/4 (nearest quadrant).
double reduce(double x, long long& quadrant) {
    double k = std::nearbyint(x / kHalfPiHi);
    quadrant = static_cast<long long>(k);
    return (x - k * kHalfPiHi) - k * kHalfPiLo;
}

}  // namespace

double sin(double x) {
    long long q;
    double r = reduce(x, q);
    switch (q & 3) {
        case 0: return sinPoly(r);
        case 1: return cosPoly(r);
        case 2: return -sinPoly(r);
        default: return -cosPoly(r);
    }
}

double cos(double x) {
    long long q;
    double r = reduce(x, q);
    switch (q & 3) {
        case 0: return cosPoly(r);
        case 1: return -sinPoly(r);
        case 2: return -cosPoly(r);
        default: return sinPoly(r);
    }
}

double tan(double x) { return sin(x) / cos(x); }

double exp(double x) {
    if (x < -700.0) return 0.0;
    if (x > 700.0) x = 700.0;
    double k = std::nearbyint(x / kLn2);
    double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= ln2 / 2
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 16; ++n) {
        term = term * r / double(n);
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double log(double x) {
    int e = 0;
    double m = std::frexp(x, &e);  // x = m * 2^e, m in [0.5, 1)
    double s = (m - 1.0) / (m + 1.0), s2 = s * s;
    double term = s, sum = 0.0;
    for (int n = 1; n <= 61; n += 2) {
        sum += term / n;
        term *= s2;
    }
    return 2.0 * sum + e * kLn2;
}

double exp2(double x) { return exp(x * kLn2); }

double semitones(double n) { return exp2(n / 12.0); }

double midiHz(double note) { return 440.0 * semitones(note - 69.0); }

std::uint64_t Rng::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Rng::uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

}  // namespace det
