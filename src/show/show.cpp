#include "show/show.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/clock.h"
#include "render/render.h"
#include "show/cues.h"

namespace {

// The current GL context's limits.
Show::DriverLimits driverLimits() {
    GLint texture = 0, renderbuffer = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    // Without framebuffer objects the frame goes to the window itself: the viewport limits it.
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    if (glGetError() != GL_NO_ERROR || renderbuffer <= 0) renderbuffer = std::max(viewport[0], viewport[1]);
    return {texture, renderbuffer, viewport[0], viewport[1]};
}

}  // namespace

ShowCues::ShowCues()
    : scene0Main(cues::scene0Main), scene0Zoom(cues::scene0Zoom), scene1(cues::scene1),
      scene2Main(cues::scene2Main), scene2Fade(cues::scene2Fade), scene3(cues::scene3),
      scene4Main(cues::scene4Main), scene4Fade(cues::scene4Fade), title(cues::title), end(cues::end),
      lineFieldRamp(cues::lineFieldRamp), jitter(cues::jitter), tintFlash(cues::tintFlash),
      glowFade(cues::glowFade), lightBar(cues::lightBar), glowSprite(cues::glowSprite) {}

Show::Show()
    : scene0_(state_), scene1_(state_), scene2_(state_), scene3_(state_), scene4_(state_), title_(state_) {}

Show::~Show() = default;

void Show::setPixelScale(int scale) {
    state_.pixelScale = scale;
    setLinePixelScale(scale);
}

LineWay Show::chooseLines(int scale, std::optional<LineWay> asked, const char* program) {
    const LineWidthLimits limits = driverLineWidths(program);
    const LineWay way = asked.value_or(lineWayFor(kWidestLine * float(scale), limits));
    useLineWay(way, limits);
    setLinePixelScale(scale);
    return way;
}

void Show::setUp() {
    allocatePointStore();
    createFeedbackTexture();
    setUpScenes();
}

void Show::beforeFirstFrame() {
    glEnable(GL_TEXTURE_2D);
    initialSettings();
    glDisable(GL_FOG);
}

void Show::allocatePointStore() { lineField_.allocate(kDensityCeiling); }

void Show::createFeedbackTexture() {
    // The first frame's copy overwrites the texture before anything reads it.
    const int size = feedbackSize();
    std::vector<unsigned char> pixels(size_t(size) * size_t(size) * 4);
    GLuint texture;
    glGenTextures(1, &texture);
    feedbackTexture_ = texture;
    glBindTexture(GL_TEXTURE_2D, feedbackTexture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

void Show::setUpScenes() {
    scene0_.setUp();
    glowSprites_.setUpRadialTexture();
    lightBars_.setUp();
    scene1_.setUp();
    scene3_.setUp();
    scene2_.setUp();
    scene4_.setUp();
    title_.setUp();
}

void Show::initialSettings() {
    state_.density = 0;
    state_.depthOffset = 45.0f;
}

bool Show::renderFrame() {
    clearFrame();
    rampStep(currentTicks());
    sceneGLState();
    if (!sceneStage()) return false;
    copyFeedback();
    clearFrame();
    drawOverlays();
    return true;
}

void Show::clearFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void Show::rampStep(int tick) { lineField_.rampStep(tick, cues_.lineFieldRamp, state_); }

void Show::sceneGLState() {
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
}

bool Show::sceneStage() {
    switch (state_.sceneIndex) {
    case 0:
        scene0_.preFrame();
        scene0_.step(currentTicks(), cues_.scene0Main, cues_.scene0Zoom);
        break;
    case 1:
        scene1_.preFrame();
        scene1_.step(currentTicks(), cues_.scene1);
        break;
    case 2:
        scene2_.preFrame();
        scene2_.step(currentTicks(), cues_.scene2Main, cues_.scene2Fade);
        break;
    case 3:
        scene3_.preFrame();
        scene3_.step(currentTicks(), cues_.scene3);
        break;
    case 4:
        scene4_.preFrame();
        scene4_.step(currentTicks(), cues_.scene4Main, cues_.scene4Fade);
        break;
    case 5:
        title_.preFrame();
        title_.step(currentTicks(), cues_.title);
        break;
    case 6:
        // The closing pause; the end cue ends the show before anything of this frame is shown.
        if (cues_.end.fire()) return false;
        break;
    default:
        break;
    }
    return true;
}

void Show::copyFeedback() {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, feedbackTexture_);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 0, 0, feedbackSize(), feedbackSize(), 0);
}

void Show::drawOverlays() {
    lineField_.tintStep(currentTicks(), cues_.tintFlash);
    LineField::glState();
    setLineWidth(state_.overlayLineWidth);
    lineField_.jitterStep(currentTicks(), cues_.jitter);
    lineField_.draw(state_, getBrightness());  // the feedback texture is still bound
    lightBars_.glState();
    lightBars_.step(currentTicks(), cues_.lightBar);
    GlowSprites::glState();
    glowSprites_.step(currentTicks(), cues_.glowSprite, cues_.glowFade);
}

int Show::scaleTheDriverDraws(int wanted, int frameWidth, int frameHeight, const char* program) {
    const DriverLimits limits = driverLimits();
    const int usable = largestPixelScale(limits, wanted, frameWidth, frameHeight);
    if (usable < wanted)
        std::fprintf(stderr,
                     "%s: the graphics driver cannot draw scale %d (textures up to %d pixels, viewports up to %d x %d, "
                     "renderbuffers up to %d); drawing at scale %d\n",
                     program, wanted, limits.textureSize, limits.viewportWidth, limits.viewportHeight,
                     limits.renderbufferSize, usable);
    return usable;
}

int Show::largestPixelScale(const DriverLimits& limits, int wanted, int frameWidth, int frameHeight) {
    int scale = std::clamp(wanted, 1, kMaxPixelScale);
    auto fits = [&](int n) {
        return kFeedbackSize * n <= limits.textureSize && frameWidth * n <= limits.renderbufferSize &&
               frameHeight * n <= limits.renderbufferSize && frameWidth * n <= limits.viewportWidth &&
               frameHeight * n <= limits.viewportHeight;
    };
    while (scale > 1 && !fits(scale)) --scale;
    return scale;
}
