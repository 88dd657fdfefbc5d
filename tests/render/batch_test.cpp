// The outline batch draws what the per-polygon path draws, pixel for pixel, and leaves the same
// current colour: both paths run on the same prepared mesh and their frames are compared whole,
// with native lines and with quads (whose batch goes to GL in fewer draws).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/lines.h"
#include "render/mesh_renderer.h"
#include "render/render.h"
#include "render/render_fixture.h"

namespace {

using namespace support3ds;
using rendertest::RenderTest;

// A folded, bumpy grid wider than the view: neighbours overlap in depth, the fold turns some
// faces away, and the outer cells lie wholly off screen.
Scene foldedGrid() {
    Scene s;
    s.meshes = {gridMesh("grid", 10, [](int x, int y) {
        const float fx = float(x) * 3.0f - 15.0f, fy = float(y) * 3.0f - 15.0f;
        return Vec3{fx, fy, 1.5f * std::sin(fx) * std::cos(fy) + 0.4f * fx * fx - 6.0f};
    })};
    s.lights = {{"Key", {0, 0, -50}, {1, 1, 1}}, {"Rim", {30, 10, -5}, {0.6f, 0.3f, 0.3f}}};
    return s;
}

struct Frame {
    std::vector<uint8_t> rgba;
    float colour[4];
};

// One viewport pass of the prepared mesh under the show's scene state, read back whole.
template <typename Submit>
Frame draw(KMesh& mesh, Submit submit) {
    MeshRenderer::project(mesh);  // fresh transformed depths: the pre-pass shifts leave rounding behind
    rendertest::clearFrame();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    enableLineSmoothing();
    setLineWidth(3.0f);
    glDisable(GL_DEPTH_TEST);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    submit(mesh);
    Frame f;
    f.rgba.resize(size_t(rendertest::kWidth) * rendertest::kHeight * 4);
    glReadPixels(0, 0, rendertest::kWidth, rendertest::kHeight, GL_RGBA, GL_UNSIGNED_BYTE, f.rgba.data());
    glGetFloatv(GL_CURRENT_COLOR, f.colour);
    return f;
}

TEST_F(RenderTest, OutlineBatchDrawsWhatEachPolygonDraws) {
    auto scene = load(foldedGrid());
    KMesh& mesh = scene->getMesh(0);
    mesh.forceClipping();
    struct Case {
        int surfaceMode, renderMode;
        bool hidden, twoSided;
    };
    for (const LineWay way : {LineWay::native, LineWay::quads})
    for (const Case c : {Case{3, 2, true, false}, Case{5, 2, true, false}, Case{5, 2, false, false},
                         Case{5, 2, false, true}, Case{5, 1, false, true}, Case{5, 2, true, true},
                         Case{3, 1, true, true}}) {
        SCOPED_TRACE(::testing::Message() << lineWayName(way) << ", surface " << c.surfaceMode << ", render "
                                          << c.renderMode << (c.hidden ? ", hidden lines" : "")
                                          << (c.twoSided ? ", two-sided" : ""));
        useLineWay(way, {255.0f, 255.0f});
        mesh.setSurfaceMode(c.surfaceMode);
        mesh.setRenderMode(c.renderMode);
        mesh.setTwoSided(c.twoSided);
        c.hidden ? enableHiddenLines() : disableHiddenLines();
        scene->getCurrentCamera().buildMatrix();
        View& view = scene->getView();
        view.viewportCount = scene->getViewportCount();
        view.viewports = scene->getViewports();
        MeshRenderer::attach(mesh, view);
        ASSERT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kPartly);
        view.clipping = 1;
        MeshRenderer::selectPolygons(mesh);
        MeshRenderer::shade(mesh);
        if (c.twoSided) {
            EXPECT_GT(view.backCount, 0);
        }

        const Frame each = draw(mesh, [](KMesh& m) { MeshRenderer::submitEachPolygon(m); });
        const Frame batch = draw(mesh, [](KMesh& m) { ASSERT_TRUE(MeshRenderer::submitOutlines(m)); });
        EXPECT_GT(rendertest::litPixels(), 500);
        EXPECT_TRUE(each.rgba == batch.rgba) << "the frames differ";
        for (int i = 0; i < 4; ++i) EXPECT_EQ(each.colour[i], batch.colour[i]) << "current colour channel " << i;
    }
    useLineWay(LineWay::native, {255.0f, 255.0f});
    disableLineSmoothing();
    setLineWidth(1.0f);
}

TEST_F(RenderTest, TexturedAndUnhiddenFlatPolygonsAreLeftToThePerPolygonPath) {
    auto scene = load(foldedGrid());
    KMesh& mesh = scene->getMesh(0);
    scene->getCurrentCamera().buildMatrix();
    MeshRenderer::attach(mesh, scene->getView());
    for (int surface : {16, 3}) {
        mesh.setSurfaceMode(surface);
        MeshRenderer::selectPolygons(mesh);
        MeshRenderer::project(mesh);
        EXPECT_FALSE(MeshRenderer::submitOutlines(mesh)) << "surface " << surface;
    }
    EXPECT_EQ(rendertest::litPixels(0), 0);
}

}  // namespace
