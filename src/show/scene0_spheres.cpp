#include "show/scenes.h"

#include <GL/gl.h>

#include "platform/clock.h"
#include "render/lines.h"
#include "render/render.h"
#include "show/scene_common.h"

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
    enableLineSmoothing();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
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
    setLineWidth(3.0f);
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
