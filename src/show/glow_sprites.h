#pragma once
// Thirteen soft circular sprites, drawn additively with a procedurally made radial texture, that
// light up one after another on their cues and fade out together after the glow fade cue.
#include <array>
#include <cstdint>

#include "show/cue_list.h"

class GlowSprites {
public:
    static constexpr int kCount = 13;
    static constexpr int kRadialSize = 16;
    static constexpr float kRise = 0.05f;
    static constexpr float kFall = 0.0015f;
    static constexpr float kMasterFade = 0.0008f;

    // Turns on texturing, then makes the radial texture. Polygon smoothing stays off: many drivers
    // ignore it (Mesa among them) and the others would soften the sprites' edges, so that they
    // would look different from one driver to the next.
    void setUpRadialTexture();
    // Textured and blended additively.
    static void glState();
    void step(int tick, CueList& sprites, CueList& fade);

    // The radial texture's pixels: 16 x 16 RGB.
    const std::array<uint8_t, kRadialSize * kRadialSize * 3>& radialPixels() const { return radial_; }
    unsigned radialTexture() const { return texture_; }
    float intensity(int sprite) const { return intensity_[sprite]; }
    bool lit(int sprite) const { return lit_[sprite]; }
    float master() const { return master_; }
    bool fading() const { return fading_; }
    int cueCount() const { return counter_; }

private:
    unsigned texture_ = 0;
    std::array<uint8_t, kRadialSize * kRadialSize * 3> radial_{};
    std::array<float, kCount> intensity_{};
    std::array<bool, kCount> lit_{};
    float master_ = 1.0f;
    bool fading_ = false;
    int counter_ = 0;
    bool started_ = false;
    int previous_ = 0;
};
