#include "music.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "detmath.h"
#include "show/cues.h"
#include "synth.h"

namespace music {
namespace {

using synth::Placement;
using synth::Stereo;

// ---- harmony -------------------------------------------------------------------------------

struct Chord {
    int bass;                 // MIDI note of the bass root
    std::array<int, 4> pad;   // pad voicing, ascending
};

constexpr Chord kDm9{38, {62, 65, 69, 76}};
constexpr Chord kDm{38, {57, 62, 65, 69}};
constexpr Chord kBb{34, {58, 62, 65, 70}};
constexpr Chord kBbmaj7{34, {58, 62, 65, 69}};
constexpr Chord kGm7{43, {58, 62, 65, 67}};
constexpr Chord kA7sus{33, {57, 62, 64, 67}};
constexpr Chord kA7{33, {57, 61, 64, 67}};
constexpr Chord kF{41, {57, 60, 65, 69}};
constexpr Chord kFmaj7{41, {60, 64, 65, 69}};
constexpr Chord kC{36, {55, 60, 64, 67}};
constexpr Chord kCadd9{36, {55, 60, 62, 64}};
constexpr Chord kDmaj{38, {62, 66, 69, 74}};

// ---- sections ------------------------------------------------------------------------------

// One part of the show's music. Patterns have one character per sixteenth of a bar; a section
// that keeps the harmony goes on with the chord cycle of the one before it.
struct Section {
    int startTick;
    bool keepHarmony;
    std::array<Chord, 4> chords;
    std::string_view kick, snare, hat, openHat, shaker, rim;
    std::string_view bass;  // R root, O octave, 5 fifth, - hold, . rest
    std::string_view arp;
    double padLevel, padCutoff, bassLevel, drumLevel;
};

constexpr std::string_view kNone = "................";

const std::array<Section, 12>& sections() {
    static const std::array<Section, 12> table = {{
        // Intro: pads and stabs, a bass note per bar.
        {0, false, {kDm9, kBbmaj7, kGm7, kA7sus}, kNone, kNone, kNone, kNone, kNone, kNone,
         "R---------------", kNone, 0.11, 900, 0.55, 0.0},
        {954, true, {}, kNone, kNone, kNone, kNone, "..x...x...x...x.", kNone,
         "R---------------", kNone, 0.11, 1100, 0.6, 0.7},
        // Scene 0: the beat comes in.
        {1704, false, {kDm, kBb, kF, kC}, "x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.x.", kNone,
         kNone, kNone, "R.R.O.R.R.R.5.O.", kNone, 0.10, 1300, 0.8, 1.0},
        // Scene 1: spiral flight, four on the floor with an arpeggio.
        {3235, false, {kGm7, kDm, kBbmaj7, kA7}, "x...x...x...x...", "....x.......x...", "xxxxxxxxxxxxxxxx",
         kNone, kNone, kNone, "R.RRR.RRR.RRO.R.", "xxxxxxxxxxxxxxxx", 0.09, 1500, 0.8, 1.0},
        // Scene 2: array rush, busier.
        {6320, false, {kDm, kC, kBb, kA7}, "x...x...x...x.x.", "....x.......x..x", "x.x.x.x.x.x.x.x.",
         "..x...x...x...x.", kNone, kNone, "R.R.O.R.R.R.O.RO", "xxxxxxxxxxxxxxxx", 0.09, 1800, 0.85, 1.0},
        // The picture darkens: drums and bass drop out.
        {7700, true, {}, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, 0.08, 700, 0.0, 0.0},
        // Scene 3: bursts over a half-time beat.
        {7825, false, {kBbmaj7, kC, kDm, kDm}, "x.........x.....", "........x.......", "x.x.x.x.x.x.x.x.",
         kNone, kNone, kNone, "R-------R-----O-", kNone, 0.10, 1400, 0.8, 0.9},
        // Scene 4: drift, lighter and more open.
        {9150, false, {kFmaj7, kCadd9, kGm7, kDm9}, "x.......x.......", kNone, kNone, kNone,
         "x.x.x.x.x.x.x.x.", "....x.......x...", "R-------5-------", "x.x.x.x.x.x.x.x.", 0.11, 2000, 0.7, 0.8},
        {10640, true, {}, kNone, kNone, kNone, kNone, kNone, kNone, "R---------------", kNone, 0.10, 1200,
         0.4, 0.0},
        // Title card: a soft pulse, then only pads and bells.
        {10912, false, {kDm9, kBbmaj7, kFmaj7, kA7sus}, "x...............", kNone, kNone, kNone,
         "..x...x...x...x.", kNone, "R---------------", kNone, 0.11, 1500, 0.6, 0.7},
        {11620, true, {}, kNone, kNone, kNone, kNone, kNone, kNone, "R---------------", kNone, 0.11, 1700, 0.5,
         0.0},
        // Closing pause: D major rings out.
        {12755, false, {kDmaj, kDmaj, kDmaj, kDmaj}, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone,
         0.10, 1400, 0.0, 0.0},
    }};
    return table;
}

// ---- the beat grid -------------------------------------------------------------------------

// Eight beats between the starts of consecutive glow-sprite groups (about 381 ticks, 90 beats a
// minute), so the groove breathes with the cue table instead of drifting away from it.
class Grid {
public:
    Grid() {
        for (std::size_t i = 0; i < cues::count(cues::glowSprite); i += 3) anchors_.push_back(cues::glowSprite[i]);
        while (anchors_.back() < 14000) anchors_.push_back(anchors_.back() + 381.0);
    }
    double beatTick(double beat) const {
        double phrase = std::floor(beat / 8.0);
        auto k = static_cast<std::size_t>(std::max(0.0, phrase));
        double a = anchors_[k], b = anchors_[k + 1];
        return a + (beat - 8.0 * static_cast<double>(k)) * (b - a) / 8.0;
    }
    double stepTick(int step) const { return beatTick(step / 4.0); }
    // The bar (four beats) whose start is nearest to a tick.
    int nearestBar(double tick) const {
        int best = 0;
        for (int m = 0; beatTick(4.0 * m) < tick + 400; ++m)
            if (std::fabs(beatTick(4.0 * m) - tick) < std::fabs(beatTick(4.0 * best) - tick)) best = m;
        return best;
    }
    int barAt(double tick) const {
        int m = 0;
        while (beatTick(4.0 * (m + 1)) <= tick) ++m;
        return m;
    }

private:
    std::vector<double> anchors_;
};

// ---- the score -----------------------------------------------------------------------------

class Score {
public:
    explicit Score(synth::Mixer& mix) : mix_(mix) {
        cueTicks_ = allCueTicks();
        for (const Section& s : sections()) {
            int bar = s.keepHarmony && !harmonyBar_.empty() ? harmonyBar_.back() : grid_.nearestBar(s.startTick);
            int owner = s.keepHarmony && !harmonyOwner_.empty() ? harmonyOwner_.back()
                                                                 : static_cast<int>(harmonyOwner_.size());
            harmonyBar_.push_back(bar);
            harmonyOwner_.push_back(owner);
        }
    }

    void background();
    void cueEvents();

private:
    std::size_t sectionAt(double tick) const {
        std::size_t i = 0;
        while (i + 1 < sections().size() && sections()[i + 1].startTick <= tick) ++i;
        return i;
    }
    const Chord& chordAt(double tick) const {
        if (tick < grid_.beatTick(0)) return kDm9;
        int bar = grid_.barAt(tick);
        std::size_t owner = 0;
        for (std::size_t i = 0; i < sections().size(); ++i)
            if (!sections()[i].keepHarmony && harmonyBar_[i] <= bar) owner = i;
        return sections()[owner].chords[static_cast<std::size_t>(bar - harmonyBar_[owner]) % 4];
    }
    // Grid events that fall just before a cue wait for it, and those just after it join it, so
    // the cue is where the music moves.
    double yieldToCue(double tick) const {
        auto next = std::lower_bound(cueTicks_.begin(), cueTicks_.end(), static_cast<int>(std::ceil(tick)));
        if (next != cueTicks_.end() && *next - tick <= 8.0) return *next;
        if (next != cueTicks_.begin() && tick - *(next - 1) <= 3.0) return *(next - 1);
        return tick;
    }
    bool justBeforeCue(double tick) const {
        auto next = std::lower_bound(cueTicks_.begin(), cueTicks_.end(), static_cast<int>(std::ceil(tick)));
        return next != cueTicks_.end() && *next > tick && *next - tick <= 7.0;
    }
    std::uint64_t seed() { return ++seed_ * 0x2545F4914F6CDD1Dull; }
    void add(double tick, const std::vector<float>& sound, Placement at) { mix_.add(tickToFrame(tick), sound, at); }
    void add(double tick, const Stereo& sound, Placement at) { mix_.add(tickToFrame(tick), sound, at); }

    void pads();
    void bassLine();
    void drums();
    void arpeggio();

    synth::Mixer& mix_;
    Grid grid_;
    std::vector<int> cueTicks_;
    std::vector<int> harmonyBar_, harmonyOwner_;
    std::uint64_t seed_ = 0;
};

void Score::pads() {
    // Before the first bar the opening chord fades in.
    double first = grid_.beatTick(0);
    for (int note : kDm9.pad)
        add(0, synth::pad(det::midiHz(note), tickToFrame(first), 0.10, 800, 2.4, 0.8), {1.0f, 0, 0.35f, 0, true});
    int lastBar = grid_.barAt(cues::kShowEnd);
    for (int bar = 0; bar <= lastBar; ++bar) {
        double start = grid_.beatTick(4.0 * bar), end = grid_.beatTick(4.0 * bar + 4);
        const Section& s = sections()[sectionAt(start)];
        const Chord& c = chordAt(start);
        bool last = bar == lastBar;
        std::int64_t length = tickToFrame(last ? cues::kShowEnd : end) - tickToFrame(start);
        double release = last ? 2.2 : 0.9;
        for (std::size_t k = 0; k < c.pad.size(); ++k) {
            float pan = static_cast<float>(k) * 0.3f - 0.45f;
            add(start, synth::pad(det::midiHz(c.pad[k]), length, s.padLevel, s.padCutoff, 0.35, release),
                {1.0f, pan, 0.4f, 0.0f, true});
        }
    }
}

void Score::bassLine() {
    int lastStep = static_cast<int>(4 * std::floor(grid_.barAt(cues::kShowEnd) * 4.0 + 4));
    for (int step = 0; step < lastStep; ++step) {
        double tick = grid_.stepTick(step);
        const Section& s = sections()[sectionAt(tick)];
        char c = s.bass[static_cast<std::size_t>(step % 16)];
        if (s.bassLevel <= 0 || (c != 'R' && c != 'O' && c != '5')) continue;
        int hold = 1;
        while (step % 16 + hold < 16 && s.bass[static_cast<std::size_t>(step % 16 + hold)] == '-') ++hold;
        const Chord& chord = chordAt(tick);
        int note = chord.bass + (c == 'O' ? 12 : c == '5' ? 7 : 0);
        double at = yieldToCue(tick);
        double end = grid_.stepTick(step + hold) - 1.5;
        if (end <= at + 2) continue;
        std::int64_t length = tickToFrame(end) - tickToFrame(at);
        add(at, synth::bass(det::midiHz(note), length, 0.42 * s.bassLevel, hold > 4 ? 0.5 : 1.0),
            {1.0f, 0, 0.04f, 0, true});
    }
}

void Score::drums() {
    int lastStep = static_cast<int>(grid_.barAt(cues::kShowEnd) * 16 + 16);
    for (int step = 0; step < lastStep; ++step) {
        double tick = grid_.stepTick(step);
        const Section& s = sections()[sectionAt(tick)];
        if (s.drumLevel <= 0) continue;
        auto on = [&](std::string_view pattern) { return pattern[static_cast<std::size_t>(step % 16)] == 'x'; };
        double level = s.drumLevel;
        bool accent = step % 4 == 0;
        if (on(s.kick)) add(yieldToCue(tick), synth::kick(0.8 * level, seed()), {1.0f, 0, 0.05f, 0, true});
        if (on(s.snare)) add(yieldToCue(tick), synth::snare(0.45 * level, seed()), {1.0f, 0.05f, 0.22f, 0, true});
        if (justBeforeCue(tick)) continue;
        if (on(s.hat)) add(tick, synth::hat((accent ? 0.16 : 0.10) * level, false, seed()), {1.0f, 0.3f, 0.05f, 0, true});
        if (on(s.openHat)) add(tick, synth::hat(0.12 * level, true, seed()), {1.0f, -0.25f, 0.1f, 0, true});
        if (on(s.shaker)) add(tick, synth::shaker((accent ? 0.22 : 0.15) * level, seed()), {1.0f, -0.35f, 0.1f, 0, true});
        if (on(s.rim)) add(tick, synth::rim(0.13 * level), {1.0f, 0.2f, 0.25f, 0, true});
    }
}

void Score::arpeggio() {
    static constexpr int order[8] = {0, 2, 1, 3, 2, 0, 3, 1};
    int lastStep = static_cast<int>(grid_.barAt(cues::kShowEnd) * 16 + 16);
    for (int step = 0; step < lastStep; ++step) {
        double tick = grid_.stepTick(step);
        const Section& s = sections()[sectionAt(tick)];
        if (s.arp[static_cast<std::size_t>(step % 16)] != 'x') continue;
        const Chord& c = chordAt(tick);
        int note = c.pad[static_cast<std::size_t>(order[step % 8])] + 12 + (step % 16 >= 8 ? 12 : 0);
        double level = step % 4 == 0 ? 0.11 : 0.075;
        float pan = (step % 2 == 0) ? -0.4f : 0.4f;
        add(yieldToCue(tick), synth::pluck(det::midiHz(note), level, 0.11, 0.5), {1.0f, pan, 0.12f, 0.25f, true});
    }
}

void Score::background() {
    pads();
    bassLine();
    drums();
    arpeggio();
}

void Score::cueEvents() {
    using namespace cues;
    auto chordNotes = [&](int tick, int shift) {
        std::vector<double> hz;
        for (int n : chordAt(tick).pad) hz.push_back(det::midiHz(n + shift));
        return hz;
    };

    // Glow sprites: a chord stab, voiced higher on each cue of a group, panned to its sprite.
    static constexpr int spriteX[13] = {-255, -75, -25, 50, -50, 25, 75, -75, -25, 50, -50, 25, 75};
    for (std::size_t i = 0; i < count(glowSprite); ++i) {
        int tick = glowSprite[i];
        const Chord& c = chordAt(tick);
        float pan = static_cast<float>(spriteX[1 + i % 12]) / 100.0f;
        for (std::size_t k = 0; k < c.pad.size(); ++k) {
            int note = c.pad[k] + 12 + ((k < i % 3) ? 12 : 0);
            add(tick, synth::pluck(det::midiHz(note), 0.3, 0.32, 0.9), {1.0f, pan, 0.3f, 0.15f});
        }
        add(tick, synth::bell(det::midiHz(c.pad[3] + 24), 0.07, 0.5, 3.5, 1.2), {1.0f, -pan, 0.4f, 0.2f});
    }

    // Light bars: a tuned metal hit, climbing through the chord as the twelve bars light in turn.
    static constexpr int barX[12] = {-39, -37, -28, 28, 32, -39, 39, 35, 30, -25, -35, -30};
    for (std::size_t i = 0; i < count(lightBar); ++i) {
        int tick = lightBar[i];
        std::size_t bar = i % 12;
        const Chord& c = chordAt(tick);
        int note = c.pad[bar % 4] + 12 * static_cast<int>(bar / 4);
        add(tick, synth::metalHit(det::midiHz(note), 0.75), {1.0f, barX[bar] / 45.0f, 0.25f, 0.1f});
        add(tick, synth::hat(0.12, false, seed()), {1.0f, barX[bar] / 45.0f, 0.1f, 0});
    }

    // Jitter: impacts, heavier for the larger kicks of the line field.
    static constexpr int jitterAmount[20] = {-100, 25, 0, 0, 0, 50, -50, 50, -45, 35,
                                             15,   15, 15, 15, -20, -25, 20, 50, 0, -70};
    for (std::size_t i = 0; i < count(jitter); ++i) {
        double strength = 0.6 + 0.4 * std::min(1.0, std::abs(jitterAmount[i % 20]) / 100.0);
        add(jitter[i], synth::boom(0.55 * strength, seed()), {1.0f, 0, 0.35f, 0});
        add(jitter[i], synth::crash(0.16 * strength, 0.8, seed()), {1.0f, 0, 0.3f, 0});
    }

    // Tint flashes: a bell, then the chord swells with the colour and stops when it ends.
    for (std::size_t i = 0; i < count(tintFlash); ++i) {
        int tick = tintFlash[i];
        const Chord& c = chordAt(tick);
        add(tick, synth::bell(det::midiHz(c.pad[2] + 12), 0.3, 1.2, 1.41, 2.2), {1.0f, -0.2f, 0.45f, 0.3f});
        add(tick, synth::bell(det::midiHz(c.pad[0] + 24), 0.18, 1.0, 3.5, 1.0), {1.0f, 0.3f, 0.45f, 0.3f});
        add(tick, synth::swell(chordNotes(tick, 0), tickToFrame(158), tickToFrame(350), 0.045), {1.0f, 0, 0.4f, 0});
    }

    // Scene 0: each main cue a crash; the two zoom cues also boom and rise.
    for (std::size_t i = 0; i < count(scene0Main); ++i) {
        add(scene0Main[i], synth::kick(0.9, seed()), {1.0f, 0, 0.1f, 0});
        add(scene0Main[i], synth::crash(0.26, 1.0, seed()), {1.0f, 0, 0.3f, 0});
    }
    for (std::size_t i = 0; i < count(scene0Zoom); ++i) {
        add(scene0Zoom[i], synth::boom(0.5, seed()), {1.0f, 0, 0.4f, 0});
        add(scene0Zoom[i], synth::sweep(tickToFrame(30), 500, 6000, 0.3, true, seed()), {1.0f, 0, 0.3f, 0.2f});
    }
    // Scene 1: every flight segment starts with a crash and a falling sweep.
    for (std::size_t i = 0; i < count(scene1); ++i) {
        add(scene1[i], synth::kick(0.9, seed()), {1.0f, 0, 0.1f, 0});
        add(scene1[i], synth::crash(0.25, 1.1, seed()), {1.0f, 0, 0.3f, 0});
        add(scene1[i], synth::sweep(tickToFrame(80), 6000, 300, 0.25, false, seed()), {1.0f, 0, 0.3f, 0.2f});
    }
    // Scene 2: the lattice snaps back and shoots away: a zap.
    for (std::size_t i = 0; i < count(scene2Main); ++i) {
        add(scene2Main[i], synth::kick(0.9, seed()), {1.0f, 0, 0.1f, 0});
        add(scene2Main[i], synth::zap(0.3), {1.0f, 0, 0.3f, 0.35f});
        add(scene2Main[i], synth::hat(0.15, true, seed()), {1.0f, 0.2f, 0.2f, 0});
    }
    // Scene 3: bursts hit hard, with a low brass-like chord.
    for (std::size_t i = 0; i < count(scene3); ++i) {
        int tick = scene3[i];
        add(tick, synth::kick(0.9, seed()), {1.0f, 0, 0.1f, 0});
        add(tick, synth::boom(0.45, seed()), {1.0f, 0, 0.4f, 0});
        add(tick, synth::crash(0.3, 1.4, seed()), {1.0f, 0, 0.35f, 0});
        for (int n : chordAt(tick).pad)
            add(tick, synth::pluck(det::midiHz(n - 12), 0.14, 0.6, 0.45), {1.0f, 0, 0.4f, 0.1f});
    }
    // Scene 4: a gong at each change of drift speed.
    for (std::size_t i = 0; i < count(scene4Main); ++i) {
        int tick = scene4Main[i];
        add(tick, synth::gong(det::midiHz(chordAt(tick).bass + 24), 0.3), {1.0f, 0, 0.5f, 0.1f});
        add(tick, synth::kick(0.8, seed()), {1.0f, 0, 0.1f, 0});
        add(tick, synth::crash(0.2, 0.9, seed()), {1.0f, 0, 0.3f, 0});
    }
    // Fades: the picture darkens under a falling sweep and a low hit.
    for (int tick : {scene2Fade[0], scene4Fade[0]}) {
        add(tick, synth::sweep(tickToFrame(110), 4000, 180, 0.32, false, seed()), {1.0f, 0, 0.4f, 0.2f});
        add(tick, synth::boom(0.4, seed()), {1.0f, 0, 0.4f, 0});
    }
    // Line-field ramp: a riser into the first beat.
    add(lineFieldRamp[0], synth::sweep(tickToFrame(scene0Main[0] - lineFieldRamp[0]), 300, 7000, 0.28, true, seed()),
        {1.0f, 0, 0.3f, 0.1f});
    add(lineFieldRamp[0], synth::metalHit(det::midiHz(74), 0.25), {1.0f, 0, 0.4f, 0.3f});

    // Title card: a gong, a swell when the line field moves, the final chord at the third cue.
    add(title[0], synth::gong(det::midiHz(50), 0.22), {1.0f, 0, 0.5f, 0.1f});
    add(title[0], synth::crash(0.22, 1.6, seed()), {1.0f, 0, 0.35f, 0});
    add(title[0], synth::kick(0.8, seed()), {1.0f, 0, 0.1f, 0});
    add(title[1], synth::bell(det::midiHz(chordAt(title[1]).pad[3] + 12), 0.28, 1.3, 3.5, 1.5),
        {1.0f, 0.2f, 0.5f, 0.3f});
    add(title[1], synth::swell(chordNotes(title[1], 0), tickToFrame(150), tickToFrame(320), 0.04), {1.0f, 0, 0.4f, 0});
    for (int n : kDmaj.pad) add(title[2], synth::pluck(det::midiHz(n), 0.15, 0.9, 0.6), {1.0f, 0, 0.45f, 0.3f});
    add(title[2], synth::gong(det::midiHz(38), 0.3), {1.0f, 0, 0.5f, 0});
    add(title[2], synth::crash(0.2, 1.8, seed()), {1.0f, 0, 0.4f, 0});

    // Glow fade: a falling chime as the sprites go out.
    {
        const Chord& c = chordAt(glowFade[0]);
        for (int k = 0; k < 4; ++k)
            add(glowFade[0] + 12 * k, synth::bell(det::midiHz(c.pad[static_cast<std::size_t>(3 - k)] + 24),
                                                  k == 0 ? 0.26 : 0.14, 0.9, 3.5, 1.2),
                {1.0f, 0.4f - 0.25f * k, 0.5f, 0.3f});
    }

    // The end: one low stroke and a high D that ring out.
    add(end[0], synth::boom(0.45, seed()), {1.0f, 0, 0.5f, 0});
    add(end[0], synth::bell(det::midiHz(86), 0.25, 0.9, 3.5, 1.2), {1.0f, 0, 0.5f, 0.2f});
    add(end[0], synth::pluck(det::midiHz(50), 0.25, 0.9, 0.4), {1.0f, 0, 0.4f, 0});
}

// Brings the mix to a steady loudness, catches the peaks with a smooth limiter and converts to
// 16-bit samples with the peak at about -3 dBFS.
std::vector<std::int16_t> master(Stereo& mix, double& peakDbfs, double& limitedPercent) {
    const std::int64_t n = static_cast<std::int64_t>(mix.size());
    // Silence at the very end: the last second fades out.
    std::int64_t fadeFrom = n - kRate;
    for (std::int64_t i = fadeFrom; i < n; ++i) {
        float g = static_cast<float>(n - i) / static_cast<float>(kRate);
        mix.l[i] *= g;
        mix.r[i] *= g;
    }
    double sum = 0;
    for (std::int64_t i = 0; i < n; ++i) sum += double(mix.l[i]) * mix.l[i] + double(mix.r[i]) * mix.r[i];
    double rms = std::sqrt(sum / double(2 * n));
    const double targetRms = 0.12, ceiling = 0.70;
    double pre = targetRms / std::max(rms, 1e-9);

    // Peak envelope that rises ahead of a peak (backward pass) and releases slowly (forward).
    std::vector<float> env(static_cast<std::size_t>(n));
    float ahead = static_cast<float>(synth::decayFactor(0.0015));
    float release = static_cast<float>(synth::decayFactor(0.12));
    float hold = 0;
    for (std::int64_t i = n - 1; i >= 0; --i) {
        float p = static_cast<float>(std::max(std::fabs(mix.l[i]), std::fabs(mix.r[i])) * pre);
        hold = std::max(p, hold * ahead);
        env[i] = hold;
    }
    hold = 0;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(2 * n));
    double peak = 0;
    std::int64_t limited = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        hold = std::max(env[i], hold * release);
        double reduction = hold > ceiling ? ceiling / hold : 1.0;
        if (reduction < 0.8) ++limited;
        double gain = pre * reduction;
        double l = std::clamp(mix.l[i] * gain, -ceiling, ceiling);
        double r = std::clamp(mix.r[i] * gain, -ceiling, ceiling);
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        pcm[2 * i] = static_cast<std::int16_t>(std::lrint(l * 32767.0));
        pcm[2 * i + 1] = static_cast<std::int16_t>(std::lrint(r * 32767.0));
    }
    limitedPercent = 100.0 * static_cast<double>(limited) / static_cast<double>(n);
    peakDbfs = 20.0 * det::log(std::max(peak, 1e-9)) / det::log(10.0);
    return pcm;
}

// The music breathes in just before every cue: the background dips by half over the 14 ticks
// before the cue (ringing tails less) and comes back within 3 ms of it, so each cue lands as an
// accent even in a busy bar or under the tail of the previous hit.
std::vector<float> duckCurve() {
    std::vector<float> gain(static_cast<std::size_t>(kFrames), 1.0f);
    const double depth = 0.5;
    const std::int64_t rise = 132;
    for (int tick : allCueTicks()) {
        std::int64_t from = tickToFrame(tick - 14), low = tickToFrame(tick - 9), at = tickToFrame(tick);
        for (std::int64_t i = std::max<std::int64_t>(0, from); i < std::min(kFrames, at + rise); ++i) {
            double g;
            if (i < low) g = 1.0 - depth * double(i - from) / double(low - from);
            else if (i < at) g = 1.0 - depth;
            else g = 1.0 - depth * (1.0 - double(i - at) / double(rise));
            gain[static_cast<std::size_t>(i)] = std::min(gain[static_cast<std::size_t>(i)], static_cast<float>(g));
        }
    }
    return gain;
}

}  // namespace

std::vector<int> allCueTicks() {
    std::vector<int> ticks;
    auto take = [&](const std::int32_t* list) {
        for (; *list != cues::kEndMarker; ++list) ticks.push_back(*list);
    };
    using namespace cues;
    for (const std::int32_t* list : {scene0Main, scene0Zoom, scene1, scene2Main, scene2Fade, scene3, scene4Main,
                                     scene4Fade, title, end, lineFieldRamp, jitter, tintFlash, glowFade, lightBar,
                                     glowSprite})
        take(list);
    std::sort(ticks.begin(), ticks.end());
    ticks.erase(std::unique(ticks.begin(), ticks.end()), ticks.end());
    return ticks;
}

std::vector<int> isolatedCueTicks() {
    std::vector<int> all = allCueTicks(), out;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (i == 0 || all[i] - all[i - 1] > 12) out.push_back(all[i]);
    return out;
}

Soundtrack compose() {
    synth::Mixer mix(kFrames);
    Score score(mix);
    score.background();
    score.cueEvents();
    Stereo stereo = mix.finish(0.5, duckCurve());
    Soundtrack out;
    out.pcm = master(stereo, out.peakDbfs, out.limitedPercent);
    for (int tick : isolatedCueTicks()) {
        ++out.cuesChecked;
        if (cueRise(out.pcm, tick) < kMinCueRise) out.quietCues.push_back(tick);
    }
    return out;
}

}  // namespace music
