#include "show/scenes.h"

#include <GL/gl.h>

#include <algorithm>

#include "render/lines.h"
#include "render/render.h"
#include "show/scene_common.h"

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
    setLineWidth(10.0f);
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
