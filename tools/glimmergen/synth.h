#pragma once
// Building blocks of the soundtrack: a stereo mix bus with reverb and delay sends, and the
// instruments, each of which renders one note or hit into a buffer. Everything runs on the
// deterministic arithmetic of detmath.h so the music has the same bits on every machine.
#include <cstdint>
#include <vector>

#include "detmath.h"

namespace synth {

inline constexpr int kRate = 44100;

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(std::size_t n = 0) : l(n, 0.0f), r(n, 0.0f) {}
    std::size_t size() const { return l.size(); }
};

// Where a rendered sound goes: pan -1 (left) .. 1 (right), and how much of it feeds the reverb
// and the echo.
struct Placement {
    float gain = 1.0f;
    float pan = 0.0f;
    float reverb = 0.0f;
    float delay = 0.0f;
    // Background parts (pads, bass, beat) may be ducked under the cue events; cue events never are.
    bool groove = false;
};

class Mixer {
public:
    explicit Mixer(std::int64_t frames);
    void add(std::int64_t start, const std::vector<float>& mono, const Placement& at);
    void add(std::int64_t start, const Stereo& sound, const Placement& at);
    // Runs the echo and the reverb over their sends and returns the finished stereo mix, with the
    // background scaled by grooveGain (one factor per frame) and the rest by a shallower dip.
    Stereo finish(double echoSeconds, const std::vector<float>& grooveGain);
    std::int64_t frames() const { return frames_; }

private:
    std::int64_t frames_;
    Stereo dry_, groove_, reverbSend_, delaySend_;
};

// A second-order state-variable filter (trapezoidal), low-, band- and high-pass at once.
class Svf {
public:
    void set(double cutoffHz, double q);
    void process(float in);
    float low = 0, band = 0, high = 0;

private:
    double a1_ = 0, a2_ = 0, a3_ = 0, k_ = 1;
    double ic1_ = 0, ic2_ = 0;
};

// Per-sample factor of an exponential decay with time constant tau seconds.
double decayFactor(double tauSeconds);
float sine(double phaseCycles);

// Instruments. Lengths are in samples; `hz` is the fundamental.
std::vector<float> kick(double amp, std::uint64_t seed);
std::vector<float> snare(double amp, std::uint64_t seed);
std::vector<float> hat(double amp, bool open, std::uint64_t seed);
std::vector<float> shaker(double amp, std::uint64_t seed);
std::vector<float> rim(double amp);
Stereo crash(double amp, double tau, std::uint64_t seed);
std::vector<float> bass(double hz, std::int64_t length, double amp, double brightness);
Stereo pad(double hz, std::int64_t length, double amp, double cutoffHz, double attack, double release);
std::vector<float> pluck(double hz, double amp, double decay, double brightness);
std::vector<float> bell(double hz, double amp, double decay, double ratio, double index);
std::vector<float> metalHit(double hz, double amp);
std::vector<float> boom(double amp, std::uint64_t seed);
// Filtered noise sweeping from fromHz to toHz over `length` samples; the level follows the sweep
// up (rising) or down.
std::vector<float> sweep(std::int64_t length, double fromHz, double toHz, double amp, bool rising,
                         std::uint64_t seed);
std::vector<float> zap(double amp);
std::vector<float> gong(double hz, double amp);
// A chord that swells to its peak after `peak` samples, falls until `end`, then stops quickly.
Stereo swell(const std::vector<double>& hz, std::int64_t peak, std::int64_t end, double amp);

}  // namespace synth
