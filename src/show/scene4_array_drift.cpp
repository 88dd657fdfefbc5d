#include "show/scenes.h"

#include <GL/gl.h>

#include <algorithm>

#include "render/lines.h"
#include "render/render.h"
#include "show/scene_common.h"

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
    setLineWidth(7.0f);
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
