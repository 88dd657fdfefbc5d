// The generated content as the show meets it: the archive the build made holds the seven files,
// every scene reads back through the program's own loader as designed, and the textures decode to
// the sizes the show hands to GL.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <string>
#include <vector>

#include "app/debug_server.h"
#include "archive/file_server.h"
#include "loader3ds/k3ds_container.h"
#include "scene_file.h"
#include "scenes.h"
#include "textures.h"

namespace {

const std::string kArchive = std::string(GLIMMER_BINARY_DIR) + "/Glimmertide.dat";

struct Decoded {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

Decoded decodeJpeg(const unsigned char* bytes, unsigned long size) {
    Decoded d;
    tjhandle h = tjInitDecompress();
    int sub = 0, space = 0;
    if (tjDecompressHeader3(h, bytes, size, &d.width, &d.height, &sub, &space) == 0) {
        d.rgb.resize(static_cast<std::size_t>(d.width * d.height * 3));
        if (tjDecompress2(h, bytes, size, d.rgb.data(), d.width, 0, d.height, TJPF_RGB, 0) != 0) d.rgb.clear();
    }
    tjDestroy(h);
    return d;
}

bool powerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

TEST(GeneratedArchive, HoldsTheSevenFilesTheShowAsksFor) {
    DebugServer log(11, 0);
    FileServer files(log, 200);
    ASSERT_EQ(files.openArchive(kArchive.c_str()), 0);
    const char* names[] = {"data/spheres3.3ds", "data/Spiral.3ds",      "data/Array.3ds",       "data/Arrays.3ds",
                           "data/x26.jpg",      "data/glimmertide.jpg", "data/glimmertide1.mp3"};
    ASSERT_EQ(files.archive().entries().size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(files.archive().entries()[i].name, names[i]);
        EXPECT_GT(files.getFileSize(names[i]), 0);
    }
}

TEST(GeneratedArchive, ScenesLoadFromItWithAMeshEachAndTheirLights) {
    DebugServer log(11, 0);
    FileServer files(log, 200);
    ASSERT_EQ(files.openArchive(kArchive.c_str()), 0);
    struct Expect {
        const char* name;
        int minMeshes, minLights, maxLights;
    } expects[] = {{"data/spheres3.3ds", 3, 0, 3}, {"data/Spiral.3ds", 1, 1, 3}, {"data/Array.3ds", 1, 0, 3},
                   {"data/Arrays.3ds", 1, 0, 3}};
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.name);
        K3DSContainer c(e.name, files, log);
        ASSERT_TRUE(c.ok());
        EXPECT_GE(c.getMeshCount(), e.minMeshes);
        EXPECT_GE(c.getLightCount(), e.minLights);
        EXPECT_LE(c.getLightCount(), e.maxLights);
        EXPECT_GT(c.getFirstMesh()->polygonCount, 0);
    }
}

TEST(GeneratedScenes, ReadBackIntactAndWithinThePolygonBudget) {
    for (const scenes::Scene& s : scenes::all()) {
        SCOPED_TRACE(s.path);
        EXPECT_EQ(scenes::selfCheck(s, scenes::sceneFile(s)), "");
        // Back faces are dropped in every scene but the spiral, which is seen from inside.
        int drawable = s.path == "data/Spiral.3ds" ? scenes::polygonCount(s) : scenes::polygonCount(s) / 2;
        EXPECT_LE(drawable, 600);
    }
}

TEST(GeneratedScenes, SpheresKeepAMeshWithoutMaterialForRandomColours) {
    scenes::Scene s = scenes::spheres();
    int plain = 0;
    for (const scenes::Mesh& m : s.meshes) plain += m.material.empty();
    EXPECT_GE(plain, 1);
    EXPECT_GE(s.meshes.size(), 3u);
}

// A textured first material makes every mesh with a material group load the texture, which
// needs mapping coordinates on each of them.
TEST(GeneratedScenes, EveryMeshMeetingATexturedFirstMaterialHasMappingCoordinates) {
    for (const scenes::Scene& s : scenes::all()) {
        if (s.materials.empty() || s.materials[0].textureMap.empty()) continue;
        for (const scenes::Mesh& m : s.meshes) {
            SCOPED_TRACE(s.path + " " + m.name);
            if (!m.material.empty()) {
                EXPECT_EQ(m.mapping.size(), m.vertices.size());
            }
        }
    }
}

TEST(GeneratedScenes, SelfCheckCatchesAMaterialGroupWithinTheVertexListsReach) {
    // Open boxes have as many vertices as faces; without mapping coordinates the search behind the
    // vertex list reaches the material group and the polygon list is never read.
    scenes::Scene s = scenes::array();
    s.meshes[0].mapping.clear();
    std::string problem = scenes::selfCheck(s, scenes::sceneFile(s));
    EXPECT_NE(problem.find("polygon count"), std::string::npos) << problem;
}

TEST(GeneratedTextures, LightStreakIsPowerOfTwoAndBrightAlongTheBarsSamplingRange) {
    auto jpeg = textures::encodeJpeg(textures::lightStreak(), 92);
    Decoded d = decodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_FALSE(d.rgb.empty());
    EXPECT_TRUE(powerOfTwo(d.width));
    EXPECT_TRUE(powerOfTwo(d.height));
    // The core (s = 0.5) is lit from t = 0 to t = 1; the sides are darker than the core.
    for (int y : {0, d.height / 2, d.height - 1}) {
        const unsigned char* core = &d.rgb[static_cast<std::size_t>((y * d.width + d.width / 2) * 3)];
        const unsigned char* side = &d.rgb[static_cast<std::size_t>((y * d.width + d.width * 15 / 100) * 3)];
        EXPECT_GT(core[0], 120) << "row " << y;
        EXPECT_LT(side[0], core[0]) << "row " << y;
    }
}

TEST(GeneratedTextures, TitleCardIs256SquareWithItsTextInTheRedChannel) {
    auto jpeg = textures::encodeJpeg(textures::titleCard(), 92);
    Decoded d = decodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_EQ(d.width, 256);
    ASSERT_EQ(d.height, 256);
    // Bright strokes in the title band, dark background above it and at the corners.
    auto red = [&](int x, int y) { return d.rgb[static_cast<std::size_t>((y * 256 + x) * 3)]; };
    int bright = 0, dark = 0;
    for (int y = 62; y < 104; ++y)
        for (int x = 0; x < 256; ++x) bright += red(x, y) > 200;
    for (int y = 0; y < 20; ++y)
        for (int x = 60; x < 200; ++x) dark += red(x, y) < 40;
    EXPECT_GT(bright, 1200);
    EXPECT_GT(dark, 20 * 140 * 9 / 10);
}

}  // namespace
