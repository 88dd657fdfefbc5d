#include "render/render_fixture.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "render/mesh_renderer.h"
#include "render/render.h"

namespace rendertest {

void setUpWindowState() {
    static KTable table(65536, kWidth, kHeight, 32, 45.0f);
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(kWidth / kHeight), 1.0, 100000000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glOrtho(-1.0, 1.0, -1.0, 1.0, 0.0, 1.0);
    KTable::computeProjectionScale();
}

void clearFrame() {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::array<uint8_t, 3> pixel(int x, int y) {
    std::array<uint8_t, 4> rgba{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return {rgba[0], rgba[1], rgba[2]};
}

int brightestNear(float x, float y, int radius, int channel) {
    int best = 0;
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = int(std::lround(x)) + dx, py = int(std::lround(y)) + dy;
            if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) continue;
            best = std::max(best, int(pixel(px, py)[size_t(channel)]));
        }
    }
    return best;
}

int litPixels(int threshold) {
    std::vector<uint8_t> rgba(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    int lit = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        if (rgba[i] > threshold || rgba[i + 1] > threshold || rgba[i + 2] > threshold) ++lit;
    }
    return lit;
}

std::array<float, 2> windowPosition(float x, float y, float z) {
    // Submission divides x and y by the projection scales that the engine's projection applied,
    // so only GL's own perspective remains: eye depth 2(z + 20) + 1.
    const float f = float(1.0 / std::tan(22.5 * M_PI / 180.0));
    const float depth = 2.0f * (z + 20.0f) + 1.0f;
    return {kWidth / 2.0f * (1.0f + f * x / depth), kHeight / 2.0f * (1.0f + f * y / depth)};
}

void RenderTest::SetUp() {
    ASSERT_TRUE(gl.ok());
    setUpWindowState();
    clearFrame();
    setBrightness(1.0f);
    disableHiddenLines();
    disableStretch();
    MeshRenderer::setCarriedFactor(0.0f);
}

void RenderTest::TearDown() {
    setBrightness(1.0f);
    disableHiddenLines();
    disableStretch();
}

std::unique_ptr<KScene> RenderTest::load(const support3ds::Scene& scene) {
    static int serial = 0;
    const std::string file = env.addScene("scene" + std::to_string(serial++) + ".3ds", scene);
    return std::make_unique<KScene>(file.c_str(), true);
}

}  // namespace rendertest
