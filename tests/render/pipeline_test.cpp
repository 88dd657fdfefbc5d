// The per-mesh steps on computed data: visibility classes, draw lists, shading, projection.
#include <gtest/gtest.h>

#include "render/mesh_renderer.h"
#include "render/render.h"
#include "render/render_fixture.h"
#include "support/numbered.h"

namespace {

using namespace support3ds;
using rendertest::RenderTest;

Mesh unitTriangle() {
    Mesh m;
    m.name = "tri";
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.faces = {{0, 2, 1, 0}};  // faces the camera at z = -20 (normal -z)
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    return m;
}

// Four triangles in the z = 0 plane, alternately facing the camera (normal -z) and away.
Mesh alternating() {
    Mesh m;
    m.name = "alt";
    for (int i = 0; i < 4; ++i) {
        const float x = float(i) * 2.0f;
        m.vertices.push_back({x, 0, 0});
        m.vertices.push_back({x + 1, 0, 0});
        m.vertices.push_back({x, 1, 0});
        const uint16_t base = uint16_t(i * 3);
        if (i % 2 == 0) {
            m.faces.push_back({base, uint16_t(base + 2), uint16_t(base + 1), 0});
        } else {
            m.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2), 0});
        }
    }
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    return m;
}

class Pipeline : public RenderTest {
protected:
    // Attaches the mesh to the scene's view with a fresh camera matrix, as a frame does.
    void attach(KScene& scene, KMesh& mesh) {
        scene.getCurrentCamera().buildMatrix();
        View& view = scene.getView();
        view.viewportCount = scene.getViewportCount();
        view.viewports = scene.getViewports();
        MeshRenderer::attach(mesh, view);
    }
};

TEST_F(Pipeline, ClassifyGivesOutsideInsideAndPartly) {
    Scene s;
    s.meshes = {unitTriangle()};
    auto scene = load(s);
    KMesh& mesh = scene->getMesh(0);
    attach(*scene, mesh);
    Point& position = mesh.getFrame().getPosition();

    position.set(0, 0, 0);
    EXPECT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kInside);
    // Wholly nearer than the near plane.
    position.set(0, 0, -30);
    EXPECT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kOutside);
    position.set(100, 0, 0);
    EXPECT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kOutside);
    position.set(0, -100, 10);
    EXPECT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kOutside);
    // Within one radius of the right-hand plane: neither wholly in nor out.
    position.set(18, 0, 0);
    EXPECT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kPartly);
    // Inside needs a margin of two radii from the near plane too.
    position.set(0, 0, -18.5f);
    EXPECT_EQ(MeshRenderer::classify(mesh), MeshRenderer::kPartly);
}

TEST_F(Pipeline, MeshesOutsideAreNeitherShadedNorDrawn) {
    Scene s;
    s.meshes = {unitTriangle()};
    auto scene = load(s);
    KMesh& mesh = scene->getMesh(0);
    mesh.setRenderMode(4);  // filled
    mesh.setSurfaceMode(3);
    const Colour before = mesh.polygonColour(0);
    mesh.getFrame().getPosition().set(0, 0, -30);
    renderScene(*scene);
    EXPECT_EQ(mesh.getVisibility(), MeshRenderer::kOutside);
    EXPECT_EQ(mesh.polygonColour(0).stored()[0], before.stored()[0]);
    EXPECT_EQ(rendertest::litPixels(), 0);
}

TEST_F(Pipeline, DrawListsHoldFrontFacesThenBackFacesReversed) {
    Scene s;
    s.meshes = {alternating()};
    auto scene = load(s);
    KMesh& mesh = scene->getMesh(0);
    attach(*scene, mesh);
    View& view = scene->getView();

    MeshRenderer::selectPolygons(mesh);
    EXPECT_EQ(view.frontCount, 2);
    EXPECT_EQ(view.backCount, 0);
    EXPECT_EQ(view.drawCount, 2);
    EXPECT_EQ(mesh.visible(0), &mesh.polygon(0));
    EXPECT_EQ(mesh.visible(1), &mesh.polygon(2));

    mesh.setTwoSided(true);
    MeshRenderer::selectPolygons(mesh);
    EXPECT_EQ(view.frontCount, 2);
    EXPECT_EQ(view.backCount, 2);
    EXPECT_EQ(view.drawCount, 4);
    EXPECT_EQ(mesh.visible(2), &mesh.polygon(3));
    EXPECT_EQ(mesh.visible(3), &mesh.polygon(1));

    // From behind every polygon swaps sides.
    scene->getCurrentCamera().getPosition().set(0, 0, 20);
    MeshRenderer::selectPolygons(mesh);
    EXPECT_EQ(view.frontCount, 2);
    EXPECT_EQ(mesh.visible(0), &mesh.polygon(1));
    EXPECT_EQ(mesh.visible(3), &mesh.polygon(0));
}

TEST_F(Pipeline, ProjectionTransformsVerticesAndSetsOutcodes) {
    Scene s;
    s.meshes = {unitTriangle()};
    auto scene = load(s);
    KMesh& mesh = scene->getMesh(0);
    attach(*scene, mesh);
    MeshRenderer::classify(mesh);
    MeshRenderer::project(mesh);
    const float sx = KTable::projectionScaleX();
    EXPECT_NEAR(sx, 1.118f, 0.01f);
    // Vertex 1 (1, 0, 0) seen from (0, 0, -20).
    EXPECT_NEAR(mesh.transformedVertex(1).x, sx, 1e-5f);
    EXPECT_NEAR(mesh.transformedVertex(1).z, 20.0f, 1e-5f);
    EXPECT_EQ(mesh.outcode(1), 0);

    // Moved nearer than the near plane and off to the left.
    mesh.getFrame().getPosition().set(-5, 0, -19.5f);
    MeshRenderer::classify(mesh);
    MeshRenderer::project(mesh);
    EXPECT_EQ(mesh.outcode(0), kOutNear | kOutLeft);

    // The stretch switch scales object space before the camera.
    mesh.getFrame().getPosition().set(0, 0, 0);
    setStretch(2.0f, 1.0f, 1.0f);
    enableStretch();
    MeshRenderer::classify(mesh);
    MeshRenderer::project(mesh);
    EXPECT_NEAR(mesh.transformedVertex(1).x, 2.0f * sx, 1e-5f);
}

class Shading : public Pipeline {
protected:
    // A two-sided unlit-by-default pair: polygon 0 faces the camera (normal -z), polygon 1 away,
    // both with the material (100, 50, 0); lights as given.
    std::unique_ptr<KScene> pair(const std::vector<Light>& lights) {
        Mesh m;
        m.name = "pair";
        m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {2, 1, 0}};
        // Mapping coordinates keep the group chunk beyond the loader's search window behind
        // the vertex list.
        m.mapping = {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
        m.faces = {{0, 2, 1, 0}, {3, 4, 5, 0}};
        m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
        m.groups = {{"Mat", {0, 1}}};
        Material mat;
        mat.name = "Mat";
        mat.diffuse = Rgb8{100, 50, 0};
        Scene s;
        s.materials = {mat};
        s.meshes = {m};
        s.lights = lights;
        auto scene = load(s);
        scene->getMesh(0).setTwoSided(true);
        return scene;
    }

    void shade(KScene& scene, int surfaceMode) {
        KMesh& mesh = scene.getMesh(0);
        mesh.setSurfaceMode(surfaceMode);
        attach(scene, mesh);
        MeshRenderer::selectPolygons(mesh);
        MeshRenderer::shade(mesh);
    }

    static void expectColour(const Colour& c, float r, float g, float b) {
        EXPECT_EQ(c.getRed(), r);
        EXPECT_EQ(c.getGreen(), g);
        EXPECT_EQ(c.getBlue(), b);
    }
};

TEST_F(Shading, AmbientAloneUsesTheCarriedFactorAndLeavesVertexColours) {
    auto scene = pair({});
    KMesh& mesh = scene->getMesh(0);
    shade(*scene, 3);
    // m x 0.4 + white x (0.4 x g) with g = 0.
    expectColour(mesh.polygonColour(0), 40, 20, 0);

    MeshRenderer::setCarriedFactor(0.5f);
    shade(*scene, 3);
    expectColour(mesh.polygonColour(0), 91, 71, 51);

    // The per-vertex pass with no light besides the ambient one changes nothing.
    shade(*scene, 5);
    expectColour(mesh.vertexColour(0), 100, 50, 0);
}

TEST_F(Shading, FlatPassLightsFacesTowardTheLightAndCarriesItsFactor) {
    // Colour 0.2 x 255 = 51; the light sits in front of the pair.
    auto scene = pair({{"Light", {0, 0, -50}, {0.2f, 0.2f, 0.2f}}});
    KMesh& mesh = scene->getMesh(0);
    shade(*scene, 3);
    // d saturates at 1: 40,20,0 +clamp ((100,50,0) + 51 x 0.85) x 0.85 = (122, 79, 37).
    expectColour(mesh.polygonColour(0), 162, 99, 37);
    // Facing away: d = 0 adds nothing, but the ambient term uses the factor 1 carried over
    // from polygon 0: (40, 20, 0) + 255 x 0.4.
    expectColour(mesh.polygonColour(1), 142, 122, 102);
    EXPECT_EQ(MeshRenderer::carriedFactor(), 0.0f);
    // The material copies keep the unlit colour for the next frame.
    EXPECT_EQ(Colour::fromStored(mesh.polygon(0).colourCopy).getRed(), 100.0f);
}

TEST_F(Shading, PerVertexPassWeightsTheLightDifferently) {
    auto scene = pair({{"Light", {0, 0, -50}, {0.2f, 0.2f, 0.2f}}});
    KMesh& mesh = scene->getMesh(0);
    shade(*scene, 5);
    // Corner facing the light head on: (40,20,0) +clamp ((100,50,0) x 0.85 + 51) x 0.85.
    expectColour(mesh.vertexColour(0), 156, 99, 43);
    // Light behind the corner: nothing added.
    expectColour(mesh.vertexColour(3), 40, 20, 0);
    // The flat colours were not touched.
    EXPECT_EQ(mesh.polygonColour(0).getRed(), 100.0f);
}

TEST_F(Shading, ChannelSumsClampAt255AndTheGateNeedsLighting) {
    auto scene = pair({{"Sun", {0, 0, -50}, {1.0f, 1.0f, 1.0f}}});
    KMesh& mesh = scene->getMesh(0);
    shade(*scene, 3);
    // (40,20,0) + ((100,50,0) + 217) x 0.85 = (309, 247, 184) clamps to 255 in red only.
    expectColour(mesh.polygonColour(0), 255, 247, 184);

    // Without the lighting bit the pass does not run.
    Colour before = mesh.polygonColour(0);
    MeshRenderer::setCarriedFactor(0.0f);
    shade(*scene, 2);
    EXPECT_EQ(mesh.polygonColour(0).stored()[1], before.stored()[1]);
    // Nor when no viewport asks for lighting.
    scene->getView().modeFlags = 0;
    shade(*scene, 3);
    EXPECT_EQ(mesh.polygonColour(0).stored()[1], before.stored()[1]);
}

TEST_F(Shading, LightsBeyondTheMeshRoomAreLeftOut) {
    std::vector<Light> lights;
    // Behind the front polygon, so each adds nothing to it.
    for (int i = 0; i < 40; ++i) lights.push_back({numbered("L", i), {0, 0, 50}, {1.0f, 1.0f, 1.0f}});
    auto scene = pair(lights);
    EXPECT_EQ(scene->getView().lightCount, 41);
    shade(*scene, 5);  // 41 lights, room for 32: must neither write past the list nor fail
    EXPECT_EQ(scene->getMesh(0).vertexColour(0).getRed(), 40.0f);
}

}  // namespace
