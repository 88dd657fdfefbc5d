// A file written by another program: data/cube.3ds, made from data/cube.obj with Debian's
// assimp-utils ("assimp export cube.obj cube.3ds"). Assimp writes one mesh of 18 vertices (the
// corners split where texture coordinates differ) and 12 triangles, two materials, and puts the
// local axes behind the face list.
#include <fstream>
#include <iterator>

#include "loader_fixture.h"

namespace {

std::vector<uint8_t> readCube() {
    std::ifstream in(GLIMMER_SOURCE_DIR "/tests/loader3ds/data/cube.3ds", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ThirdPartyFile, AssimpCubeLoadsWithTheWritersCounts) {
    std::vector<uint8_t> image = readCube();
    ASSERT_EQ(image.size(), 1012u);
    Loaded c(image, "cube.3ds");
    ASSERT_EQ(c->getMeshCount(), 1);
    auto& mesh = c.mesh(0);
    EXPECT_STREQ(mesh.getName(), "Cube_Cube_0");
    EXPECT_EQ(mesh.vertexCount, 18);
    EXPECT_EQ(mesh.polygonCount, 12);
    EXPECT_EQ(mesh.hasMapping, 1);
    EXPECT_EQ(mesh.x[0], -1);
    EXPECT_EQ(mesh.z[1], -1);
    // The search behind the vertex list covers 224 bytes (its length) and ends 32 bytes before
    // the material group, so it misses it and the face list is read in full.
    ASSERT_EQ(mesh.groupCount, 1);
    EXPECT_EQ(mesh.groups[0].name, "Paint_1");
    EXPECT_EQ(mesh.getGroupSize(0), 12);
    EXPECT_EQ(mesh.getGroupPolygon(11, 0), 11);
    // The local axes come behind the face list, which has finished the mesh: they go to the
    // empty last record.
    EXPECT_EQ(mesh.xAxis.x, 0);
    EXPECT_EQ(mesh.next->xAxis.x, 1);
    EXPECT_EQ(c->getLightCount(), 0);

    ASSERT_NE(c->getFirstMaterial(), nullptr);
    EXPECT_STREQ(c.material(0).getName(), "DefaultMaterial_0");
    EXPECT_STREQ(c.material(1).getName(), "Paint_1");
    // Assimp writes colours as floats (0010), not bytes (0011): the search for 0011 fails and
    // the walk takes the first three bytes of the red float (0.8 = cd cc 4c 3f) as the colour.
    EXPECT_EQ(c.material(1).diffuse.red, 0xcd);
    EXPECT_EQ(c.material(1).diffuse.green, 0xcc);
    EXPECT_EQ(c.material(1).diffuse.blue, 0x4c);
    // Transparency is a float percentage (0031): found, and its first two bytes read as 0.
    EXPECT_EQ(c.material(1).transparency, 0);
    EXPECT_EQ(c.walk().back(), "An EOF-chunk(0xb000) was encountered - quitting...");
}
