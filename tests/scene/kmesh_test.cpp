#include "scene/kmesh.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "base/exception.h"
#include "loader3ds/k3ds_container.h"
#include "math/random.h"
#include "scene/test_support.h"
#include "support/gl_context.h"

namespace {

using namespace support3ds;
using scenetest::Environment;

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ExceptionType& e) {
        return e.text();
    }
    return "";
}

// A unit square in the z = 0 plane as two triangles, at position (px, py, pz). The local-axes
// chunk keeps the material group out of reach of the loader's search behind the vertex list.
Mesh square(float px = 0.0f, float py = 0.0f, float pz = 0.0f) {
    Mesh m;
    m.name = "square";
    m.vertices = {{px, py, pz}, {px + 1, py, pz}, {px + 1, py + 1, pz}, {px, py + 1, pz}};
    m.faces = {{0, 1, 2, 0}, {0, 2, 3, 0}};
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, px, py, pz};
    return m;
}

struct Built {
    std::vector<uint8_t> bytes;
    std::unique_ptr<K3DSContainer> container;
    KMesh mesh;
};

// Walks the scene's file image and builds mesh number index from it.
void build(Built& b, const Scene& scene, int index = 0) {
    b.bytes = write3ds(scene);
    b.container = std::make_unique<K3DSContainer>("mesh.3ds", b.bytes.data(), b.bytes.size());
    b.mesh.set(*b.container, index);
}

TEST(KMesh, CornersAreReversedAndFaceNormalsFollowTheFileWinding) {
    Environment env;
    Scene scene;
    scene.meshes = {square()};
    Built b;
    build(b, scene);
    const KMesh& m = b.mesh;
    ASSERT_EQ(m.getPolygonCount(), 2);
    ASSERT_EQ(m.getVertexCount(), 4);
    EXPECT_EQ(m.polygon(0).a, 2);
    EXPECT_EQ(m.polygon(0).b, 1);
    EXPECT_EQ(m.polygon(0).c, 0);
    EXPECT_STREQ(m.getName(), "square");
    // (second - first) x (third - first) in file order points along +z.
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(m.faceNormal(i).x, 0.0f, 1e-6f);
        EXPECT_NEAR(m.faceNormal(i).z, 1.0f, 1e-6f);
    }
    EXPECT_EQ(m.getRenderMode(), 1);
    EXPECT_EQ(m.getSurfaceMode(), 3);
    EXPECT_EQ(m.polygon(1).surfaceMode, 3);
    EXPECT_EQ(m.getTextureCount(), 0);
    EXPECT_TRUE(env.logged("{KMesh[poly(0)]}: A: 2  B: 1 C: 0"));
    EXPECT_TRUE(env.logged("No textures was read."));
    EXPECT_EQ(env.lines().back(), "{KMesh::set()}: Done.");
}

TEST(KMesh, VertexNormalsAverageFacesAndUnusedOrDegenerateOnesStaySafe) {
    Environment env;
    Mesh m;
    m.name = "fold";
    // Two faces folded along the edge 0-1: one in z = 0, one in x = 0 ... plus an unused vertex
    // and a zero-area triangle.
    m.vertices = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}, {5, 5, 5}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    m.faces = {{0, 2, 1, 0}, {0, 1, 3, 0}, {5, 6, 7, 0}};
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    Scene scene;
    scene.meshes = {m};
    Built b;
    build(b, scene);
    const KMesh& mesh = b.mesh;

    const Direction& f0 = mesh.faceNormal(0);
    const Direction& f1 = mesh.faceNormal(1);
    EXPECT_NEAR(std::fabs(f0.z), 1.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(f1.x), 1.0f, 1e-6f);
    // Vertex 0 sits on both faces: the normalised mean of the two.
    const Direction& n0 = mesh.vertexNormal(0);
    EXPECT_NEAR(n0.x, f1.x / std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(n0.z, f0.z / std::sqrt(2.0f), 1e-5f);
    EXPECT_NEAR(mesh.mappingNormal(0).x, n0.x, 1e-6f);

    // The unused vertex points along z and says so once.
    EXPECT_EQ(mesh.vertexNormal(4).z, 1.0f);
    EXPECT_EQ(env.count("NOTE: normal-calculation failed for vertex 4 - setting normal to 0,0,1..."), 1);
    EXPECT_EQ(env.count("NOTE: normal-calculation failed for vertex 5 - setting normal to 0,0,1..."), 0);

    // Collinear corners: a zero normal, not NaN, for the face and its vertices.
    const Direction& degenerate = mesh.faceNormal(2);
    EXPECT_EQ(degenerate.x, 0.0f);
    EXPECT_EQ(degenerate.y, 0.0f);
    EXPECT_EQ(degenerate.z, 0.0f);
    EXPECT_FALSE(std::isnan(mesh.vertexNormal(6).x));
    EXPECT_EQ(mesh.vertexNormal(6).z, 0.0f);
}

TEST(KMesh, RadiusIsMeasuredFromTheRecordPosition) {
    Environment env;
    Mesh m = square();
    // Vertices around (10, 0, 0) but the local position at the origin.
    for (auto& v : m.vertices) v.x += 10.0f;
    Scene scene;
    scene.meshes = {m};
    Built b;
    build(b, scene);
    const float farthest = std::sqrt(11.0f * 11.0f + 1.0f);
    EXPECT_NEAR(b.mesh.getRadius(), farthest, 1e-4f);
    EXPECT_NEAR(b.mesh.getRadiusSquared(), farthest * farthest, 1e-2f);
    EXPECT_EQ(b.mesh.getFrame().getPosition().x, 0.0f);
    EXPECT_EQ(b.mesh.getFrame().getTarget().z, 1.0f);
    EXPECT_TRUE(env.logged("{KMesh}: Radii: 11.045361."));
}

TEST(KMesh, PolygonsWithoutMaterialTakeRandomColoursRedGreenBlue) {
    Environment env;
    Scene scene;
    scene.meshes = {square()};
    restartRandomSequence();  // the sequence the program gets, never seeding it
    Built b;
    build(b, scene);
    restartRandomSequence();
    for (int p = 0; p < 2; ++p) {
        const float red = float(randomNumber() % 255), green = float(randomNumber() % 255),
                    blue = float(randomNumber() % 255);
        const Colour& c = b.mesh.polygonColour(p);
        EXPECT_EQ(c.getRed(), red);
        EXPECT_EQ(c.getGreen(), green);
        EXPECT_EQ(c.getBlue(), blue);
        EXPECT_EQ(b.mesh.polygon(p).colourCopy[0], c.stored()[0]);
        EXPECT_EQ(b.mesh.polygon(p).colour, &c);
        EXPECT_TRUE(env.logged("{KMesh::set()}: Setting default material for polygon[" + std::to_string(p) +
                               "]... (none was found)"));
    }
    // Corners take the colour of the last polygon assigned to them.
    EXPECT_EQ(b.mesh.vertexColour(0).getRed(), b.mesh.polygonColour(1).getRed());
    EXPECT_EQ(b.mesh.vertexBaseColour(1).getRed(), b.mesh.polygonColour(0).getRed());
}

TEST(KMesh, MaterialGroupColoursItsPolygonsAndMissingMaterialsFail) {
    Environment env;
    Material red;
    red.name = "Red";
    red.diffuse = Rgb8{200, 100, 50};
    Mesh m = square();
    m.groups = {{"Red", {1}}};
    Scene scene;
    scene.materials = {red};
    scene.meshes = {m};
    Built b;
    build(b, scene);
    EXPECT_EQ(b.mesh.polygonColour(1).getRed(), 200.0f);
    EXPECT_EQ(b.mesh.polygonColour(1).getBlue(), 50.0f);
    EXPECT_EQ(b.mesh.vertexBaseColour(3).getGreen(), 100.0f);
    EXPECT_TRUE(env.logged("{KMesh}: Requested material: \"Red\""));
    EXPECT_TRUE(env.logged("{KMesh}: Received material \"Red\""));
    EXPECT_TRUE(env.logged("{KMesh::setMaterial}: Setting material for polygonIndex: 1"));
    // Polygon 0 is in no group and gets a default colour.
    EXPECT_TRUE(env.logged("{KMesh::set()}: Setting default material for polygon[0]... (none was found)"));

    scene.meshes[0].groups = {{"Blue", {0}}};
    Built missing;
    EXPECT_EQ(errorOf([&] { build(missing, scene); }), "Error - couldn't read file mesh.3ds! Aborting...");
}

TEST(KMesh, IndicesOutsideTheArraysAreRefusedAsInvalidData) {
    Environment env;
    const std::string invalid = "Error - invalid data in file mesh.3ds! Aborting...";
    Material red;
    red.name = "Red";
    red.diffuse = Rgb8{200, 0, 0};

    Scene corner;
    corner.meshes = {square()};
    corner.meshes[0].faces[1].c = 4;  // one past the last vertex
    Built b1;
    EXPECT_EQ(errorOf([&] { build(b1, corner); }), invalid);

    Scene group;
    group.materials = {red};
    group.meshes = {square()};
    group.meshes[0].groups = {{"Red", {0, 2}}};  // polygon 2 of 2
    Built b2;
    EXPECT_EQ(errorOf([&] { build(b2, group); }), invalid);

    // Arrays that disagree with their counts (the loader keeps them together; a damaged record
    // must not make the mesh read past them).
    Scene fine;
    fine.meshes = {square()};
    Built b3;
    b3.bytes = write3ds(fine);
    b3.container = std::make_unique<K3DSContainer>("mesh.3ds", b3.bytes.data(), b3.bytes.size());
    b3.container->getFirstMesh()->y.pop_back();
    EXPECT_EQ(errorOf([&] { b3.mesh.set(*b3.container, 0); }), invalid);
    b3.container->getFirstMesh()->y.push_back(0.0f);
    b3.container->getFirstMesh()->polygonCount = 3;
    KMesh again;
    EXPECT_EQ(errorOf([&] { again.set(*b3.container, 0); }), invalid);
}

TEST(KMesh, TextureWithoutMappingCoordinatesIsInvalid) {
    Environment env;
    Material textured;
    textured.name = "Tex";
    textured.texture = MapSpec{"t.jpg", 100};
    Mesh m = square();
    m.groups = {{"Tex", {0, 1}}};
    Scene scene;
    scene.materials = {textured};
    scene.meshes = {m};
    Built b;
    EXPECT_EQ(errorOf([&] { build(b, scene); }), "Error - invalid data in file mesh.3ds! Aborting...");
    EXPECT_TRUE(env.logged("Error! No texture-coordinates specifed for object!"));
}

class TexturedMesh : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()); }

    Scene texturedScene(const std::string& texture, const std::string& reflection) {
        Material mat;
        mat.name = "Mapped";
        mat.diffuse = Rgb8{10, 20, 30};
        if (!texture.empty()) mat.texture = MapSpec{texture, 100};
        if (!reflection.empty()) mat.reflection = MapSpec{reflection, 100};
        Mesh m = square();
        m.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        m.groups = {{"Mapped", {0, 1}}};
        Scene scene;
        scene.materials = {mat};
        scene.meshes = {m};
        return scene;
    }

    TestGLContext gl;
    Environment env;
};

TEST_F(TexturedMesh, TextureMapTakesSlotZeroAndTheEnvironmentMapSlotOne) {
    const std::string tex = env.addFile("tex.jpg", scenetest::solidJpeg(16, 8, {255, 0, 0}));
    const std::string env1 = env.addFile("env.jpg", scenetest::solidJpeg(8, 8, {0, 0, 255}));
    Built b;
    build(b, texturedScene(tex, env1));
    const KMesh& m = b.mesh;
    ASSERT_EQ(m.getTextureCount(), 2);
    EXPECT_TRUE(m.hasTextureMap());
    EXPECT_TRUE(m.hasEnvironmentMap());
    EXPECT_EQ(m.image(0).width(), 16);
    EXPECT_EQ(m.image(1).width(), 8);
    EXPECT_EQ(m.polygon(0).texture, m.polygon(1).texture);
    EXPECT_EQ(*m.polygon(0).texture, m.textureId(0));
    EXPECT_EQ(*m.polygon(0).environmentTexture, m.textureId(1));
    EXPECT_NE(m.textureId(0), m.textureId(1));

    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, m.textureId(0));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 16);

    // Mapping (0, 0) and (1, 1) are stored as (-1, -1) and (1, 1).
    EXPECT_EQ(m.texCoord(0).x, -1.0f);
    EXPECT_EQ(m.texCoord(0).y, -1.0f);
    EXPECT_EQ(m.texCoord(2).x, 1.0f);
    EXPECT_EQ(m.texCoord(2).y, 1.0f);
    EXPECT_EQ(m.polygon(0).texCoordA, &m.texCoord(2));

    EXPECT_TRUE(env.logged("Allocating memory for 2 texture(s)..."));
    EXPECT_TRUE(env.logged("Reading texture: \"" + tex + "\" (used as texture map)..."));
    EXPECT_TRUE(env.logged("Reading texture: \"" + env1 + "\" (used as enviroment map)..."));
    EXPECT_TRUE(env.logged("Filtering textures..."));
}

TEST_F(TexturedMesh, EnvironmentMapAloneTakesSlotZero) {
    const std::string env1 = env.addFile("env.jpg", scenetest::solidJpeg(8, 8, {0, 0, 255}));
    Built b;
    build(b, texturedScene("", env1));
    ASSERT_EQ(b.mesh.getTextureCount(), 1);
    EXPECT_EQ(b.mesh.polygon(0).texture, nullptr);
    EXPECT_EQ(*b.mesh.polygon(0).environmentTexture, b.mesh.textureId(0));
}

TEST_F(TexturedMesh, PicturesOfAnySizeAreUploadedAsTheyAre) {
    const std::string odd = env.addFile("odd.jpg", scenetest::solidJpeg(24, 10, {1, 2, 3}));
    Built b;
    build(b, texturedScene(odd, ""));
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, b.mesh.textureId(0));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 24);
    EXPECT_EQ(height, 10);

    // Rows of one pixel are uploaded whole and correct (no four-byte row padding assumed).
    const std::string thin = env.addFile("thin.jpg", scenetest::solidJpeg(1, 4, {0, 255, 0}));
    Built ok;
    build(ok, texturedScene(thin, ""));
    uint8_t texels[4 * 3 + 16] = {};
    glBindTexture(GL_TEXTURE_2D, ok.mesh.textureId(0));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    EXPECT_GT(texels[3 * 3 + 1], 200);
}

// Textures come from the file's first materials, one per group, whichever materials the groups
// name; colours come from the named ones.
TEST_F(TexturedMesh, DiscoveryLooksAtTheFirstMaterialsNotTheNamedOnes) {
    const std::string tex = env.addFile("tex.jpg", scenetest::solidJpeg(8, 8, {255, 0, 0}));
    Scene scene = texturedScene(tex, "");
    Material plain;
    plain.name = "Plain";
    plain.diffuse = Rgb8{40, 50, 60};
    scene.materials.insert(scene.materials.begin(), plain);  // the group's "Mapped" comes second
    Built named;
    build(named, scene);
    EXPECT_EQ(named.mesh.getTextureCount(), 0);
    EXPECT_FALSE(named.mesh.hasTextureMap());
    EXPECT_EQ(named.mesh.polygonColour(0).getRed(), 10.0f);

    std::swap(scene.materials[0], scene.materials[1]);
    scene.meshes[0].groups = {{"Plain", {0, 1}}};  // names the untextured one, now second
    Built first;
    build(first, scene);
    EXPECT_EQ(first.mesh.getTextureCount(), 1);
    EXPECT_TRUE(first.mesh.hasTextureMap());
    EXPECT_EQ(first.mesh.polygonColour(0).getRed(), 40.0f);
}

}  // namespace
