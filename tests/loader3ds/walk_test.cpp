// The chunk walk: trace lines and number formats, the searches and their quirks, bounded reads.
#include <cmath>
#include <cstring>
#include <limits>

#include "loader_fixture.h"

using namespace support3ds;

namespace {

using Lines = std::vector<std::string>;

// Lines of `all` from the first one equal to `from`, `count` of them.
Lines slice(const Lines& all, const std::string& from, size_t count) {
    auto it = std::find(all.begin(), all.end(), from);
    Lines out;
    for (; it != all.end() && out.size() < count; ++it) out.push_back(*it);
    return out;
}

}  // namespace

TEST(Walk, TraceOfAStandardFile) {
    Scene s;
    Material m;
    m.name = "Gold";
    m.diffuse = Rgb8{255, 128, 0};
    m.transparency = 20;
    m.texture = MapSpec{"gold.jpg", 75};
    s.materials = {m};
    Mesh mesh;
    mesh.name = "Tri";
    mesh.vertices = {{1.9f, -2.7f, 0}, {100, 0.5f, -0.5f}, {0, 0, 1}};
    mesh.mapping = {{0.25f, 0.5f}, {1, 0}, {0.125f, 1}};
    mesh.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 10.5f, -3.9f, 0};
    mesh.faces = {{0, 1, 2}};
    mesh.groups = {{"Gold", {0}}};
    mesh.smoothing = true;
    s.meshes = {mesh};
    s.lights = {{"Omni", {1, 2, 3}, {1, 0.5f, 0.0625f}}};
    s.cameras = {{"Cam", {-1.5f, 2, 3}, {4, 5, 6}, 0, 43}};
    s.keyframer = Keyframer{};
    Loaded c(write3ds(s), "data/x.3ds");
    const std::string size = std::to_string(write3ds(s).size());
    EXPECT_EQ(c.walk(), (Lines{
        "Reading data/x.3ds...",
        "Size: " + size + " bytes.",
        "Main chunk-id: 0x4d4d",
        "An EDIT3DS(0x3d3d) chunk was encountered.",
        "An EDITMATERIAL(0xafff) chunk was encountered.",
        "A MATNAME(0xa000) chunk was encountered.",
        "Material name: \"Gold\"",
        "A MATDIFFUSE(0xa020) chunk was encountered.",
        "Diffuse red: 255",
        "Diffuse green: 128",
        "Diffuse blue: 0",
        "A MATTRANSPARENCY(0xa050) chunk was encountered.",
        "Transparency: 20%",
        "A MATTEXMAP(0xa200) chunk was encountered.",
        "Texture map: \"gold.jpg\" at 75%",
        "A (0x100) redundant chunk was encountered - skipping...",
        "An EDITOBJECT(0x4000) chunk was encountered.",
        "Object name: Tri",
        "An OBJTRIMESH(0x4100) chunk was encountered.",
        "A TRIVERTEXLIST(0x4110) chunk was encountered.",
        "Number of vertices: 3.",
        "Reading vertices...",
        "\t* Vertex[0] X: 1",
        "\t* Vertex[0] Y: -2",
        "\t* Vertex[0] Z: 0",
        "",
        "\t* Vertex[1] X: 100",
        "\t* Vertex[1] Y: 0",
        "\t* Vertex[1] Z: 0",
        "",
        "\t* Vertex[2] X: 0",
        "\t* Vertex[2] Y: 0",
        "\t* Vertex[2] Z: 1",
        "",
        "Done reading vertices!",
        "A TRIMAPPINGCOORDS(0x4140) chunk was encountered.",
        "Reading mapping-coords...",
        "\t* Vertex[0] U: 0.250000",
        "\t* Vertex[0] V: 0.500000",
        "\t* Vertex[1] U: 1.000000",
        "\t* Vertex[1] V: 0.000000",
        "\t* Vertex[2] U: 0.125000",
        "\t* Vertex[2] V: 1.000000",
        "Done reading map-coords!",
        "A TRILOCAL(0x4160) chunk was encountered.",
        "Object position x: 10",
        "Object position y: -3",
        "Object position z: 0",
        "A TRIFACELIST(0x4120) chunk was encountered.",
        "Number of polys: 1.",
        "Reading polys...",
        "\t* Poly[0] A: 0",
        "\t* Poly[0] B: 1",
        "\t* Poly[0] C: 2",
        "",
        "Done reading polys!",
        "A MESHMATGROUP(0x4130) chunk was encountered.",
        "Material name: Gold",
        "An unknown-chunk(0x4150) was encountered - skipping...",
        "An EDITOBJECT(0x4000) chunk was encountered.",
        "Object name: Omni",
        "A LIGHT(0x4600) chunk was encountered.",
        "Light position x: 1",
        "Light position y: 2",
        "Light position z: 3",
        "Light red: 1",
        "Light green: 0.500",
        "Light blue: 0.062",
        "An EDITOBJECT(0x4000) chunk was encountered.",
        "Object name: Cam",
        "A CAMERA(0x4700) chunk was encountered.",
        "Camera position x: -1",
        "Camera position y: 2",
        "Camera position z: 3",
        "Camera target x: 4",
        "Camera target y: 5",
        "Camera target z: 6",
        "An EOF-chunk(0xb000) was encountered - quitting...",
    }));
    // The group's own log lines sit between its chunk line and its trace line.
    EXPECT_EQ(slice(c.lines, "{K3DSContainer[data/x.3ds]}: A MESHMATGROUP(0x4130) chunk was encountered.", 5),
              (Lines{"{K3DSContainer[data/x.3ds]}: A MESHMATGROUP(0x4130) chunk was encountered.",
                     "{K3DSContainer}: Setting materialname: Gold (index: 0)",
                     "{K3DSContainer}: Allocating (shared) memory...Done.",
                     "{K3DSContainer}: Getting materialname: Gold",
                     "{K3DSContainer[data/x.3ds]}: Material name: Gold"}));
}

TEST(Walk, NumberFormatsOfValuesThatDoNotFit) {
    // Truncation toward zero; values outside the integer range (and NaN) print as the x86
    // conversion gives them; a light colour of exactly 1 prints "1", others three digits.
    Scene s;
    s.lights = {{"L", {-0.9f, 3e9f, std::numeric_limits<float>::quiet_NaN()}, {0.9999f, 1, -0.5f}}};
    Loaded c(write3ds(s));
    EXPECT_EQ(slice(c.walk(), "Light position x: 0", 6),
              (Lines{"Light position x: 0", "Light position y: -2147483648", "Light position z: -2147483648",
                     "Light red: 1.000", "Light green: 1", "Light blue: -0.500"}));
}

TEST(Walk, EndAndRedundantAndUnknownChunks) {
    ChunkWriter w;
    w.header(0x3E3D, 6);   // redundant: searched past for an object, else skipped
    w.header(0x0008, 6);   // unknown, like every identifier the walk does not list
    w.header(0xB001, 6);
    w.header(0x4111, 6);   // vertex options: a line of its own
    w.header(0x0000, 6);   // end
    w.header(0x0008, 6);   // never reached
    Loaded c(w.take());
    EXPECT_EQ(c.walk(), (Lines{
        "A (0x3e3d) redundant chunk was encountered - skipping...",
        "An unknown-chunk(0x8) was encountered - skipping...",
        "An unknown-chunk(0xb001) was encountered - skipping...",
        "A (0x4111) redundant (TRIVERTEXOPTIONS) chunk was encountered - skipping...",
        "An EOF-chunk(0x0) was encountered - quitting...",
    }));
    for (uint16_t end : {0xFD00, 0xFDFD}) {
        ChunkWriter e;
        e.header(end, 6);
        e.header(0x0008, 6);
        Loaded d(e.take());
        EXPECT_EQ(d.walk().size(), 1u);
    }
}

TEST(Walk, SecondMaterialGroupMakesARecordOfItsOwn) {
    Scene s;
    Mesh m = fanMesh("two", 4);
    m.groups = {{"A", {0}}, {"B", {1}}};
    s.meshes = {m, fanMesh("next", 3)};
    Loaded c(write3ds(s));
    ASSERT_EQ(c->getMeshCount(), 3);
    EXPECT_STREQ(c.mesh(0).getName(), "two");
    EXPECT_EQ(c.mesh(0).polygonCount, 2);
    EXPECT_EQ(c.mesh(0).groups[0].name, "A");
    auto& second = c.mesh(1);
    EXPECT_EQ(second.getName(), nullptr);
    EXPECT_EQ(second.vertexCount, 0);
    EXPECT_EQ(second.polygonCount, 0);
    EXPECT_EQ(second.groups[0].name, "B");
    EXPECT_EQ(second.getGroupPolygon(0, 0), 1);
    EXPECT_STREQ(c.mesh(2).getName(), "next");
}

TEST(Walk, VertexListSearchCanLandOnTheGroupAndMissThePolygons) {
    // 12 vertices make a vertex list of 152 bytes; the face list of one polygon and the group
    // behind it are nearer than that, so the search after the vertices finds the group.
    Scene s;
    Mesh m = fanMesh("small", 12);
    m.mapping.clear();
    m.local.reset();
    m.faces.resize(1);
    m.groups = {{"G", {0}}};
    s.meshes = {m};
    Loaded c(write3ds(s));
    ASSERT_EQ(c->getMeshCount(), 1);
    EXPECT_EQ(c.mesh(0).vertexCount, 12);
    EXPECT_EQ(c.mesh(0).polygonCount, 0);
    EXPECT_EQ(c.mesh(0).groups[0].name, "G");
    EXPECT_FALSE(c.has("A TRIFACELIST(0x4120) chunk was encountered."));
}

TEST(Walk, MeshChunkOrderAndMissingFaceLists) {
    // Mapping coordinates are read with the mesh's vertex count, not the chunk's own count.
    {
        ChunkWriter w;
        Mesh m = fanMesh("m", 3);
        m.mapping.clear();
        m.faceList = false;
        writeTrimesh(w, m);
        w.begin(id::kMappingCoords);
        w.u16(1);
        w.floats({0.5f, 0.25f, 0.75f, 1, 2, 3});
        w.end();
        w.header(0, 6);
        Loaded c(w.take());
        EXPECT_EQ(c.mesh(0).u, (std::vector<float>{0.5f, 0.75f, 2}));
        EXPECT_EQ(c.mesh(0).v, (std::vector<float>{0.25f, 1, 3}));
    }
    // Mapping and local axes behind the face list go to the new, empty record.
    {
        ChunkWriter w;
        Mesh m = fanMesh("m", 3);
        m.mapping.clear();
        m.local.reset();
        writeMeshObject(w, m);
        w.begin(id::kLocalAxes);
        w.floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 9, 8, 7});
        w.end();
        w.begin(id::kMappingCoords);
        w.u16(0);
        w.end();
        w.header(0, 6);
        Loaded c(w.take());
        ASSERT_EQ(c->getMeshCount(), 1);
        EXPECT_EQ(c.mesh(0).position.x, 0);
        EXPECT_EQ(c.mesh(0).hasMapping, 0);
        EXPECT_EQ(c.mesh(1).position.x, 9);
        EXPECT_EQ(c.mesh(1).hasMapping, 1);
    }
    // An object without a face list does not finish its record: the next one fills it again.
    {
        Scene s;
        Mesh open = fanMesh("open", 5);
        open.faceList = false;
        s.meshes = {open, fanMesh("closed", 3)};
        Loaded c(write3ds(s));
        ASSERT_EQ(c->getMeshCount(), 1);
        EXPECT_STREQ(c.mesh(0).getName(), "closed");
        EXPECT_EQ(c.mesh(0).vertexCount, 3);
        EXPECT_EQ(c.mesh(0).polygonCount, 1);
    }
}

TEST(Walk, LightColourIsThreeFloatsWhateverTheSubChunk) {
    // A byte colour (0011) is read as three floats made of the bytes behind its header; the
    // cursor then goes to the end of that sub-chunk, so the chunk behind it is read as usual.
    ChunkWriter w;
    w.begin(id::kLight);
    w.floats({1, 2, 3});
    w.begin(id::kColourBytes);
    w.u8(255);
    w.u8(0);
    w.u8(0);
    w.end();
    w.header(0x0008, 6);
    w.floats({0.5f});
    w.end();
    w.header(0, 6);
    std::vector<uint8_t> image = w.take();
    Loaded c(image);
    ASSERT_EQ(c->getLightCount(), 1);
    float colour[3];
    std::memcpy(colour, image.data() + 6 + 12 + 6, sizeof colour);
    EXPECT_EQ(c.light(0).colour.red, colour[0]);
    EXPECT_EQ(c.light(0).colour.green, colour[1]);
    EXPECT_EQ(c.light(0).colour.blue, colour[2]);
    EXPECT_EQ(c.walk()[1], "Light position x: 1");
    EXPECT_EQ(c.walk()[7], "An unknown-chunk(0x8) was encountered - skipping...");
}

TEST(Walk, FirstChunkNeedNotBeMain) {
    ChunkWriter w;
    writeMeshObject(w, fanMesh("loose", 3));
    w.header(0, 6);
    Loaded c(w.take());
    EXPECT_EQ(c->getMeshCount(), 1);
    EXPECT_EQ(c.walk()[0], "An EDITOBJECT(0x4000) chunk was encountered.");
}

TEST(Walk, PercentSearchFindsFortyNineInsideTheSubChunk) {
    // 49 percent is stored as 31 00, which the search for 0x0031 finds; the value is then read 6
    // bytes further on, inside the next chunk (here a wire-size chunk: 87 a0 0a 00 00 00 ...).
    Scene s;
    Material m;
    m.name = "glass";
    m.transparency = 49;
    m.wireSize = 2;
    s.materials = {m};
    Loaded c(write3ds(s));
    EXPECT_EQ(c.material(0).transparency, 0x0000);  // the bytes 00 00 of the wire size
    EXPECT_TRUE(c.has("Transparency: 0%"));
    Material plain = m;
    plain.transparency = 48;
    s.materials = {plain};
    Loaded d(write3ds(s));
    EXPECT_EQ(d.material(0).transparency, 48);
}

TEST(Walk, SearchesFindIdentifiersInsideFloats) {
    // The editing section's search for an object starts at its first child: a master scale of
    // 2.0 (00 00 00 40) holds 00 40, taken as an object header inside the float. Its length and
    // name come from the real object header behind it, so the mesh is read without its name.
    ChunkWriter body;
    body.begin(id::kEditor);
    body.begin(id::kMasterScale);
    body.f32(2.0f);
    body.end();
    writeMeshObject(body, fanMesh("real", 3));
    body.end();
    body.header(0, 6);
    Loaded c(inMain(body));
    Lines walk = c.walk();
    ASSERT_GE(walk.size(), 7u);
    EXPECT_EQ(walk[3], "An EDIT3DS(0x3d3d) chunk was encountered.");
    EXPECT_EQ(walk[4], "An EDITOBJECT(0x4000) chunk was encountered.");
    EXPECT_EQ(walk[5], "Object name: ");
    EXPECT_EQ(walk[6], "An OBJTRIMESH(0x4100) chunk was encountered.");
    ASSERT_EQ(c->getMeshCount(), 1);
    EXPECT_STREQ(c->getMeshName(0), "");
    EXPECT_EQ(c.mesh(0).vertexCount, 3);
}

TEST(Walk, EveryTruncationOfAFileEndsTheWalkInsideTheImage) {
    Scene s;
    Material m;
    m.name = "mat";
    m.diffuse = Rgb8{1, 2, 3};
    m.texture = MapSpec{"t.jpg", 50};
    s.materials = {m};
    Mesh mesh = fanMesh("mesh", 5);
    mesh.mapping.assign(5, {0.5f, 0.5f});
    mesh.local = std::array<float, 12>{};
    mesh.groups = {{"mat", {0, 1}}};
    s.meshes = {mesh};
    s.lights = {{"l", {}, {}}};
    s.cameras = {{"c", {}, {}, 0, 0}};
    std::vector<uint8_t> image = write3ds(s);
    image.resize(image.size() - 6);  // no end chunk at all
    for (size_t n = 0; n <= image.size(); ++n) {
        // Exactly n bytes on the heap, so that the sanitizers see any read behind them.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
        std::copy(image.begin(), image.begin() + n, copy.get());
        DebugServer quiet(11, 0);
        K3DSContainer c("cut.3ds", copy.get(), n, quiet);
        EXPECT_TRUE(c.ok());
        if (n == image.size()) {
            EXPECT_EQ(c.getMeshCount(), 1);
        }
    }
}

TEST(Walk, ChunksThatWouldBeReadForeverEndTheWalk) {
    // A zero length puts the cursor back on the same header.
    ChunkWriter w;
    w.header(0x0008, 0);
    w.header(0x0008, 6);
    Loaded c(w.take());
    EXPECT_EQ(c.walk(), (Lines{"An unknown-chunk(0x8) was encountered - skipping..."}));
    // Lengths that point past the image, and counts larger than the data, stop at its end.
    ChunkWriter v;
    v.header(id::kVertexList, 0xFFFFFFF0u);
    v.u16(60000);
    v.floats({1, 2, 3});
    Loaded d(v.take());
    EXPECT_EQ(d.mesh(0).vertexCount, 60000);
    EXPECT_EQ(d.mesh(0).x[0], 1);
    EXPECT_FALSE(d.has("Done reading vertices!"));
}

TEST(Walk, MaterialChunksBeforeAnyNameAreTracedButNotKept) {
    ChunkWriter w;
    Material m;
    m.name = "x";
    m.diffuse = Rgb8{1, 2, 3};
    m.wire = true;
    m.texture = MapSpec{"t.jpg", 10};
    ChunkWriter full;
    writeMaterial(full, m);
    // Drop the material and name headers: the colour, wire and map chunks come first.
    std::vector<uint8_t> image(full.bytes().begin() + 6 + 8, full.bytes().end());
    image.insert(image.end(), {0, 0, 6, 0, 0, 0});
    Loaded c(image);
    EXPECT_EQ(c->getFirstMaterial(), nullptr);
    EXPECT_TRUE(c.has("Diffuse blue: 3"));
    EXPECT_TRUE(c.has("Material \"(null)\" is wireframe."));
    EXPECT_TRUE(c.has("Texture map: \"t.jpg\" at 10%"));
}
