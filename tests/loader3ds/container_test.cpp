// The container and its records: counts, chains, index walks, integrity check, log lines.
#include <filesystem>
#include <fstream>

#include "archive/file_server.h"
#include "loader_fixture.h"
#include "support_archive/archive_writer.h"

using namespace support3ds;

namespace {

Scene oneOfEach() {
    Scene s;
    Material red;
    red.name = "red";
    red.ambient = Rgb8{10, 20, 30};
    red.diffuse = Rgb8{200, 0, 7};
    red.specular = Rgb8{255, 255, 255};
    red.transparency = 25;
    red.texture = MapSpec{"bricks.jpg", 80};
    red.reflection = MapSpec{"sky.jpg", 40};
    red.bump = MapSpec{"bump.jpg", 30};
    red.wire = true;
    red.wireSize = 3.5f;
    s.materials.push_back(red);
    Mesh m = fanMesh("box", 4);
    m.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 6, 7};
    m.groups.push_back({"red", {1, 0}});
    s.meshes.push_back(m);
    s.lights.push_back({"lamp", {1, 2, 3}, {0.5f, 1, 0.25f}});
    s.cameras.push_back({"cam", {1, 2, 3}, {4, 5, 6}, 0.5f, 35});
    return s;
}

}  // namespace

TEST(Container, StandardFileFillsEveryRecordKind) {
    Scene s = oneOfEach();
    s.keyframer = Keyframer{0, 50, {}};
    Loaded c(write3ds(s));
    ASSERT_TRUE(c->ok());
    EXPECT_EQ(c->getMeshCount(), 1);
    EXPECT_EQ(c->getLightCount(), 1);

    auto& mesh = c.mesh(0);
    EXPECT_STREQ(mesh.getName(), "box");
    ASSERT_EQ(mesh.vertexCount, 4);
    EXPECT_EQ(mesh.x[3], 3);
    EXPECT_EQ(mesh.y[3], 4);
    EXPECT_EQ(mesh.z[3], -3);
    ASSERT_EQ(mesh.polygonCount, 2);
    EXPECT_EQ(mesh.a[1], 0);
    EXPECT_EQ(mesh.b[1], 2);
    EXPECT_EQ(mesh.c[1], 3);
    EXPECT_EQ(mesh.hasMapping, 1);
    EXPECT_EQ(mesh.u[2], 1);
    EXPECT_EQ(mesh.v[2], 1);
    EXPECT_EQ(mesh.zAxis.z, 1);
    EXPECT_EQ(mesh.position.x, 5);
    EXPECT_EQ(mesh.position.z, 7);
    ASSERT_EQ(mesh.groupCount, 1);
    EXPECT_EQ(mesh.groups[0].name, "red");
    EXPECT_EQ(mesh.getGroupSize(0), 2);
    EXPECT_EQ(mesh.getGroupPolygon(0, 0), 1);
    EXPECT_EQ(mesh.getGroupPolygon(1, 0), 0);
    EXPECT_EQ(mesh.next->getName(), nullptr);
    EXPECT_EQ(mesh.next->next, nullptr);

    auto& light = c.light(0);
    EXPECT_STREQ(light.getName(), "lamp");
    EXPECT_EQ(light.position.y, 2);
    EXPECT_EQ(light.colour.red, 0.5f);
    EXPECT_EQ(light.colour.blue, 0.25f);

    auto& camera = c.camera(0);
    EXPECT_STREQ(camera.getName(), "cam");
    EXPECT_EQ(camera.position.z, 3);
    EXPECT_EQ(camera.target.x, 4);
    EXPECT_EQ(camera.bank, 0.5f);
    EXPECT_EQ(camera.lens, 35);
    EXPECT_EQ(camera.next->next, nullptr);

    auto& red = c.material(0);
    EXPECT_STREQ(red.getName(), "red");
    EXPECT_EQ(red.ambient.green, 20);
    EXPECT_EQ(red.diffuse.red, 200);
    EXPECT_EQ(red.diffuse.blue, 7);
    EXPECT_EQ(red.specular.blue, 255);
    EXPECT_EQ(red.transparency, 25);
    EXPECT_EQ(red.wireframe, 1);
    EXPECT_EQ(red.wireSize, 3.5f);
    EXPECT_EQ(red.hasTextureMap, 1);
    EXPECT_STREQ(red.textureMap.get(), "bricks.jpg");
    EXPECT_EQ(red.texturePercent, 80);
    EXPECT_EQ(red.hasReflectionMap, 1);
    EXPECT_STREQ(red.reflectionMap.get(), "sky.jpg");
    EXPECT_EQ(red.reflectionPercent, 40);
    EXPECT_STREQ(red.bumpMap.get(), "bump.jpg");
    EXPECT_EQ(red.bumpPercent, 30);
    EXPECT_EQ(red.next, nullptr);

    // The keyframer section is an end chunk: its frame range is never read.
    EXPECT_EQ(c.walk().back(), "An EOF-chunk(0xb000) was encountered - quitting...");
    EXPECT_EQ(c->getEndFrame(), 0);
}

TEST(Container, EmptyChainsAndIndexWalks) {
    Scene s;
    s.meshes = {fanMesh("a", 3), fanMesh("b", 3)};
    Loaded c(write3ds(s));
    // No lights: count 0, but the chain still holds its empty record. No materials: no chain.
    EXPECT_EQ(c->getLightCount(), 0);
    ASSERT_NE(c->getFirstLight(), nullptr);
    EXPECT_EQ(c->getFirstLight()->next, nullptr);
    EXPECT_EQ(c->getFirstMaterial(), nullptr);

    ASSERT_EQ(c->getMeshCount(), 2);
    EXPECT_STREQ(c->getMeshName(0), "a");
    EXPECT_STREQ(c->getMeshName(1), "b");
    EXPECT_EQ(c->getMeshName(2), nullptr);   // the empty last record
    EXPECT_EQ(c->getMeshName(99), nullptr);  // stops early at the last record
    EXPECT_EQ(c.mesh(1).previous, &c.mesh(0));

    // Meshes without a group have no group table and nothing to check.
    EXPECT_EQ(c.mesh(0).groupCount, 0);
    EXPECT_FALSE(c.mesh(0).hasGroupTable());
}

TEST(Container, TellsAFileWithoutAMainChunkFromAnEmptySceneAndACutOne) {
    Scene s;
    s.meshes = {fanMesh("a", 3)};
    const std::vector<uint8_t> whole = write3ds(s);
    EXPECT_TRUE(Loaded(whole)->hasMainChunk());
    EXPECT_FALSE(Loaded(whole)->mainChunkCut());

    // Cut anywhere, even right behind the main chunk's header: a scene, but cut short.
    for (size_t size : {size_t(6), whole.size() / 2, whole.size() - 1}) {
        Loaded cut(std::vector<uint8_t>(whole.begin(), whole.begin() + long(size)));
        EXPECT_TRUE(cut->hasMainChunk()) << size;
        EXPECT_TRUE(cut->mainChunkCut()) << size;
    }
    // A main chunk that holds nothing is a scene with nothing in it.
    Loaded nothing(std::vector<uint8_t>{0x4D, 0x4D, 6, 0, 0, 0});
    EXPECT_TRUE(nothing->hasMainChunk());
    EXPECT_FALSE(nothing->mainChunkCut());
    // Records come out empty for any bytes; only these hold no main chunk at all.
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{0x4D},
                                              std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'}}) {
        Loaded none(bytes);
        EXPECT_FALSE(none->hasMainChunk()) << bytes.size();
        EXPECT_FALSE(none->mainChunkCut());
        EXPECT_EQ(none->getMeshCount(), 0);
    }
}

TEST(Container, IntegrityCheckListsEveryGroupOfEveryRecord) {
    Scene s;
    Mesh a = fanMesh("a", 3);
    a.groups = {{"first", {0}}, {"second", {0}}};  // the second group becomes a record of its own
    s.meshes = {a};
    Loaded c(write3ds(s));
    std::vector<std::string> check;
    bool on = false;
    for (const std::string& line : c.lines) {
        if (line == "{K3DSContainer}: Integrity checking...") on = true;
        else if (on) check.push_back(line);
    }
    EXPECT_EQ(check, (std::vector<std::string>{
                         "{K3DSContainer}: Getting materialname: first",
                         "{K3DSContainer::K3DSContainer}: first (0)",
                         "{K3DSContainer}: Getting materialname: second",
                         "{K3DSContainer::K3DSContainer}: second (0)",
                         "{K3DSContainer::K3DSContainer()}: Done.",
                     }));
}

TEST(Container, LongMaterialNamesAreCutToTheTableEntry) {
    Scene s;
    Mesh m = fanMesh("m", 3);
    std::string longName(1500, 'q');
    m.groups = {{longName, {0}}};
    s.meshes = {m};
    Loaded c(write3ds(s));
    EXPECT_EQ(c.mesh(0).groups[0].name, std::string(1023, 'q'));
    EXPECT_EQ(c.mesh(0).groups.size(), 1024u);
    // The walk goes on behind the whole name in the file.
    EXPECT_EQ(c.mesh(0).getGroupSize(0), 1);
}

TEST(Container, ConstructionAndReleaseLogInChainOrder) {
    Scene s;
    s.meshes = {fanMesh("a", 3)};
    auto c = std::make_unique<Loaded>(write3ds(s));
    const std::vector<std::string> opening(c->lines.begin(), c->lines.begin() + 7);
    EXPECT_EQ(opening, (std::vector<std::string>{
                           "{K3DSContainer::K3DSContainer()}: Allocating resources...",
                           "{K3DSContainer::InnerMesh::InnerMesh()}: Allocating resources...",
                           "{K3DSContainer::InnerMesh::InnerMesh()}: Done...",
                           "{K3DSContainer::InnerLight::InnerLight()}: Allocating resources...",
                           "{K3DSContainer::InnerLight::InnerLight()}: Done.",
                           "{K3DSContainer::InnerCamera::InnerCamera()}: Allocating resources...",
                           "{K3DSContainer::InnerCamera::InnerCamera()}: Done.",
                       }));
    c->lines.clear();
    c->container.reset();
    EXPECT_EQ(c->lines, (std::vector<std::string>{
                            "{K3DSContainer::~K3DSContainer()}: Freeing resources...",
                            "{K3DSContainer::InnerMesh::~InnerMesh()}: Freeing resources...",
                            "{K3DSContainer::InnerMesh::~InnerMesh()}: Freeing resources...",
                            "{K3DSContainer::InnerMesh}: Done.",
                            "{K3DSContainer::InnerMesh}: Done.",
                            "{K3DSContainer::InnerLight::~InnerLight()}: Freeing resources...",
                            "{K3DSContainer::InnerLight::~InnerLight()}: Done.",
                            "{K3DSContainer::InnerCamera::~InnerCamera()}: Freeing resources...",
                            "{K3DSContainer::InnerCamera::~InnerCamera()}: Done..",
                            "{K3DSContainer::~K3DSContainer}: Done.",
                        }));
}

TEST(Container, LongChainsReleaseWithoutRecursion) {
    // 200000 light chunks make 200000 light records; releasing them must not exhaust the stack.
    ChunkWriter body;
    for (int i = 0; i < 200000; ++i) {
        body.begin(id::kLight);
        body.floats({1, 2, 3});
        body.begin(id::kColourFloat);
        body.floats({1, 1, 1});
        body.end();
        body.end();
    }
    body.header(0, 6);
    DebugServer quiet(11, 0);
    auto c = std::make_unique<K3DSContainer>("many.3ds", body.bytes().data(), body.size(), quiet);
    EXPECT_EQ(c->getLightCount(), 200000);
    c.reset();
}

TEST(Container, FileServerGivesTheImageOrARefusal) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("loader3ds_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Scene s;
    s.meshes = {fanMesh("m", 3)};
    std::string error;
    ASSERT_TRUE(writeArchive((dir / "scene.dat").string(), {{"data/Scene.3ds", write3ds(s)}}, error)) << error;

    DebugServer log(0, 0);
    std::vector<std::string> lines;
    log.setSink([&](std::string_view l) { lines.emplace_back(l); });
    FileServer files(log, 200);
    files.openArchive((dir / "scene.dat").c_str());
    {
        K3DSContainer found("scene.3ds", files, log);
        EXPECT_TRUE(found.ok());
        EXPECT_EQ(found.getMeshCount(), 1);
        EXPECT_EQ(found.getFileSize(), int32_t(write3ds(s).size()));
    }
    lines.clear();
    {
        K3DSContainer missing("data/none.3ds", files, log);
        EXPECT_FALSE(missing.ok());
        EXPECT_EQ(missing.getMeshCount(), 0);
        EXPECT_STREQ(missing.getFileName(), "data/none.3ds");
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), "{K3DSContainer::K3DSContainer()}: Failed!"), lines.end());
    fs::remove_all(dir);
}
