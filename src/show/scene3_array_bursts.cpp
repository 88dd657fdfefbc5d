#include "show/scenes.h"

#include <GL/gl.h>

#include <algorithm>

#include "render/lines.h"
#include "render/render.h"
#include "show/scene_common.h"

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
    setLineWidth(4.0f);
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
