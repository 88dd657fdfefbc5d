#include "synth.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace synth {
namespace {

constexpr int kSineSize = 4096;

const std::array<float, kSineSize + 1>& sineTable() {
    static const std::array<float, kSineSize + 1> table = [] {
        std::array<float, kSineSize + 1> t{};
        for (int i = 0; i <= kSineSize; ++i) t[i] = static_cast<float>(det::sin(det::kTwoPi * i / kSineSize));
        return t;
    }();
    return table;
}

double wrap(double phase) { return phase - std::floor(phase); }

// Band-limited step correction for the sawtooth (polyBLEP).
double blep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Saw {
    double phase = 0, step = 0;
    Saw(double hz, double startPhase) : phase(startPhase), step(hz / kRate) {}
    float next() {
        double v = 2.0 * phase - 1.0 - blep(phase, step);
        phase += step;
        if (phase >= 1.0) phase -= 1.0;
        return static_cast<float>(v);
    }
};

std::int64_t seconds(double s) { return static_cast<std::int64_t>(s * kRate); }

float softClip(float x) { return x / (1.0f + std::fabs(x)); }

}  // namespace

float sine(double phaseCycles) {
    const auto& t = sineTable();
    double p = wrap(phaseCycles) * kSineSize;
    int i = static_cast<int>(p);
    float f = static_cast<float>(p - i);
    return t[i] + (t[i + 1] - t[i]) * f;
}

double decayFactor(double tauSeconds) { return det::exp(-1.0 / (tauSeconds * kRate)); }

void Svf::set(double cutoffHz, double q) {
    cutoffHz = std::clamp(cutoffHz, 10.0, kRate * 0.45);
    double g = det::tan(det::kPi * cutoffHz / kRate);
    k_ = 1.0 / q;
    a1_ = 1.0 / (1.0 + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
}

void Svf::process(float in) {
    double v3 = in - ic2_;
    double v1 = a1_ * ic1_ + a2_ * v3;
    double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0 * v1 - ic1_;
    ic2_ = 2.0 * v2 - ic2_;
    low = static_cast<float>(v2);
    band = static_cast<float>(v1);
    high = static_cast<float>(in - k_ * v1 - v2);
}

// ---- mix bus -------------------------------------------------------------------------------

Mixer::Mixer(std::int64_t frames)
    : frames_(frames), dry_(frames), groove_(frames), reverbSend_(frames), delaySend_(frames) {}

void Mixer::add(std::int64_t start, const std::vector<float>& mono, const Placement& at) {
    double angle = (at.pan + 1.0) * det::kPi / 4.0;
    float gl = static_cast<float>(det::cos(angle) * 1.41421356) * at.gain;
    float gr = static_cast<float>(det::sin(angle) * 1.41421356) * at.gain;
    std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(mono.size()), frames_ - start);
    std::vector<float>& dryL = at.groove ? groove_.l : dry_.l;
    std::vector<float>& dryR = at.groove ? groove_.r : dry_.r;
    for (std::int64_t i = std::max<std::int64_t>(0, -start); i < n; ++i) {
        float l = mono[i] * gl, r = mono[i] * gr;
        std::size_t o = static_cast<std::size_t>(start + i);
        dryL[o] += l;
        dryR[o] += r;
        reverbSend_.l[o] += l * at.reverb;
        reverbSend_.r[o] += r * at.reverb;
        delaySend_.l[o] += l * at.delay;
        delaySend_.r[o] += r * at.delay;
    }
}

void Mixer::add(std::int64_t start, const Stereo& sound, const Placement& at) {
    std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(sound.size()), frames_ - start);
    std::vector<float>& dryL = at.groove ? groove_.l : dry_.l;
    std::vector<float>& dryR = at.groove ? groove_.r : dry_.r;
    for (std::int64_t i = std::max<std::int64_t>(0, -start); i < n; ++i) {
        float l = sound.l[i] * at.gain, r = sound.r[i] * at.gain;
        std::size_t o = static_cast<std::size_t>(start + i);
        dryL[o] += l;
        dryR[o] += r;
        reverbSend_.l[o] += l * at.reverb;
        reverbSend_.r[o] += r * at.reverb;
        delaySend_.l[o] += l * at.delay;
        delaySend_.r[o] += r * at.delay;
    }
}

namespace {

// Freeverb-style room: eight damped combs and four allpasses per channel.
class Reverb {
public:
    explicit Reverb(int spread) {
        static constexpr int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static constexpr int passes[4] = {556, 441, 341, 225};
        for (int i = 0; i < 8; ++i) comb_[i].buf.assign(combs[i] + spread, 0.0f);
        for (int i = 0; i < 4; ++i) pass_[i].buf.assign(passes[i] + spread, 0.0f);
    }
    float process(float in) {
        float out = 0;
        for (auto& c : comb_) {
            float y = c.buf[c.i];
            c.store = y * (1.0f - kDamp) + c.store * kDamp;
            c.buf[c.i] = in + c.store * kFeedback;
            if (++c.i == c.buf.size()) c.i = 0;
            out += y;
        }
        for (auto& p : pass_) {
            float b = p.buf[p.i];
            float y = b - out;
            p.buf[p.i] = out + b * 0.5f;
            if (++p.i == p.buf.size()) p.i = 0;
            out = y;
        }
        return out;
    }

private:
    static constexpr float kFeedback = 0.86f;
    static constexpr float kDamp = 0.35f;
    struct Line {
        std::vector<float> buf;
        std::size_t i = 0;
        float store = 0;
    };
    Line comb_[8], pass_[4];
};

}  // namespace

Stereo Mixer::finish(double echoSeconds, const std::vector<float>& grooveGain) {
    // Ping-pong echo with a darkening feedback path; its output also feeds the reverb.
    std::int64_t d = seconds(echoSeconds);
    std::vector<float> el(frames_, 0.0f), er(frames_, 0.0f);
    Svf toneL, toneR;
    toneL.set(3200, 0.7);
    toneR.set(3200, 0.7);
    for (std::int64_t i = 0; i < frames_; ++i) {
        float fl = i >= d ? er[i - d] : 0.0f;
        float fr = i >= d ? el[i - d] : 0.0f;
        toneL.process(fl);
        toneR.process(fr);
        el[i] = delaySend_.l[i] + toneL.low * 0.42f;
        er[i] = delaySend_.r[i] * 0.6f + toneR.low * 0.42f;
    }
    Reverb left(0), right(23);
    Stereo out(frames_);
    for (std::int64_t i = 0; i < frames_; ++i) {
        float echoL = i >= d ? el[i - d] : 0.0f;
        float echoR = i >= d ? er[i - d] : 0.0f;
        float inL = reverbSend_.l[i] + echoL * 0.3f, inR = reverbSend_.r[i] + echoR * 0.3f;
        float mono = (inL + inR) * 0.5f;
        float wl = left.process(mono * 0.02f + inL * 0.01f);
        float wr = right.process(mono * 0.02f + inR * 0.01f);
        // Cue events ring on under a dip, only less deeply than the background and the room.
        float g = grooveGain[i], rest = 0.3f + 0.7f * g;
        out.l[i] = (groove_.l[i] + echoL * 0.55f + wl * 0.8f) * g + dry_.l[i] * rest;
        out.r[i] = (groove_.r[i] + echoR * 0.55f + wr * 0.8f) * g + dry_.r[i] * rest;
    }
    return out;
}

// ---- drums ---------------------------------------------------------------------------------

std::vector<float> kick(double amp, std::uint64_t seed) {
    std::vector<float> out(seconds(0.55));
    det::Rng rng(seed);
    double phase = 0, pitch = 1.0, level = 1.0, click = 1.0;
    double pitchFall = decayFactor(0.032), levelFall = decayFactor(0.30), clickFall = decayFactor(0.0025);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double hz = 44.0 + 125.0 * pitch;
        phase += hz / kRate;
        double attack = std::min(1.0, i / 40.0);
        double v = sine(phase) * level * attack + rng.bipolar() * click * 0.25;
        out[i] = softClip(static_cast<float>(v * 1.6)) * static_cast<float>(amp);
        pitch *= pitchFall;
        level *= levelFall;
        click *= clickFall;
    }
    return out;
}

std::vector<float> snare(double amp, std::uint64_t seed) {
    std::vector<float> out(seconds(0.4));
    det::Rng rng(seed);
    Svf body, air;
    body.set(2400, 0.8);
    air.set(6500, 0.7);
    double phase = 0, tone = 1.0, noise = 1.0;
    double toneFall = decayFactor(0.045), noiseFall = decayFactor(0.11);
    for (std::size_t i = 0; i < out.size(); ++i) {
        phase += 185.0 / kRate;
        float n = static_cast<float>(rng.bipolar());
        body.process(n);
        air.process(n);
        double v = sine(phase) * tone * 0.55 + (body.band * 1.2 + air.high * 0.5) * noise;
        out[i] = static_cast<float>(v * amp * std::min(1.0, i / 30.0));
        tone *= toneFall;
        noise *= noiseFall;
    }
    return out;
}

std::vector<float> hat(double amp, bool open, std::uint64_t seed) {
    std::vector<float> out(seconds(open ? 0.45 : 0.09));
    det::Rng rng(seed);
    Svf hp;
    hp.set(7800, 0.9);
    double level = 1.0, fall = decayFactor(open ? 0.13 : 0.022);
    for (std::size_t i = 0; i < out.size(); ++i) {
        hp.process(static_cast<float>(rng.bipolar()));
        out[i] = static_cast<float>(hp.high * level * amp);
        level *= fall;
    }
    return out;
}

std::vector<float> shaker(double amp, std::uint64_t seed) {
    std::vector<float> out(seconds(0.08));
    det::Rng rng(seed);
    Svf bp;
    bp.set(6200, 1.8);
    double level = 1.0, fall = decayFactor(0.025);
    for (std::size_t i = 0; i < out.size(); ++i) {
        bp.process(static_cast<float>(rng.bipolar()));
        double attack = std::min(1.0, i / 200.0);
        out[i] = static_cast<float>(bp.band * level * attack * amp);
        level *= fall;
    }
    return out;
}

std::vector<float> rim(double amp) {
    std::vector<float> out(seconds(0.06));
    double phase = 0, level = 1.0, fall = decayFactor(0.012);
    for (std::size_t i = 0; i < out.size(); ++i) {
        phase += 1650.0 / kRate;
        out[i] = static_cast<float>((sine(phase) + 0.5 * sine(phase * 2.7)) * level * amp);
        level *= fall;
    }
    return out;
}

Stereo crash(double amp, double tau, std::uint64_t seed) {
    Stereo out(seconds(tau * 4.0));
    det::Rng rng(seed);
    Svf hl, hr, bl, br;
    hl.set(4800, 0.7);
    hr.set(4800, 0.7);
    bl.set(9000, 1.2);
    br.set(8200, 1.2);
    double level = 1.0, fall = decayFactor(tau);
    for (std::size_t i = 0; i < out.size(); ++i) {
        float nl = static_cast<float>(rng.bipolar()), nr = static_cast<float>(rng.bipolar());
        hl.process(nl);
        hr.process(nr);
        bl.process(nl);
        br.process(nr);
        double attack = std::min(1.0, i / 60.0);
        double g = level * attack * amp;
        out.l[i] = static_cast<float>((hl.high * 0.7 + bl.band * 0.6) * g);
        out.r[i] = static_cast<float>((hr.high * 0.7 + br.band * 0.6) * g);
        level *= fall;
    }
    return out;
}

// ---- tonal instruments ---------------------------------------------------------------------

std::vector<float> bass(double hz, std::int64_t length, double amp, double brightness) {
    std::int64_t release = seconds(0.07);
    std::vector<float> out(length + release);
    Saw saw(hz, 0.0), sawUp(hz * 1.004, 0.5);
    Svf lp;
    double phase = 0, env = 1.0, envFall = decayFactor(0.11);
    double tail = 1.0, tailFall = decayFactor(0.018);
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(out.size()); ++i) {
        if ((i & 15) == 0) lp.set(110.0 + brightness * (250.0 + 1500.0 * env), 1.3);
        phase += hz / kRate;
        float raw = (saw.next() + sawUp.next()) * 0.5f;
        lp.process(raw);
        double level = std::min(1.0, i / 120.0) * (0.75 + 0.25 * env);
        if (i >= length) {
            level *= tail;
            tail *= tailFall;
        }
        out[i] = static_cast<float>((lp.low * 0.8 + sine(phase) * 0.6) * level * amp);
        env *= envFall;
    }
    return out;
}

Stereo pad(double hz, std::int64_t length, double amp, double cutoffHz, double attack, double release) {
    std::int64_t rel = seconds(release);
    Stereo out(length + rel);
    Saw a(hz * det::semitones(-0.09), 0.13), b(hz, 0.61), c(hz * det::semitones(0.09), 0.37);
    Svf lpl, lpr;
    double attackSamples = std::max(1.0, attack * kRate);
    double tail = 1.0, tailFall = decayFactor(release / 4.0);
    double lfo = 0;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(out.size()); ++i) {
        if ((i & 31) == 0) {
            double wobble = 1.0 + 0.18 * sine(lfo);
            lpl.set(cutoffHz * wobble, 0.8);
            lpr.set(cutoffHz / wobble, 0.8);
        }
        lfo += 0.11 / kRate;
        float sa = a.next(), sb = b.next(), sc = c.next();
        lpl.process(sa * 0.8f + sb * 0.5f + sc * 0.2f);
        lpr.process(sa * 0.2f + sb * 0.5f + sc * 0.8f);
        double t = i / attackSamples;
        double level = t < 1.0 ? t * t * (3.0 - 2.0 * t) : 1.0;
        if (i >= length) {
            level *= tail;
            tail *= tailFall;
        }
        out.l[i] = static_cast<float>(lpl.low * level * amp);
        out.r[i] = static_cast<float>(lpr.low * level * amp);
    }
    return out;
}

std::vector<float> pluck(double hz, double amp, double decay, double brightness) {
    std::vector<float> out(seconds(decay * 5.0));
    Saw a(hz * det::semitones(-0.07), 0.0), b(hz * det::semitones(0.07), 0.5);
    Svf lp;
    double level = 1.0, fall = decayFactor(decay);
    double sweep = 1.0, sweepFall = decayFactor(decay * 0.35);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if ((i & 15) == 0) lp.set(hz * (1.5 + brightness * 10.0 * sweep), 1.1);
        lp.process((a.next() + b.next()) * 0.5f);
        double attack = std::min(1.0, i / 60.0);
        out[i] = static_cast<float>(lp.low * level * attack * amp);
        level *= fall;
        sweep *= sweepFall;
    }
    return out;
}

std::vector<float> bell(double hz, double amp, double decay, double ratio, double index) {
    std::vector<float> out(seconds(decay * 5.0));
    double pc = 0, pm = 0, level = 1.0, fall = decayFactor(decay);
    double idx = index, idxFall = decayFactor(decay * 0.4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        pc += hz / kRate;
        pm += hz * ratio / kRate;
        double attack = std::min(1.0, i / 40.0);
        out[i] = static_cast<float>(sine(pc + idx * sine(pm) / det::kTwoPi) * level * attack * amp);
        level *= fall;
        idx *= idxFall;
    }
    return out;
}

std::vector<float> metalHit(double hz, double amp) {
    std::vector<float> out(seconds(0.9));
    double p1 = 0, p2 = 0, pm = 0;
    double bend = 1.0, bendFall = decayFactor(0.012);
    double body = 1.0, bodyFall = decayFactor(0.15);
    double ring = 1.0, ringFall = decayFactor(0.22);
    for (std::size_t i = 0; i < out.size(); ++i) {
        p1 += hz * (1.0 + 0.6 * bend) / kRate;
        p2 += hz * 2.0 / kRate;
        pm += hz * 2.0 * 1.47 / kRate;
        double attack = std::min(1.0, i / 25.0);
        double v = sine(p1) * body * 0.8 + sine(p2 + 1.8 * ring * sine(pm) / det::kTwoPi) * ring * 0.45;
        out[i] = static_cast<float>(v * attack * amp);
        bend *= bendFall;
        body *= bodyFall;
        ring *= ringFall;
    }
    return out;
}

std::vector<float> boom(double amp, std::uint64_t seed) {
    std::vector<float> out(seconds(2.2));
    det::Rng rng(seed);
    Svf lp;
    lp.set(900, 0.7);
    double phase = 0, pitch = 1.0, pitchFall = decayFactor(0.08);
    double level = 1.0, levelFall = decayFactor(0.5);
    double noise = 1.0, noiseFall = decayFactor(0.16);
    for (std::size_t i = 0; i < out.size(); ++i) {
        phase += (36.0 + 120.0 * pitch) / kRate;
        lp.process(static_cast<float>(rng.bipolar()));
        double attack = std::min(1.0, i / 30.0);
        double v = sine(phase) * level * attack + lp.low * noise * 1.4;
        out[i] = softClip(static_cast<float>(v * 1.4)) * static_cast<float>(amp);
        pitch *= pitchFall;
        level *= levelFall;
        noise *= noiseFall;
    }
    return out;
}

std::vector<float> sweep(std::int64_t length, double fromHz, double toHz, double amp, bool rising,
                         std::uint64_t seed) {
    std::vector<float> out(length + seconds(0.05));
    det::Rng rng(seed);
    Svf bp;
    double logRatio = det::log(toHz / fromHz);
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(out.size()); ++i) {
        double t = std::min(1.0, static_cast<double>(i) / length);
        if ((i & 31) == 0) bp.set(fromHz * det::exp(logRatio * t), 1.6);
        bp.process(static_cast<float>(rng.bipolar()));
        double shape = rising ? t * t : (1.0 - t) * (1.0 - t);
        // A short attack marks the start, whichever way the sweep goes.
        double hit = i < 2000 ? (1.0 - i / 2000.0) * 0.8 : 0.0;
        double fade = i >= length ? 1.0 - static_cast<double>(i - length) / seconds(0.05) : 1.0;
        out[i] = static_cast<float>(bp.band * (shape + hit) * fade * amp);
    }
    return out;
}

std::vector<float> zap(double amp) {
    std::vector<float> out(seconds(0.6));
    Svf lp;
    lp.set(2600, 0.9);
    double phase = 0, pitch = 1.0, pitchFall = decayFactor(0.07), level = 1.0, fall = decayFactor(0.16);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double hz = 70.0 + 900.0 * pitch;
        phase += hz / kRate;
        double saw = 2.0 * (phase - std::floor(phase)) - 1.0;
        lp.process(static_cast<float>(saw));
        double attack = std::min(1.0, i / 40.0);
        out[i] = static_cast<float>(lp.low * level * attack * amp);
        pitch *= pitchFall;
        level *= fall;
    }
    return out;
}

std::vector<float> gong(double hz, double amp) {
    std::vector<float> out(seconds(6.0));
    double pc = 0, pm = 0, p2 = 0, level = 1.0, fall = decayFactor(1.1);
    double idx = 2.6, idxFall = decayFactor(0.9);
    for (std::size_t i = 0; i < out.size(); ++i) {
        pc += hz / kRate;
        pm += hz * 1.41 / kRate;
        p2 += hz * 2.76 / kRate;
        double attack = std::min(1.0, i / 150.0);
        double v = sine(pc + idx * sine(pm) / det::kTwoPi) + 0.3 * sine(p2) * idx / 2.6;
        out[i] = static_cast<float>(v * level * attack * amp);
        level *= fall;
        idx *= idxFall;
    }
    return out;
}

Stereo swell(const std::vector<double>& hz, std::int64_t peak, std::int64_t end, double amp) {
    std::int64_t stop = seconds(0.04);
    Stereo out(end + stop);
    std::vector<Saw> saws;
    for (std::size_t k = 0; k < hz.size(); ++k) {
        saws.emplace_back(hz[k] * det::semitones(-0.06), 0.1 * k);
        saws.emplace_back(hz[k] * det::semitones(0.06), 0.5 + 0.1 * k);
    }
    Svf lpl, lpr;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(out.size()); ++i) {
        double level;
        if (i < peak) {
            double t = static_cast<double>(i) / peak;
            level = 0.12 + 0.88 * t * t;
        } else if (i < end) {
            level = 1.0 - 0.7 * static_cast<double>(i - peak) / static_cast<double>(end - peak);
        } else {
            level = 0.3 * (1.0 - static_cast<double>(i - end) / stop);
        }
        if ((i & 31) == 0) {
            lpl.set(300.0 + 3200.0 * level, 1.0);
            lpr.set(320.0 + 3000.0 * level, 1.0);
        }
        float l = 0, r = 0;
        for (std::size_t k = 0; k < saws.size(); k += 2) {
            l += saws[k].next();
            r += saws[k + 1].next();
        }
        lpl.process(l);
        lpr.process(r);
        double attack = std::min(1.0, i / 80.0);
        out.l[i] = static_cast<float>(lpl.low * level * attack * amp);
        out.r[i] = static_cast<float>(lpr.low * level * attack * amp);
    }
    return out;
}

}  // namespace synth
