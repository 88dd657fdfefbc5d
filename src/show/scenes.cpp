#include "show/scenes.h"

#include <GL/gl.h>

#include <algorithm>

#include "app/exception.h"
#include "platform/clock.h"
#include "render/render.h"
#include "scene/kscene.h"

namespace {

// Where the show grips a scene: its current camera and the frames of its meshes.
Point& cameraPosition(KScene& s) { return s.getCurrentCamera().getPosition(); }
Point& cameraTarget(KScene& s) { return s.getCurrentCamera().getTarget(); }
Point& meshPosition(KScene& s, int i) { return s.getMesh(i).getFrame().getPosition(); }
Point& meshTarget(KScene& s, int i) { return s.getMesh(i).getFrame().getTarget(); }

// Scenes 1 to 4 address mesh 0 directly; a file without one is refused instead.
void requireMesh(KScene& scene, const char* file) {
    if (scene.getMeshCount() < 1) raise(errors::invalidData, file);
}

// A clone of a file without meshes is a copy of nothing: a mesh without vertices.
void requireClonedMesh(KScene& scene, const char* file) {
    requireMesh(scene, file);
    if (scene.getMesh(0).getVertexCount() < 1) raise(errors::invalidData, file);
}

// Outlines (GL_LINE_LOOP) with per-vertex lit colour, polygon rejection on, front faces only.
void setArrayMesh(KMesh& mesh) {
    mesh.setRenderMode(2);
    mesh.setSurfaceMode(5);
    mesh.forceClipping();
    mesh.setTwoSided(false);
}

}  // namespace

// ---- Scene 0: orbiting spheres ----

Scene0::Scene0(ShowState& show) : show_(show) {}
Scene0::~Scene0() = default;

void Scene0::setUp() {
    scene_ = std::make_unique<KScene>(kFile, true);
    for (int i = 0; i < scene_->getMeshCount(); ++i) {
        KMesh& mesh = scene_->getMesh(i);
        mesh.forceClipping();
        mesh.setTwoSided(false);
        mesh.setRenderMode(2);
        mesh.setSurfaceMode(3);
    }
    cameraPosition(*scene_).set(0, 0, 0);
    cameraTarget(*scene_).set(0, 0, 1000);
    for (int i = 0; i < scene_->getMeshCount(); ++i) {
        savedPositions_.push_back(meshPosition(*scene_, i));
        savedTargets_.push_back(meshTarget(*scene_, i));
    }
}

void Scene0::preFrame() {
    glEnable(GL_LINE_SMOOTH);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    enableHiddenLines();
}

void Scene0::move(int tick, Move action) {
    if (!moved_) {
        moved_ = true;
        movePrevious_ = tick;
    }
    int dt = tick - movePrevious_;
    KScene& s = *scene_;
    if (action == Move::reset) {
        for (int i = 0; i < s.getMeshCount(); ++i) {
            meshPosition(s, i) = savedPositions_[i];
            meshTarget(s, i) = savedTargets_[i];
        }
        cameraPosition(s).set(0, 0, 0);
        cameraTarget(s).set(0, 0, 1000);
    } else {
        cameraTarget(s).set(0, 0, 0);
        if (action == Move::farOrbit) cameraPosition(s).set(-100, 0, 0);
        else if (action == Move::nearOrbit) cameraPosition(s).set(-50, 0, 0);
        else cameraPosition(s).set(-60, -10, 10);
        // 30 angle units per tick, about the world's vertical axis.
        for (int i = 0; i < s.getMeshCount(); ++i) meshPosition(s, i).rotateY(30 * dt);
    }
    renderScene(s);
    ++draws_;
    movePrevious_ = tick;
}

void Scene0::step(int, CueList& main, CueList& zoom) {
    if (main.exhausted()) {
        ++show_.sceneIndex;
        return;
    }
    glLineWidth(3.0f);
    if (main.fire()) {
        started_ = true;
        move(currentTicks(), Move::reset);
        show_.depthOffset = 20.0f;
    }
    if (!main.exhausted()) {
        if (!started_) {
            // Tick 0 keeps dt at 0: the spheres stand still until the first cue.
            move(0, Move::farOrbit);
        } else {
            if (zoom.fire()) {
                zoomMark_ = currentTicks();
                ++zoomCount_;
                if (zoomCount_ > 1) move(currentTicks(), Move::reset);
            }
            if (zoomMark_ < 0) {
                move(currentTicks(), Move::farOrbit);
            } else if (zoomCount_ == 1) {
                move(currentTicks(), Move::nearOrbit);
                if (currentTicks() - zoomMark_ > 30) zoomMark_ = -1;
            } else if (currentTicks() - zoomMark_ < 145) {
                move(currentTicks(), Move::highOrbit);
            }
        }
    }
    show_.overlayLineWidth = 3.0f;
}

// ---- Scene 1: spiral flight ----

namespace {
const Point kSpiralStartPosition(0, 0, -700);
const Point kSpiralStartTarget(0, 0, -100000);
}  // namespace

Scene1::Scene1(ShowState& show) : show_(show) {}
Scene1::~Scene1() = default;

void Scene1::setUp() {
    scene_ = std::make_unique<KScene>(kFile, true);
    KScene& s = *scene_;
    requireMesh(s, kFile);
    s.getMesh(0).setRenderMode(2);
    s.getMesh(0).setSurfaceMode(5);
    meshPosition(s, 0).set(0, 0, 0);
    meshTarget(s, 0).set(0, 0, 1);
    meshTarget(s, 0).rotateX(50000);
    cameraPosition(s) = kSpiralStartPosition;
    cameraTarget(s) = kSpiralStartTarget;
    cameraTarget(s).rotateY(40000);
    for (int i = 0; i < s.getMeshCount(); ++i) {
        KMesh& mesh = s.getMesh(i);
        mesh.setRenderMode(2);
        mesh.setSurfaceMode(5);
        mesh.forceClipping();
        mesh.setTwoSided(true);
    }
}

void Scene1::preFrame() {
    glFogf(GL_FOG_DENSITY, 0.001f);
    glDisable(GL_DEPTH_TEST);
    disableHiddenLines();
}

void Scene1::move(int time, Move action) {
    if (!moved_) {
        moved_ = true;
        previousTime_ = time;
    }
    float dt = float(time - previousTime_);
    previousTime_ = time;
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_FOG);
    glLineWidth(7.0f);
    KScene& s = *scene_;
    if (action == Move::startTurn || action == Move::startRoll) {
        // Back to the start of a flight; fog stays on until a flight move draws.
        const bool turn = action == Move::startTurn;
        cameraZ_ = -375.0f;
        cameraY_ = turn ? 0.0f : 50.0f;
        sinkSpeed_ = turn ? 0.095f : 0.205f;
        forwardSpeed_ = turn ? 1.8f : 2.8f;
        cameraPosition(s) = kSpiralStartPosition;
        cameraTarget(s) = kSpiralStartTarget;
        if (turn) cameraTarget(s).rotateY(40000);
        fade_ = 1.0f;
        spin_ = turn ? 100.0f : 40.0f;
        previousTime_ = 0;
        return;
    }
    cameraZ_ += dt * forwardSpeed_;
    cameraY_ -= dt * sinkSpeed_;
    cameraPosition(s).set(0, cameraY_, cameraZ_);
    if (spin_ > 0.0f) {
        const int angle = int(dt * spin_);
        if (action == Move::flyTurning) cameraTarget(s).rotateY(65535 - angle);
        else cameraTarget(s).rotateX(angle);
    }
    spin_ -= 0.55f * dt;
    renderScene(s);
    ++draws_;
    glDisable(GL_FOG);
    if (time > 100) {
        fade_ -= 0.004f * dt;
        // Once the fade is spent the brightness keeps its last positive value.
        if (fade_ > 0.0f) setBrightness(fade_);
    }
    show_.overlayLineWidth = 10.0f;
}

void Scene1::step(int tick, CueList& cues) {
    if (cues.exhausted()) {
        ++show_.sceneIndex;
        return;
    }
    if (cues.fire()) {
        active_ = true;
        ++segmentCount_;
        segmentStart_ = tick;
        // Pairs of turns and rolls: turn, turn, roll, roll, turn, ...
        if (kindCounter_ < 0) {
            kind_ = Kind::turn;
        } else {
            kind_ = Kind::roll;
            if (kindCounter_ > 0) kindCounter_ = -3;
        }
        move(currentTicks(), kind_ == Kind::turn ? Move::startTurn : Move::startRoll);
        ++kindCounter_;
    }
    if (active_ && segmentCount_ <= 8)
        move(currentTicks() - segmentStart_, kind_ == Kind::turn ? Move::flyTurning : Move::flyRolling);
}

// ---- Scene 2: array rush ----

Scene2::Scene2(ShowState& show) : show_(show) {}
Scene2::~Scene2() = default;

void Scene2::setUp() {
    scene_ = std::make_unique<KScene>(kFile, KScene::Clones{1});
    KScene& s = *scene_;
    requireClonedMesh(s, kFile);
    cameraPosition(s).set(0, 0, 500);
    cameraTarget(s).set(0, 0, 0);
    meshPosition(s, 0).set(20, 20, 500);
    meshTarget(s, 0).set(20, 20, 1500);
    meshTarget(s, 0).rotateX(24000);
    setArrayMesh(s.getMesh(0));
}

void Scene2::preFrame() {
    glEnable(GL_FOG);
    glFogf(GL_FOG_DENSITY, 0.001f);
    enableStretch();
    setStretch(2, 2, 1);
    setBrightness(1);
}

void Scene2::step(int tick, CueList& main, CueList& fade) {
    glLineWidth(10.0f);
    if (!called_) {
        called_ = true;
        previous_ = tick;
    }
    float dt = float(tick - previous_);
    previous_ = tick;
    if (fade.fire()) fading_ = true;
    if (fading_) {
        // The brightness lags one frame behind the level.
        setBrightness(fadeLevel_);
        fadeLevel_ -= 0.01f * dt;
        if (fadeLevel_ < 0.0f) fadeLevel_ = 0.0f;
    }
    if (main.exhausted()) {
        ++show_.sceneIndex;
        return;
    }
    KScene& s = *scene_;
    if (main.fire()) {
        meshPosition(s, 0).set(20, 20, 500);
        meshTarget(s, 0).set(20, 20, 500);
        meshTarget(s, 0).rotateX(24000);
        moving_ = true;
        show_.boxWidth = 130;
        show_.boxHeight = 120;
        speed_ = 2.0f;
        distance_ = 500.0f;
    } else if (!moving_) {
        renderScene(s);
        ++draws_;
        return;
    }
    distance_ -= 0.6f * dt;
    speed_ = std::min(speed_ + 0.01f * dt, 50.0f);
    if (distance_ < 0.0f) moving_ = false;
    // Away from the camera, which looks along -z.
    meshPosition(s, 0).z -= speed_ * dt;
    meshTarget(s, 0).z -= speed_ * dt;
    renderScene(s);
    ++draws_;
}

// ---- Scene 3: arrays in bursts ----

Scene3::Scene3(ShowState& show) : show_(show) {}
Scene3::~Scene3() = default;

void Scene3::setUp() {
    scene_ = std::make_unique<KScene>(kFile, true);
    KScene& s = *scene_;
    requireMesh(s, kFile);
    cameraPosition(s).set(0, 0, 150);
    cameraTarget(s).set(0, 0, 0);
    meshPosition(s, 0).set(0, 0, 0);
    meshTarget(s, 0).set(0, 0, 10000);
    setArrayMesh(s.getMesh(0));
}

void Scene3::preFrame() {
    // Fog stays enabled as the previous scene left it.
    enableHiddenLines();
    glFogf(GL_FOG_DENSITY, 0.00075f);
}

void Scene3::step(int tick, CueList& cues) {
    if (!called_) {
        called_ = true;
        previous_ = tick;
        burstStart_ = tick;
    }
    float dt = float(tick - previous_);
    previous_ = tick;
    glLineWidth(4.0f);
    if (cues.exhausted()) {
        ++show_.sceneIndex;
        return;
    }
    KScene& s = *scene_;
    if (active_) {
        const float grow = 0.9f * dt;
        boxWidth_ = std::min(boxWidth_ + grow, 130.0f);
        boxHeight_ = std::min(boxHeight_ + grow, 130.0f);
        show_.boxWidth = int(boxWidth_);
        show_.boxHeight = int(boxHeight_);
        // The seventh burst holds longer and fades slower.
        if (burstCount_ == 7) {
            if (tick - burstStart_ > 120) level_ -= 0.005f * dt;
        } else if (tick - burstStart_ > 50) {
            level_ -= 0.007f * dt;
        }
        depthStretch_ += 0.025f * dt;
        if (level_ < 0.0f) level_ = 0.0f;
        setBrightness(level_);
        enableStretch();
        setStretch(1, 1, depthStretch_);
        if (level_ <= 0.0f) {
            active_ = false;
            depthStretch_ = 1.0f;
            level_ = 1.0f;
            boxWidth_ = 50.0f;
            boxHeight_ = 50.0f;
        }
        renderScene(s);
        ++draws_;
    } else if (cues.fire()) {
        // A cue fires only between bursts; its frame only turns the mesh.
        ++burstCount_;
        meshTarget(s, 0).rotateX(15000);
        meshTarget(s, 0).rotateY(4700);
        burstStart_ = tick;
        active_ = true;
    }
    show_.overlayLineWidth = 7.0f;
}

// ---- Scene 4: arrays drifting ----

namespace {
constexpr float kDriftSpeeds[3] = {0.9f, 1.3f, 2.55f};
}

Scene4::Scene4(ShowState& show) : show_(show) {}
Scene4::~Scene4() = default;

void Scene4::setUp() {
    scene_ = std::make_unique<KScene>(kFile, true);
    KScene& s = *scene_;
    requireMesh(s, kFile);
    cameraPosition(s).set(20, 10, 25);
    cameraTarget(s).set(0, 0, 0);
    meshPosition(s, 0).set(0, 0, 0);
    meshTarget(s, 0).set(0, 0, 10000);
    setArrayMesh(s.getMesh(0));
}

void Scene4::preFrame() {
    enableHiddenLines();
    glEnable(GL_FOG);
    glFogf(GL_FOG_DENSITY, 0.00075f);
    setBrightness(1);
    disableStretch();
}

void Scene4::step(int tick, CueList& main, CueList& fade) {
    if (!called_) {
        called_ = true;
        previous_ = tick;
    }
    float dt = float(tick - previous_);
    previous_ = tick;
    glLineWidth(7.0f);
    if (main.exhausted()) {
        show_.density = 700;
        ++show_.sceneIndex;
        return;
    }
    if (fade.fire()) fading_ = true;
    if (fading_) {
        level_ = std::max(level_ - 0.0035f * dt, 0.0f);
    } else if (fadingIn_) {
        level_ += 0.067f * dt;
        if (level_ > 1.0f) {
            level_ = 1.0f;
            fadingIn_ = false;
        }
    }
    setBrightness(level_);
    KScene& s = *scene_;
    if (main.fire()) {
        cameraPosition(s).set(20, 10, 25);
        cameraTarget(s).set(0, 0, 0);
        meshPosition(s, 0).set(0, 0, 0);
        meshTarget(s, 0).set(0, 0, 10000);
        ++segment_;
    }
    renderScene(s);
    ++draws_;
    // The motion shows in the next frame's picture.
    if (segment_ >= 0 && segment_ <= 2) {
        const float step = dt * kDriftSpeeds[segment_];
        cameraPosition(s).z += 0.2f * step;
        cameraPosition(s).y += 0.06f * step;
        meshTarget(s, 0).rotateX(int(30.0f * step));
    }
    show_.overlayLineWidth = 7.0f;
}
