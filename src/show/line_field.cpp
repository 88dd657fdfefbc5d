#include "show/line_field.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "math/projection.h"
#include "math/random.h"
#include "render/lines.h"

namespace {

enum Axis { kX = 0, kY = 1, kZ = 2 };

struct JitterKick {
    Axis axis;
    float amount;
};

// One row per jitter cue in firing order; the row is the fired count modulo 20.
constexpr JitterKick kJitterTable[20] = {
    {kX, -100}, {kY, 25}, {kX, 0},  {kX, 0},   {kZ, 0},   {kZ, 50}, {kX, -50},
    {kY, 50},   {kX, -45}, {kY, 35}, {kX, 15},  {kX, 15},  {kZ, 15}, {kY, 15},
    {kX, -20},  {kX, -25}, {kY, 20}, {kX, 50},  {kX, 0},   {kZ, -70},
};

// Red, green and blue factors of the tint wash, one row per flash.
constexpr float kTintColours[LineField::kTintRows][3] = {
    {0.0f, 0.155f, 0.8f},    {0.115f, 0.255f, 0.72f}, {0.115f, 0.255f, 0.72f},
    {0.115f, 0.255f, 0.72f}, {0.115f, 0.255f, 0.72f}, {0.115f, 0.255f, 0.72f},
};

constexpr int kTintDuration = 350;
constexpr float kTintRise = 0.006f;
constexpr float kTintFall = 0.0035f;
constexpr float kTintPeak = 0.95f;
constexpr float kRampRate = 30.0f;
constexpr float kJitterDecay = 0.5f;

}  // namespace

void LineField::allocate(int densityCeiling) { points_.assign(size_t(densityCeiling) * 2, Point{}); }

int LineField::vertexCount(int density) { return int(std::ceil(density / 3.0)); }

void LineField::rampStep(int tick, CueList& ramp, ShowState& show) {
    if (!rampStarted_) {
        rampStarted_ = true;
        rampPrevious_ = tick;
        rampLevel_ = float(show.density);
    }
    if (ramp.fire()) {
        ramping_ = true;
    } else if (!ramping_) {
        rampPrevious_ = tick;
        return;
    }
    // The test comes before the growth, so the density can pass 700 by one frame's growth.
    if (show.density > kRampCeiling || show.density < 0) {
        show.density = show.density > kRampCeiling ? kRampCeiling : 0;
        ramping_ = false;
        rampPrevious_ = tick;
        return;
    }
    rampLevel_ += kRampRate * float(tick - rampPrevious_);
    show.density = int(rampLevel_);
    rampPrevious_ = tick;
}

void LineField::tintStep(int tick, CueList& tint) {
    if (!tintStarted_) {
        tintStarted_ = true;
        tintPrevious_ = tick;
    }
    float dt = float(tick - tintPrevious_);
    tintPrevious_ = tick;
    if (tintPhase_ == 0) {
        if (!tint.fire()) return;
        tintLevel_ = 0.0f;
        tintPhase_ = 1;
        tintCountdown_ = kTintDuration;
        tintOn_ = true;
    }
    tintCountdown_ = int(float(tintCountdown_) - dt);
    if (tintPhase_ == 1) tintLevel_ += kTintRise * dt;
    else tintLevel_ -= kTintFall * dt;
    if (tintLevel_ < 0.0f) {
        tintLevel_ = 0.0f;
    } else if (tintLevel_ > kTintPeak) {
        tintLevel_ = kTintPeak;
        tintPhase_ = 2;
    }
    if (tintCountdown_ < 0) {
        tintLevel_ = 0.0f;
        tintPhase_ = 0;
        ++tintRow_;
        tintOn_ = false;
    }
}

void LineField::glState() {
    enableLineSmoothing();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setLineWidth(1.0f);
}

void LineField::jitterStep(int tick, CueList& jitter) {
    if (!jitterStarted_) {
        jitterStarted_ = true;
        jitterPrevious_ = tick;
    }
    float dt = float(tick - jitterPrevious_);
    jitterPrevious_ = tick;
    bool fired = jitter.fire();
    if (fired) {
        jitterActive_ = true;
        const JitterKick& kick = kJitterTable[jitterFired_ % 20];
        amplitude_[kick.axis] += kick.amount;
    } else if (!jitterActive_) {
        return;
    }
    // Decay toward zero; an amplitude that gets within 1 of zero snaps to zero, so the drawing step
    // never takes a remainder by zero.
    float e = kJitterDecay * dt;
    for (float& a : amplitude_) {
        if (a >= 0.0f) {
            a -= e;
            if (!(a > 1.0f)) a = 0.0f;
        } else {
            a += e;
            if (!(a < -1.0f)) a = 0.0f;
        }
    }
    if (amplitude_[kX] == 0.0f && amplitude_[kY] == 0.0f && amplitude_[kZ] == 0.0f) jitterActive_ = false;
    if (fired) ++jitterFired_;
}

void LineField::generate(const ShowState& show, int count) {
    const projection::Matrices held = projection::current();
    const int w = show.boxWidth, h = show.boxHeight;
    const Box box = pointBox(w, h);
    for (int k = 0; k < count; ++k) {
        int r1 = randomNumber();
        int r2 = randomNumber();
        Point& p = points_[k];
        p.x = float(box.left + r1 % w);
        p.y = float(box.bottom + r2 % h);
        p.z = kPointDepth;
    }
    for (int k = 0; k < count; ++k) {
        Point& p = points_[k];
        GLdouble wz;
        gluProject(p.x, p.y, p.z, held.modelView, held.projection, held.viewport, &p.wx, &p.wy, &wz);
    }
}

int LineField::jitterOffset(float amplitude) const {
    if (amplitude > 0.0f) return randomNumber() % int(amplitude);
    if (amplitude < 0.0f) return -(randomNumber() % int(-amplitude));
    return 0;
}

void LineField::draw(const ShowState& show, float brightness) {
    // The store holds twice the density ceiling; a density beyond what it can hold draws what fits
    // rather than writing past it.
    const int count = std::clamp(vertexCount(show.density), 0, int(points_.size()));
    generate(show, count);
    const float* tint = kTintColours[tintRow_ % kTintRows];
    const float f = tintLevel_;
    // Window positions grow with the pixel scale; what they select (texel, tint) must not.
    const double scale = show.pixelScale;
    const double textureScaleX = kTextureScaleX / scale, textureScaleY = kTextureScaleY / scale;
    const double tintWidth = 320.0 * scale, tintHeight = 240.0 * scale;
    beginLines(GL_LINES);
    for (int k = 0; k < count; ++k) {
        const Point& p = points_[k];
        int jx = jitterOffset(amplitude_[kX]);
        int jy = jitterOffset(amplitude_[kY]);
        int jz = jitterOffset(amplitude_[kZ]);
        // Untinted lines keep whatever colour is current: the scene's last, or the last glow
        // sprite's of the previous frame.
        if (tintOn_) {
            lineColour(float(brightness * ((1.0f - f) + f * tint[0] * p.wx / tintWidth)),
                      float(brightness * ((1.0f - f) + f * tint[1] * p.wy / tintHeight)),
                      float(brightness * ((1.0f - f) + f * tint[2] * p.wx / tintWidth)), 0.5f);
        }
        lineTexCoord(float(p.wx * textureScaleX), float(p.wy * textureScaleY));
        lineVertex(p.x + float(jx), p.y + float(jy), p.z + show.depthOffset + float(jz));
    }
    endLines();
}
