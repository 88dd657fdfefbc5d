#pragma once
// The closing title card: "data/glimmertide.jpg" as one grey textured quad, seen through a line
// field that grows back from nothing and, after the second cue, moves toward the viewer.
#include "show/cue_list.h"
#include "show/show_state.h"

class TitleCard {
public:
    static constexpr int kImageSize = 256;

    struct Corner {
        float s, t;
        float x, y, z;
    };
    // Bottom left, bottom right, top right, top left: off centre, at depth 1.
    static constexpr Corner kQuad[4] = {
        {0, 1, -1.2f, -1.25f, 1}, {1, 1, 0.7f, -1.25f, 1}, {1, 0, 0.7f, 1, 1}, {0, 0, -1.2f, 1, 1}};
    // The line field's box while the card plays, and its depth offset: kStartDepth until the second
    // cue, then coming closer by kApproachRate per tick until the third.
    static constexpr int kBoxWidth = 130;
    static constexpr int kBoxHeight = 100;
    static constexpr float kStartDepth = 5.0f;
    static constexpr float kApproachRate = 0.03f;

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
    float depth_ = kStartDepth;
};
