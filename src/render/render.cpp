#include "render/render.h"

#include "math/ktable.h"
#include "render/mesh_renderer.h"
#include "render/switches.h"
#include "scene/kscene.h"

RenderSwitches& renderSwitches() {
    static RenderSwitches switches;
    return switches;
}

namespace {

long& drawnCount() {
    static long count = 0;
    return count;
}

}  // namespace

long polygonsDrawn() { return drawnCount(); }
void countPolygons(long count) { drawnCount() += count; }

void setBrightness(float value) { renderSwitches().brightness = value; }
float getBrightness() { return renderSwitches().brightness; }
void enableHiddenLines() { renderSwitches().hiddenLines = true; }
void disableHiddenLines() { renderSwitches().hiddenLines = false; }
bool hiddenLinesEnabled() { return renderSwitches().hiddenLines; }
void enableStretch() { renderSwitches().stretch = true; }
void disableStretch() { renderSwitches().stretch = false; }
bool stretchEnabled() { return renderSwitches().stretch; }

void setStretch(float x, float y, float z) {
    RenderSwitches& s = renderSwitches();
    s.stretchX = x;
    s.stretchY = y;
    s.stretchZ = z;
}

void renderScene(KScene& scene) {
    if (KTable::renderFlags() & 1) return;
    View& view = scene.getView();
    if (view.currentCamera < 0) return;
    scene.getCurrentCamera().buildMatrix();
    view.viewportCount = scene.getViewportCount();
    view.viewports = scene.getViewports();
    for (int i = 0; i < scene.getMeshCount(); ++i) MeshRenderer::draw(scene.getMesh(i), view);
}
