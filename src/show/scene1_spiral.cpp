#include "show/scenes.h"

#include <GL/gl.h>

#include "platform/clock.h"
#include "render/lines.h"
#include "render/render.h"
#include "show/scene_common.h"

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
    setLineWidth(7.0f);
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
