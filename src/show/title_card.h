#pragma once
// The closing title card: "data/glimmertide.jpg" as one grey textured quad, seen through a line
// field that grows back from nothing and, after the second cue, moves toward the viewer.
#include "show/cue_list.h"
#include "show/show_state.h"

class TitleCard {
public:
    static constexpr int kImageSize = 256;

    explicit TitleCard(ShowState& show) : show_(show) {}

    // Loads the title image (it must be 256 x 256) and makes the title texture.
    void setUp();
    void preFrame();
    void step(int tick, CueList& cues);

    bool started() const { return started_; }
    int cueCount() const { return cueCount_; }
    float growth() const { return growth_; }
    float growthRate() const { return growthRate_; }
    float depth() const { return depth_; }
    unsigned texture() const { return texture_; }

private:
    ShowState& show_;
    unsigned texture_ = 0;
    bool called_ = false;
    bool started_ = false;
    int previous_ = 0;
    int cueCount_ = 0;
    float growth_ = 0.0f;
    float growthRate_ = 0.0f;
    float depth_ = 5.0f;
};
