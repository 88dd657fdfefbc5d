#pragma once
// The line field: every frame a fresh set of random points in a box in front of the camera, drawn
// as separate lines textured with the feedback texture at their own screen positions, so the scene shows
// through a flickering web of lines. Density ramp, jitter and tint flash shape it over time.
#include <array>
#include <vector>

#include "show/cue_list.h"
#include "show/show_state.h"

class LineField {
public:
    static constexpr int kBoxCentreX = 0;
    static constexpr int kBoxCentreY = -5;
    static constexpr float kPointDepth = 80.0f;
    static constexpr int kRampCeiling = 700;
    static constexpr int kTintRows = 6;
    // A point's texture coordinate is its window position times these: 1/320 across, 1/240 up, at
    // scale 1 (at scale N the position is divided by N first).
    static constexpr double kTextureScaleX = 0.003125;
    static constexpr double kTextureScaleY = 0.004166667;

    // The whole-number positions a box of width x height places its points at, at kPointDepth.
    struct Box {
        int left, bottom, right, top;
    };
    static constexpr Box pointBox(int width, int height) {
        const int left = kBoxCentreX - width / 2, bottom = kBoxCentreY - height / 2;
        return {left, bottom, left + width - 1, bottom + height - 1};
    }

    // Room for twice the density ceiling in points.
    void allocate(int densityCeiling);
    size_t capacity() const { return points_.size(); }

    // Grows the density by 30 per tick from the ramp cue until it passes 700.
    void rampStep(int tick, CueList& ramp, ShowState& show);
    // A colour wash over the lines: rises to 0.95, falls, ends 350 ticks after its cue.
    void tintStep(int tick, CueList& tint);
    // Blended, smoothed lines without depth test.
    static void glState();
    // Random per-axis displacement that kicks on each cue and dies away.
    void jitterStep(int tick, CueList& jitter);
    // Generates and projects the points, then draws them with the bound feedback texture. The
    // brightness render switch scales the tint colours.
    void draw(const ShowState& show, float brightness);

    // Number of vertices drawn for a density.
    static int vertexCount(int density);

    // State, for tests and tools.
    float rampLevel() const { return rampLevel_; }
    bool ramping() const { return ramping_; }
    float tintLevel() const { return tintLevel_; }
    int tintPhase() const { return tintPhase_; }
    int tintCountdown() const { return tintCountdown_; }
    int tintRow() const { return tintRow_; }
    bool tintOn() const { return tintOn_; }
    std::array<float, 3> amplitudes() const { return amplitude_; }
    bool jitterActive() const { return jitterActive_; }
    int jitterFired() const { return jitterFired_; }

private:
    struct Point {
        float x, y, z;
        double wx, wy;
    };
    void generate(const ShowState& show, int count);
    int jitterOffset(float amplitude) const;

    std::vector<Point> points_;

    bool rampStarted_ = false;
    int rampPrevious_ = 0;
    float rampLevel_ = 0.0f;
    bool ramping_ = false;

    bool tintStarted_ = false;
    int tintPrevious_ = 0;
    float tintLevel_ = 0.0f;
    int tintPhase_ = 0;
    int tintCountdown_ = 0;
    int tintRow_ = 0;
    bool tintOn_ = false;

    bool jitterStarted_ = false;
    int jitterPrevious_ = 0;
    std::array<float, 3> amplitude_{};
    bool jitterActive_ = false;
    int jitterFired_ = 0;
};
