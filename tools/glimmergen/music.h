#pragma once
// The soundtrack: about 186 s of 44.1 kHz stereo music written from the show's cue tables, so
// every cue is a musical event on its tick (scene starts change the section, glow-sprite cues are
// chord stabs, light-bar cues percussive hits, jitter cues impacts, tint flashes swells).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace music {

inline constexpr int kRate = 44100;
inline constexpr std::int64_t kFrames = 186 * kRate;  // 8,202,600 frames
// One tick of the demo clock is 14 ms: 617.4 frames.
inline constexpr double kFramesPerTick = 617.4;

inline std::int64_t tickToFrame(double tick) { return static_cast<std::int64_t>(std::llround(tick * kFramesPerTick)); }

struct Soundtrack {
    std::vector<std::int16_t> pcm;  // interleaved left, right
    double peakDbfs = 0;
    double limitedPercent = 0;  // share of the time the limiter holds the level down by over 2 dB
    int cuesChecked = 0;
    std::vector<int> quietCues;  // cues whose onset does not stand out (see cueRise)
};

Soundtrack compose();

// Every cue tick of every list, ascending, each tick once.
std::vector<int> allCueTicks();

// How much louder the music is just after a tick than just before it: the RMS over the 6 ticks
// from the tick, divided by the RMS over ticks -9 to -3 (skipping the smear of an encoder's
// pre-echo). Works on interleaved stereo samples of any arithmetic type.
template <typename Sample>
double cueRise(const std::vector<Sample>& interleaved, int tick) {
    auto rms = [&](double fromTick, double toTick) {
        std::int64_t a = std::max<std::int64_t>(0, tickToFrame(fromTick));
        std::int64_t b = std::min<std::int64_t>(static_cast<std::int64_t>(interleaved.size() / 2), tickToFrame(toTick));
        double sum = 0;
        for (std::int64_t i = a; i < b; ++i) {
            double l = interleaved[2 * i], r = interleaved[2 * i + 1];
            sum += l * l + r * r;
        }
        return b > a ? std::sqrt(sum / double(2 * (b - a))) : 0.0;
    };
    double before = rms(tick - 9, tick - 3), after = rms(tick, tick + 6);
    return after / std::max(before, 1e-9);
}

// The cues whose rise is checked: those with no other cue in the 12 ticks before them.
std::vector<int> isolatedCueTicks();
inline constexpr double kMinCueRise = 1.4;

}  // namespace music
