#include "show/glow_sprites.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

struct Sprite {
    float x, y, z;
    float r, g, b;
};

// Sprite 0 is never lit and stays black.
constexpr Sprite kSprites[GlowSprites::kCount] = {
    {-255, 60, 100, 0, 0, 0},        {-75, 60, 100, 0.75f, 0.85f, 1},  {-25, 60, 100, 0.7f, 0.8f, 1},
    {50, 60, 100, 0.6f, 0.7f, 1},    {-50, 50, 100, 0.7f, 0.8f, 1},    {25, 50, 100, 0.6f, 0.7f, 1},
    {75, 50, 100, 0.55f, 0.65f, 1},  {-75, -78, 100, 0.75f, 0.85f, 1}, {-25, -78, 100, 0.7f, 0.8f, 1},
    {50, -78, 100, 0.6f, 0.7f, 1},   {-50, -65, 100, 0.7f, 0.8f, 1},   {25, -65, 100, 0.6f, 0.7f, 1},
    {75, -65, 100, 0.55f, 0.65f, 1},
};

// A size of 17 halved with integer division.
constexpr float kHalfSize = float(17 / 2);

}  // namespace

void GlowSprites::setUpRadialTexture() {
    glEnable(GL_TEXTURE_2D);
    for (int j = 0; j < kRadialSize; ++j) {
        for (int k = 0; k < kRadialSize; ++k) {
            double d = 2.0 * std::sqrt(double((8 - j) * (8 - j) + (8 - k) * (8 - k))) / 16.0;
            d = std::clamp(d, 0.0, 1.0);
            uint8_t value = uint8_t(int(255.0 * (1.0 - d)));
            uint8_t* texel = &radial_[(j * kRadialSize + k) * 3];
            texel[0] = texel[1] = texel[2] = value;
        }
    }
    GLuint name;
    glGenTextures(1, &name);
    texture_ = name;
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kRadialSize, kRadialSize, 0, GL_RGB, GL_UNSIGNED_BYTE, radial_.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void GlowSprites::glState() {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
}

void GlowSprites::step(int tick, CueList& sprites, CueList& fade) {
    if (!started_) {
        started_ = true;
        previous_ = tick;
    }
    float dt = float(tick) - float(previous_);
    previous_ = tick;
    if (fade.fire()) fading_ = true;
    if (fading_) {
        master_ -= kMasterFade * dt;
        if (master_ < 0.0f) master_ = 0.0f;
    }
    if (sprites.fire()) {
        lit_[1 + counter_ % (kCount - 1)] = true;
        ++counter_;
    }
    glBindTexture(GL_TEXTURE_2D, texture_);
    for (int i = 0; i < kCount; ++i) {
        if (lit_[i]) {
            intensity_[i] += kRise * dt;
            if (intensity_[i] >= 1.0f) {
                intensity_[i] = 1.0f;
                lit_[i] = false;
            }
        } else {
            intensity_[i] -= kFall * dt;
            if (intensity_[i] <= 0.0f) intensity_[i] = 0.0f;
        }
        const Sprite& s = kSprites[i];
        glColor3f(s.r * intensity_[i] * master_, s.g * intensity_[i] * master_, s.b * intensity_[i] * master_);
        glBegin(GL_QUADS);
        glTexCoord2f(1, 0);
        glVertex3f(s.x - kHalfSize, s.y + kHalfSize, s.z);
        glTexCoord2f(0, 0);
        glVertex3f(s.x - kHalfSize, s.y - kHalfSize, s.z);
        glTexCoord2f(0, 1);
        glVertex3f(s.x + kHalfSize, s.y - kHalfSize, s.z);
        glTexCoord2f(1, 1);
        glVertex3f(s.x + kHalfSize, s.y + kHalfSize, s.z);
        glEnd();
    }
}
