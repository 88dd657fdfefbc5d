// Whole frames drawn headless and read back.
#include <gtest/gtest.h>

#include "render/mesh_renderer.h"
#include "render/render.h"
#include "render/render_fixture.h"

namespace {

using namespace support3ds;
using rendertest::brightestNear;
using rendertest::pixel;
using rendertest::RenderTest;
using rendertest::windowPosition;

enum Channel { kRed = 0, kGreen = 1, kBlue = 2 };

Material flat(const std::string& name, Rgb8 colour) {
    Material m;
    m.name = name;
    m.diffuse = colour;
    return m;
}

// A triangle facing the camera, in the plane z, coloured by the named material.
Mesh triangle(const std::string& name, float size, float z, const std::string& material) {
    Mesh m;
    m.name = name;
    m.vertices = {{-size, -size, z}, {size, -size, z}, {0, size, z}};
    m.faces = {{0, 2, 1, 0}};
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    m.groups = {{material, {0}}};
    return m;
}

TEST_F(RenderTest, LineLoopLandsWhereTheProjectionPutsIt) {
    Scene s;
    s.materials = {flat("Red", {255, 0, 0})};
    s.meshes = {triangle("tri", 5, 0, "Red")};
    auto scene = load(s);
    KMesh& mesh = scene->getMesh(0);
    mesh.setRenderMode(2);  // GL_LINE_LOOP
    mesh.setSurfaceMode(2);  // flat colour, unlit
    renderScene(*scene);

    // Every edge is drawn: sample the middle of each.
    const auto bottom = windowPosition(0, -5, 0), left = windowPosition(-2.5f, 0, 0), right = windowPosition(2.5f, 0, 0);
    EXPECT_GT(brightestNear(bottom[0], bottom[1], 1, kRed), 200);
    EXPECT_GT(brightestNear(left[0], left[1], 1, kRed), 200);
    EXPECT_GT(brightestNear(right[0], right[1], 1, kRed), 200);
    EXPECT_LT(brightestNear(bottom[0], bottom[1], 1, kGreen), 30);
    // Outline only: the middle and the space just outside stay black.
    const auto centre = windowPosition(0, -1, 0), below = windowPosition(0, -6.5f, 0);
    EXPECT_EQ(pixel(int(centre[0]), int(centre[1]))[kRed], 0);
    EXPECT_LT(brightestNear(below[0], below[1], 1, kRed), 30);
}

TEST_F(RenderTest, LinesModeDrawsOneEdgeAndTheBackPassReversesIt) {
    Scene s;
    s.materials = {flat("White", {255, 255, 255})};
    // Facing away from the camera, kept by the two-sided switch: drawn in the back pass.
    Mesh m = triangle("away", 5, 0, "White");
    m.faces = {{0, 1, 2, 0}};
    s.meshes = {m};
    auto scene = load(s);
    KMesh& mesh = scene->getMesh(0);
    mesh.setTwoSided(true);
    mesh.setSurfaceMode(2);
    mesh.setRenderMode(1);  // GL_LINES: the first two vertices submitted
    renderScene(*scene);
    EXPECT_EQ(scene->getView().backCount, 1);
    // Back order c, b, a: the line joins the file's first and second corners.
    const auto joined = windowPosition(0, -5, 0), other = windowPosition(2.5f, 0, 0);
    EXPECT_GT(brightestNear(joined[0], joined[1], 1, kRed), 200);
    EXPECT_LT(brightestNear(other[0], other[1], 1, kRed), 30);
}

TEST_F(RenderTest, HiddenLinePrepassHidesOutlinesBehindNearerPolygons) {
    Scene s;
    s.materials = {flat("Red", {255, 0, 0}), flat("Green", {0, 255, 0})};
    // The far triangle's bottom edge runs behind the near triangle.
    s.meshes = {triangle("far", 3, 10, "Green"), triangle("near", 6, 0, "Red")};
    auto scene = load(s);
    for (int i = 0; i < 2; ++i) {
        scene->getMesh(i).setRenderMode(2);
        scene->getMesh(i).setSurfaceMode(2);
    }
    const auto hidden = windowPosition(0, -3, 10), nearEdge = windowPosition(0, -6, 0);

    renderScene(*scene);
    EXPECT_GT(brightestNear(hidden[0], hidden[1], 1, kGreen), 200) << "visible without the pre-pass";

    rendertest::clearFrame();
    enableHiddenLines();
    renderScene(*scene);
    EXPECT_LT(brightestNear(hidden[0], hidden[1], 1, kGreen), 30);
    EXPECT_GT(brightestNear(nearEdge[0], nearEdge[1], 1, kRed), 200) << "a polygon's own outline stays";
}

TEST_F(RenderTest, PolygonsAreCountedAsDrawnWhicheverWayTheyGo) {
    Scene s;
    s.materials = {flat("Red", {255, 0, 0})};
    // One triangle in view and one behind the camera, which draws nothing.
    s.meshes = {triangle("seen", 5, 0, "Red"), triangle("behind", 5, -100, "Red")};
    auto scene = load(s);
    for (int i = 0; i < 2; ++i) {
        scene->getMesh(i).setRenderMode(2);
        scene->getMesh(i).setSurfaceMode(2);
    }
    long before = polygonsDrawn();
    renderScene(*scene);  // a flat outline without hidden lines: polygon by polygon
    EXPECT_EQ(polygonsDrawn() - before, 1);
    before = polygonsDrawn();
    enableHiddenLines();
    renderScene(*scene);  // with its hidden-line pre-pass: through the vertex arrays
    disableHiddenLines();
    EXPECT_EQ(polygonsDrawn() - before, 1) << "the pre-pass is part of drawing the polygon";
    before = polygonsDrawn();
    countPolygons(2);  // what a scene draws by itself
    EXPECT_EQ(polygonsDrawn() - before, 2);
}

class TexturedDraw : public RenderTest {
protected:
    // A filled square facing the camera, textured green with a blue environment map.
    std::unique_ptr<KScene> square() {
        const std::string tex = env.addFile("green.jpg", scenetest::solidJpeg(8, 8, {0, 255, 0}));
        const std::string refl = env.addFile("blue.jpg", scenetest::solidJpeg(8, 8, {0, 0, 255}));
        Material mat = flat("Mapped", {255, 0, 0});
        mat.texture = MapSpec{tex, 100};
        mat.reflection = MapSpec{refl, 100};
        Mesh m;
        m.name = "square";
        m.vertices = {{-5, -5, 0}, {5, -5, 0}, {5, 5, 0}, {-5, 5, 0}};
        m.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        m.faces = {{0, 2, 1, 0}, {0, 3, 2, 0}};
        m.groups = {{"Mapped", {0, 1}}};
        Scene s;
        s.materials = {mat};
        s.meshes = {m};
        auto scene = load(s);
        scene->getMesh(0).setRenderMode(4);  // GL_TRIANGLES
        return scene;
    }

    std::array<uint8_t, 3> centreAfter(KScene& scene, int surfaceMode) {
        rendertest::clearFrame();
        scene.getMesh(0).setSurfaceMode(surfaceMode);
        renderScene(scene);
        const auto c = windowPosition(2, -1, 0);  // inside one triangle, off the diagonal
        return pixel(int(c[0]), int(c[1]));
    }
};

TEST_F(TexturedDraw, TextureModesSampleTheirTexture) {
    auto scene = square();
    const auto textured = centreAfter(*scene, 16);
    EXPECT_GT(textured[kGreen], 200);
    EXPECT_LT(textured[kRed], 30);
    const auto environment = centreAfter(*scene, 8);
    EXPECT_GT(environment[kBlue], 200);
    EXPECT_LT(environment[kGreen], 30);
    // Lit variants ignore the lighting bit when submitting.
    EXPECT_GT(centreAfter(*scene, 17)[kGreen], 200);
    // Texture and environment together is no mode: nothing is drawn.
    const auto none = centreAfter(*scene, 24);
    EXPECT_EQ(none[kRed] + none[kGreen] + none[kBlue], 0);
}

TEST_F(TexturedDraw, BrightnessZeroDrawsBlack) {
    auto scene = square();
    setBrightness(0.0f);
    for (int mode : {2, 4, 16, 18, 20}) {
        const auto c = centreAfter(*scene, mode);
        EXPECT_EQ(c[kRed] + c[kGreen] + c[kBlue], 0) << "surface mode " << mode;
    }
    setBrightness(1.0f);
    EXPECT_GT(centreAfter(*scene, 2)[kRed], 200);
}

TEST_F(TexturedDraw, ForcedClippingDrawsTheSamePicture) {
    auto scene = square();
    const long before = polygonsDrawn();
    const auto plain = centreAfter(*scene, 16);
    EXPECT_EQ(polygonsDrawn() - before, 2) << "textured polygons count one by one";
    EXPECT_EQ(scene->getMesh(0).getVisibility(), MeshRenderer::kInside);
    scene->getMesh(0).forceClipping();
    const auto forced = centreAfter(*scene, 16);
    EXPECT_EQ(scene->getMesh(0).getVisibility(), MeshRenderer::kPartly);
    EXPECT_EQ(plain, forced);
    EXPECT_EQ(scene->getView().clipping, 1);
}

}  // namespace
