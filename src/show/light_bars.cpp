#include "show/light_bars.h"

#include <GL/gl.h>

#include "render/lines.h"
#include "show/textures.h"

namespace {

constexpr float kBarX[LightBars::kCount] = {-39, -37, -28, 28, 32, -39, 39, 35, 30, -25, -35, -30};
constexpr float kTop = 50.0f, kBottom = -50.0f, kDepth = 50.0f;

// A chain of texture coordinates: bar b uses pair b at its top and pair b + 1 at its bottom.
constexpr float kTexChain[LightBars::kCount + 1][2] = {
    {0.5f, 0.1f},  {0.5f, 1.0f},  {0.25f, 0.0f}, {0.5f, 1.0f},  {0.5f, 0.4f},
    {0.25f, 1.0f}, {0.5f, 0.0f},  {0.5f, 1.0f},  {0.15f, 0.0f}, {0.85f, 1.0f},
    {0.25f, 0.1f}, {0.65f, 1.0f}, {0.53f, 0.15f},
};

}  // namespace

void LightBars::setUp() { texture_ = makeImageTexture("data/x26.jpg", GL_RGB); }

void LightBars::glState() const {
    disableLineSmoothing();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setLineWidth(1.0f);
    glBindTexture(GL_TEXTURE_2D, texture_);
}

void LightBars::step(int tick, CueList& cues) {
    if (!started_) {
        started_ = true;
        previous_ = tick;
    }
    float dt = float(tick) - float(previous_);
    previous_ = tick;
    if (cues.fire()) {
        lit_[counter_ % kCount] = true;
        ++counter_;
    }
    for (int b = 0; b < kCount; ++b) {
        // A bar lit again while still fading rises from where it is.
        if (lit_[b]) {
            alpha_[b] += kRise * dt;
            if (alpha_[b] >= kPeak) {
                alpha_[b] = kPeak;
                lit_[b] = false;
            }
        } else {
            alpha_[b] -= kFall * dt;
            if (alpha_[b] <= 0.0f) alpha_[b] = 0.0f;
        }
        beginLines(GL_LINES);
        lineTexCoord(kTexChain[b][0], kTexChain[b][1]);
        lineColour(1.0f, 1.0f, 1.0f, alpha_[b]);
        lineVertex(kBarX[b], kTop, kDepth);
        lineTexCoord(kTexChain[b + 1][0], kTexChain[b + 1][1]);
        lineColour(1.0f, 1.0f, 1.0f, alpha_[b]);
        lineVertex(kBarX[b], kBottom, kDepth);
        endLines();
    }
}
