#pragma once
// The show: six scenes and a closing pause, timed by the demo clock. Each frame draws the current
// scene unseen, copies its lower-left 256 x 256 pixels into the feedback texture, clears, and draws
// the visible frame from overlays: the line field textured with that picture, light bars and glow
// sprites. At pixel scale N every size in pixels is N times as large (the copy N x 256 square).
#include <memory>
#include <optional>

#include "render/lines.h"

#include "show/cue_list.h"
#include "show/glow_sprites.h"
#include "show/light_bars.h"
#include "show/line_field.h"
#include "show/scenes.h"
#include "show/show_state.h"
#include "show/title_card.h"

// Every cue list of the show, each built once from its constant table.
struct ShowCues {
    CueList scene0Main, scene0Zoom, scene1, scene2Main, scene2Fade, scene3, scene4Main, scene4Fade;
    CueList title, end, lineFieldRamp, jitter, tintFlash, glowFade, lightBar, glowSprite;
    ShowCues();
};

class Show {
public:
    // Scene indices 0 to 4 and the title card at 5; index 6 is the closing pause.
    static constexpr int kSceneCount = 6;
    static constexpr int kFeedbackSize = 256;
    static constexpr int kDensityCeiling = 700;
    static constexpr int kMaxPixelScale = 8;
    static constexpr float kWidestLine = 10.0f;  // in pixels of the 320 x 240 picture

    // What the driver can draw, for largestPixelScale. Lines are not among them: the line renderer
    // draws any width itself where the driver cannot.
    struct DriverLimits {
        int textureSize, renderbufferSize, viewportWidth, viewportHeight;
    };
    // The largest scale up to wanted at which the feedback texture and a frame of frameWidth x
    // frameHeight (at scale 1) fit within the limits; at least 1.
    static int largestPixelScale(const DriverLimits& limits, int wanted, int frameWidth, int frameHeight);
    // largestPixelScale for the current context's limits; when it is below wanted, says so on
    // stderr, as program, once: the caller then opens its window again at that scale.
    static int scaleTheDriverDraws(int wanted, int frameWidth, int frameHeight, const char* program);
    // Once the window is open at its final scale: lines are drawn the way asked for, or natively
    // where the current context draws the widest line the show needs at that scale (its limits as
    // driverLineWidths reads them, warning as program), else as quads. Returns the way.
    static LineWay chooseLines(int scale, std::optional<LineWay> asked, const char* program);

    Show();
    ~Show();
    Show(const Show&) = delete;
    Show& operator=(const Show&) = delete;

    // The scale the frames are drawn at, 1 to 8; set before setUp.
    void setPixelScale(int scale);
    int feedbackSize() const { return kFeedbackSize * state_.pixelScale; }

    // Start-up, once the window and the data archive are open: the line-field point store, the
    // feedback texture and every set-up in the show's order. Loads the scene files and images.
    void setUp();
    // Just before the first frame: texturing on, the initial line-field settings, fog off.
    void beforeFirstFrame();

    // The one frame sequence, up to the swap, that the program, glimmershot and the tests all run;
    // false when the end cue fired (nothing then is copied or drawn).
    bool renderFrame();

    // Parts of start-up, for tests that build a show without its scene files.
    void allocatePointStore();
    void createFeedbackTexture();
    void initialSettings();  // line-field density 0, depth offset 45
    // The floor of any frame, for the render benchmark: the clear and the feedback copy.
    static void clearFrame();
    void copyFeedback();

    ShowState& state() { return state_; }
    ShowCues& cues() { return cues_; }
    LineField& lineField() { return lineField_; }
    LightBars& lightBars() { return lightBars_; }
    GlowSprites& glowSprites() { return glowSprites_; }
    Scene0& scene0() { return scene0_; }
    Scene1& scene1() { return scene1_; }
    Scene2& scene2() { return scene2_; }
    Scene3& scene3() { return scene3_; }
    Scene4& scene4() { return scene4_; }
    TitleCard& titleCard() { return title_; }
    unsigned feedbackTexture() const { return feedbackTexture_; }

private:
    void setUpScenes();
    // The stages of renderFrame, in its order.
    void rampStep(int tick);
    static void sceneGLState();
    bool sceneStage();
    void drawOverlays();

    ShowState state_;
    ShowCues cues_;
    LineField lineField_;
    LightBars lightBars_;
    GlowSprites glowSprites_;
    Scene0 scene0_;
    Scene1 scene1_;
    Scene2 scene2_;
    Scene3 scene3_;
    Scene4 scene4_;
    TitleCard title_;
    unsigned feedbackTexture_ = 0;
};
