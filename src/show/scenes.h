#pragma once
// The five 3D scenes of the show, each written in its own file (scene0_spheres.cpp to
// scene4_array_drift.cpp). Each has a set-up (run once at start-up), a pre-frame state (GL and
// render switches) and a frame step that takes the current tick and the scene's cue lists. A step
// whose main cue list is exhausted advances the scene index instead of drawing.
#include <memory>
#include <vector>

#include "math/vector.h"
#include "show/cue_list.h"
#include "show/show_state.h"

class KScene;

// Orbiting spheres: outlines with hidden lines; still until the first main cue, then orbiting the
// vertical axis, snapped back to the loaded placement on every main cue; two zooms.
class Scene0 {
public:
    enum class Move { farOrbit, nearOrbit, highOrbit, reset };
    static constexpr const char* kFile = "data/spheres3.3ds";

    explicit Scene0(ShowState& show);
    ~Scene0();
    void setUp();
    void preFrame();
    void step(int tick, CueList& main, CueList& zoom);

    KScene& scene() { return *scene_; }
    bool started() const { return started_; }
    int zoomCount() const { return zoomCount_; }
    int zoomMark() const { return zoomMark_; }
    // How often the scene was drawn, for tests and tools.
    int draws() const { return draws_; }

private:
    void move(int tick, Move action);

    ShowState& show_;
    std::unique_ptr<KScene> scene_;
    std::vector<Point> savedPositions_, savedTargets_;
    bool started_ = false;
    int zoomCount_ = 0;
    int zoomMark_ = -1;
    bool moved_ = false;
    int movePrevious_ = 0;
    int draws_ = 0;
};

// Spiral flight: the camera flies through the spiral in fog; each cue starts a segment that turns
// or rolls the look direction with a decaying spin, fading after 100 ticks.
class Scene1 {
public:
    enum class Kind { turn, roll };
    enum class Move { startTurn, startRoll, flyTurning, flyRolling };
    static constexpr const char* kFile = "data/Spiral.3ds";

    explicit Scene1(ShowState& show);
    ~Scene1();
    void setUp();
    void preFrame();
    void step(int tick, CueList& cues);

    KScene& scene() { return *scene_; }
    bool active() const { return active_; }
    int segmentCount() const { return segmentCount_; }
    Kind kind() const { return kind_; }
    float spin() const { return spin_; }
    float fade() const { return fade_; }
    int draws() const { return draws_; }

private:
    void move(int time, Move action);

    ShowState& show_;
    std::unique_ptr<KScene> scene_;
    bool active_ = false;
    int segmentCount_ = 0;
    int segmentStart_ = 0;
    Kind kind_ = Kind::turn;
    int kindCounter_ = -2;
    float cameraZ_ = -375.0f;
    float cameraY_ = 0.0f;
    float forwardSpeed_ = 1.8f;
    float sinkSpeed_ = 0.095f;
    float spin_ = 100.0f;
    float fade_ = 1.0f;
    bool moved_ = false;
    int previousTime_ = 0;
    int draws_ = 0;
};

// Array rush: one mesh stretched to twice its width and height, put back level with the camera on
// each main cue and flying away into the fog with growing speed; darkens from the fade cue.
class Scene2 {
public:
    static constexpr const char* kFile = "data/Array.3ds";

    explicit Scene2(ShowState& show);
    ~Scene2();
    void setUp();
    void preFrame();
    void step(int tick, CueList& main, CueList& fade);

    KScene& scene() { return *scene_; }
    bool fading() const { return fading_; }
    float fadeLevel() const { return fadeLevel_; }
    bool moving() const { return moving_; }
    float distance() const { return distance_; }
    float speed() const { return speed_; }
    int draws() const { return draws_; }

private:
    ShowState& show_;
    std::unique_ptr<KScene> scene_;
    bool called_ = false;
    int previous_ = 0;
    bool fading_ = false;
    float fadeLevel_ = 1.0f;
    bool moving_ = false;
    float distance_ = 0.0f;
    float speed_ = 2.0f;
    int draws_ = 0;
};

// Arrays in bursts: each cue turns the mesh, which flashes up, stretches in depth while the
// line-field box widens, and fades; the next cue fires only once a burst has faded.
class Scene3 {
public:
    static constexpr const char* kFile = "data/Arrays.3ds";

    explicit Scene3(ShowState& show);
    ~Scene3();
    void setUp();
    void preFrame();
    void step(int tick, CueList& cues);

    KScene& scene() { return *scene_; }
    bool active() const { return active_; }
    int burstCount() const { return burstCount_; }
    float level() const { return level_; }
    float depthStretch() const { return depthStretch_; }
    float boxWidth() const { return boxWidth_; }
    float boxHeight() const { return boxHeight_; }
    int draws() const { return draws_; }

private:
    ShowState& show_;
    std::unique_ptr<KScene> scene_;
    bool called_ = false;
    int previous_ = 0;
    int burstStart_ = 0;
    bool active_ = false;
    int burstCount_ = 0;
    float level_ = 1.0f;
    float depthStretch_ = 1.0f;
    float boxWidth_ = 70.0f;
    float boxHeight_ = 70.0f;
    int draws_ = 0;
};

// Arrays drifting: the camera rises and backs away while the mesh tumbles, faster on each cue; a
// quick fade-in and a slow fade-out.
class Scene4 {
public:
    static constexpr const char* kFile = "data/Arrays.3ds";

    explicit Scene4(ShowState& show);
    ~Scene4();
    void setUp();
    void preFrame();
    void step(int tick, CueList& main, CueList& fade);

    KScene& scene() { return *scene_; }
    bool fading() const { return fading_; }
    bool fadingIn() const { return fadingIn_; }
    float level() const { return level_; }
    int segment() const { return segment_; }
    int draws() const { return draws_; }

private:
    ShowState& show_;
    std::unique_ptr<KScene> scene_;
    bool called_ = false;
    int previous_ = 0;
    bool fading_ = false;
    bool fadingIn_ = true;
    float level_ = 0.0f;
    int segment_ = -1;
    int draws_ = 0;
};
