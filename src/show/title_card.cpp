#include "show/title_card.h"

#include <GL/gl.h>

#include "render/render.h"
#include "show/textures.h"

namespace {

constexpr float kMaxGrowthRate = 0.4f;

}  // namespace

void TitleCard::setUp() {
    // Two components (luminance and alpha): GL keeps the red channel as grey and sets alpha to 1.
    texture_ = makeImageTexture("data/glimmertide.jpg", 2, kImageSize);
}

void TitleCard::preFrame() {
    show_.boxWidth = kBoxWidth;
    show_.boxHeight = kBoxHeight;
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
}

void TitleCard::step(int tick, CueList& cues) {
    // The first cue only starts the card, so the scene ends on the third cue.
    if (!called_) {
        called_ = true;
        previous_ = tick;
    }
    if (!started_) {
        if (!cues.fire()) return;
        started_ = true;
    }
    if (cues.exhausted()) return;
    float dt = float(tick - previous_);
    if (cues.fire()) {
        ++cueCount_;
        if (cueCount_ == 2) ++show_.sceneIndex;
    }
    previous_ = tick;

    show_.density = int(growth_);
    show_.depthOffset = depth_;
    growth_ += dt * growthRate_;
    growthRate_ += 0.001f * dt;
    if (growthRate_ > kMaxGrowthRate) growthRate_ = kMaxGrowthRate;
    if (cueCount_ == 1) depth_ -= kApproachRate * dt;

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glBegin(GL_QUADS);
    for (const Corner& c : kQuad) {
        glColor4f(1, 1, 1, 1);
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
    countPolygons(1);
    show_.overlayLineWidth = 2.0f;
}
