#pragma once
// Twelve thin vertical light bars, textured with "data/x26.jpg", that light up one after another on
// their cues and fade slowly.
#include <array>

#include "show/cue_list.h"

class LightBars {
public:
    static constexpr int kCount = 12;
    static constexpr float kRise = 0.05f;
    static constexpr float kPeak = 0.6f;
    static constexpr float kFall = 0.004f;

    // Loads the image and makes the light-bar texture.
    void setUp();
    // Plain (aliased) blended lines with the light-bar texture.
    void glState() const;
    void step(int tick, CueList& cues);

    float alpha(int bar) const { return alpha_[bar]; }
    bool lit(int bar) const { return lit_[bar]; }
    int cueCount() const { return counter_; }
    unsigned texture() const { return texture_; }

private:
    unsigned texture_ = 0;
    std::array<float, kCount> alpha_{};
    std::array<bool, kCount> lit_{};
    int counter_ = 0;
    bool started_ = false;
    int previous_ = 0;
};
