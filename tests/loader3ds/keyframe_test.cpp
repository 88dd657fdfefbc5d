// Keyframe chunks: met only outside the keyframer section, which ends the walk; their tracks,
// key layouts and the binding of nodes to records.
#include "loader_fixture.h"

using namespace support3ds;

namespace {

using Lines = std::vector<std::string>;

Key key(uint32_t frame, std::vector<float> values, uint16_t flags = 0, std::vector<float> optional = {}) {
    return Key{frame, flags, std::move(optional), std::move(values)};
}

Node node(uint16_t kind, const char* name, uint16_t nodeId) {
    Node n;
    n.kind = kind;
    n.name = name;
    n.nodeId = nodeId;
    return n;
}

Track track(std::vector<Key> keys) { return Track{0, std::move(keys)}; }

Scene meshLightCamera() {
    Scene s;
    s.meshes = {fanMesh("box", 3)};
    s.lights = {{"lamp", {}, {1, 1, 1}}};
    s.cameras = {{"cam", {}, {}, 0, 50}};
    return s;
}

// The editing section, then the keyframe chunks where the walk meets them: outside 0xB000.
std::vector<uint8_t> withLooseKeyframes(const Scene& scene, const std::vector<Node>& nodes,
                                        uint32_t start = 0, uint32_t end = 100) {
    std::vector<uint8_t> image = write3ds(scene);
    ChunkWriter w;
    w.begin(id::kKeyframes);
    w.u32(start);
    w.u32(end);
    w.end();
    for (const Node& node : nodes) writeNode(w, node);
    w.header(0, 6);
    image.insert(image.end(), w.bytes().begin(), w.bytes().end());
    return image;
}

Lines from(const Lines& all, const std::string& first, size_t count) {
    auto it = std::find(all.begin(), all.end(), first);
    Lines out;
    for (; it != all.end() && out.size() < count; ++it) out.push_back(*it);
    return out;
}

}  // namespace

TEST(Keyframes, TracksOfEveryNodeKindReachTheirRecords) {
    Node object = node(id::kKeyObject, "box", 0);
    object.position = track({key(0, {1, 2, 3}), key(10, {4, 5, 6})});
    object.rotation = track({key(0, {1.5f, 0, 0, 1})});  // angle, then the axis
    object.scale = track({key(0, {2, 2, 2})});
    Node camera = node(id::kKeyCamera, "cam", 1);
    camera.position = track({key(0, {7, 8, 9})});
    camera.fov = track({key(0, {45})});
    camera.roll = track({key(0, {3})});
    Node target = node(id::kKeyCameraTarget, "cam", 2);
    target.position = track({key(0, {-1, -2, -3})});
    Node light = node(id::kKeyLight, "renamed", 3);
    light.position = track({key(0, {0, 10, 0})});
    light.colour = track({key(0, {1, 0.5f, 0.25f})});
    Loaded c(withLooseKeyframes(meshLightCamera(), {object, camera, target, light}, 5, 90));

    EXPECT_EQ(c->getStartFrame(), 5);
    EXPECT_EQ(c->getEndFrame(), 90);
    auto& mesh = c.mesh(0);
    ASSERT_EQ(mesh.positionKeyCount, 2);
    EXPECT_EQ(mesh.positionKeys[1].frame, 10);
    EXPECT_EQ(mesh.positionKeys[1].z, 6);
    ASSERT_EQ(mesh.rotationKeyCount, 1);
    EXPECT_EQ(mesh.rotationKeys[0].x, 0);
    EXPECT_EQ(mesh.rotationKeys[0].z, 1);
    EXPECT_EQ(mesh.rotationKeys[0].angle, 1.5f);
    ASSERT_EQ(mesh.scaleKeyCount, 1);
    EXPECT_EQ(mesh.scaleKeys[0].y, 2);
    auto& cam = c.camera(0);
    ASSERT_EQ(cam.positionKeyCount, 1);
    EXPECT_EQ(cam.positionKeys[0].y, 8);
    ASSERT_EQ(cam.fovKeyCount, 1);
    EXPECT_EQ(cam.fovKeys[0].value, 45);
    ASSERT_EQ(cam.rollKeyCount, 1);
    EXPECT_EQ(cam.rollKeys[0].value, 3);
    ASSERT_EQ(cam.targetKeyCount, 1);
    EXPECT_EQ(cam.targetKeys[0].x, -1);
    auto& lamp = c.light(0);
    EXPECT_STREQ(lamp.getName(), "renamed");
    ASSERT_EQ(lamp.positionKeyCount, 1);
    EXPECT_EQ(lamp.positionKeys[0].y, 10);
    ASSERT_EQ(lamp.colourKeyCount, 1);
    EXPECT_EQ(lamp.colourKeys[0].green, 0.5f);
    // The empty last records stay empty.
    EXPECT_EQ(mesh.next->positionKeyCount, 0);
    EXPECT_EQ(cam.next->fovKeyCount, 0);

    Lines walk = c.walk();
    EXPECT_EQ(from(walk, "A KEYFRAMES chunk(0xb008) was encountered.", 9),
              (Lines{"A KEYFRAMES chunk(0xb008) was encountered.",
                     "Start frame: 5",
                     "End frame: 90",
                     "A KEYOBJ chunk(0xb002) was encountered.",
                     "Name of object: box (treated as: \"box\").",
                     "A KEYOBJPOS chunk(0xb020) was encountered.",
                     "Number of keys: 2",
                     "Reading position-keys... ",
                     "\t *Key[0]: frame number: 0"}));
    EXPECT_EQ(from(walk, "A KEYOBJROT chunk(0xb021) was encountered.", 13),
              (Lines{"A KEYOBJROT chunk(0xb021) was encountered.",
                     "Number of keys: 1",
                     "Reading rotation-keys... ",
                     "\t *Key[0]: frame number: 0",
                     "\t *Key[0]: X-rotation: 0",
                     "\t *Key[0]: Y-rotation: 0",
                     "\t *Key[0]: Z-rotation: 1",
                     "\t *Key[0]: Tension: 0.000",
                     "\t *Key[0]: Continuity: 0.000",
                     "\t *Key[0]: Bias: 0.000",
                     "\t *Key[0]: Ease to: 0.000",
                     "\t *Key[0]: Ease from: 0.000",
                     "Done Reading rotation-keys!"}));
    EXPECT_EQ(from(walk, "A KEYOBJSCALE chunk(0xb022) was encountered.", 6),
              (Lines{"A KEYOBJSCALE chunk(0xb022) was encountered.", "Number of keys: 1",
                     "\t *Key[0]: frame number: 0", "\t *Key[0]: X-scale: 2", "\t *Key[0]: Y-scale: 2",
                     "\t *Key[0]: Z-scale: 2"}));
    EXPECT_EQ(from(walk, "A KEYCAMERA chunk(0xb003) was encountered.", 3),
              (Lines{"A KEYCAMERA chunk(0xb003) was encountered.", "Name of camera: cam (treated as: \"cam\").",
                     "A KEYCAMPOS chunk(0xb020) was encountered."}));
    EXPECT_EQ(from(walk, "A KEYCAMERAFOV chunk(0xb023) was encountered.", 4),
              (Lines{"A KEYCAMERAFOV chunk(0xb023) was encountered.", "Number of keys: 1",
                     "\t *Key[0]: frame number: 0", "\t *Key[0]: FOV: 45"}));
    EXPECT_EQ(from(walk, "A KEYCAMERAROLL chunk(0xb024) was encountered.", 5),
              (Lines{"A KEYCAMERAROLL chunk(0xb024) was encountered.", "Number of keys: 1",
                     "\t *Key[0]: frame number: 0", "\t *Key[0]: Roll: 3",
                     "An KEYCAMERATARGET chunk(0xb004) was encountered."}));
    EXPECT_TRUE(c.has("A KEYCAMTARGETPOS chunk(0xb020) was encountered."));
    EXPECT_EQ(from(walk, "A KEYLIGHT chunk(0xb005) was encountered.", 3),
              (Lines{"A KEYLIGHT chunk(0xb005) was encountered.",
                     "Name of light: renamed (treated as: \"renamed\").",
                     "A KEYLIGHTPOS chunk(0xb020) was encountered."}));
    EXPECT_EQ(from(walk, "A KEYOBJCOL chunk(0xb025) was encountered.", 6),
              (Lines{"A KEYOBJCOL chunk(0xb025) was encountered.", "Number of keys: 1",
                     "\t *Key[0]: frame number: 0", "\t *Key[0]: Red: 1", "\t *Key[0]: Green: 0.5000",
                     "\t *Key[0]: Blue: 0.2500"}));
    EXPECT_EQ(walk.back(), "An EOF-chunk(0x0) was encountered - quitting...");
}

TEST(Keyframes, OptionalKeyValuesFollowTheFlagBits) {
    // Bits 0, 2 and 6: tension, bias, then one unknown value that is skipped.
    Node object = node(id::kKeyObject, "box", 0);
    object.position = track({key(7, {1, 2, 3}, 0x45, {0.25f, -0.5f, 99}),
                             key(8, {4, 5, 6}, 0x18, {0.75f, 0.125f})});  // ease to, ease from
    Loaded c(withLooseKeyframes(meshLightCamera(), {object}));
    auto& keys = c.mesh(0).positionKeys;
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].tension, 0.25f);
    EXPECT_EQ(keys[0].continuity, 0);
    EXPECT_EQ(keys[0].bias, -0.5f);
    EXPECT_EQ(keys[0].easeTo, 0);
    EXPECT_EQ(keys[0].easeFrom, 0);
    EXPECT_EQ(keys[0].x, 1);
    EXPECT_EQ(keys[0].z, 3);
    EXPECT_EQ(keys[1].easeTo, 0.75f);
    EXPECT_EQ(keys[1].easeFrom, 0.125f);
    EXPECT_EQ(keys[1].y, 5);
    EXPECT_EQ(from(c.walk(), "\t *Key[0]: frame number: 7", 9),
              (Lines{"\t *Key[0]: frame number: 7", "\t *Key[0]: X-position: 1", "\t *Key[0]: Y-position: 2",
                     "\t *Key[0]: Z-position: 3", "\t *Key[0]: Tension: 0.250", "\t *Key[0]: Continuity: 0.000",
                     "\t *Key[0]: Bias: -0.500", "\t *Key[0]: Ease to: 0.000", "\t *Key[0]: Ease from: 0.000"}));
}

TEST(Keyframes, StandardFileNeverReachesTheTracks) {
    Scene s = meshLightCamera();
    Node object = node(id::kKeyObject, "box", 0);
    object.position = track({key(0, {1, 2, 3})});
    s.keyframer = Keyframer{0, 100, {object}};
    Loaded c(write3ds(s));
    EXPECT_EQ(c.mesh(0).positionKeyCount, 0);
    EXPECT_EQ(c->getEndFrame(), 0);
    EXPECT_EQ(c.walk().back(), "An EOF-chunk(0xb000) was encountered - quitting...");
}

TEST(Keyframes, PositionTrackBeforeAnyNodeKeepsNothing) {
    ChunkWriter w;
    writeTrack(w, id::kTrackPosition, track({key(0, {1, 2, 3}), key(1, {4, 5, 6})}));
    w.header(0, 6);
    Loaded c(w.take());
    EXPECT_EQ(c.walk(), (Lines{"A KEYPOS chunk(0xb020) was encountered.", "Number of keys: 2",
                               "Reading position-keys... ", "Done Reading position-keys!",
                               "An EOF-chunk(0x0) was encountered - quitting..."}));
    EXPECT_EQ(c.mesh(0).positionKeyCount, 0);
}

TEST(Keyframes, NodesBeyondTheRecordsBindToNothing) {
    // Two object nodes, one mesh: the second node must not fill the empty last record.
    Node first = node(id::kKeyObject, "box", 0);
    first.position = track({key(0, {1, 1, 1})});
    Node surplus = node(id::kKeyObject, "ghost", 1);
    surplus.position = track({key(0, {9, 9, 9})});
    surplus.rotation = track({key(0, {1, 0, 1, 0})});
    Node lamp1 = node(id::kKeyLight, "a", 2), lamp2 = node(id::kKeyLight, "b", 3);
    lamp2.colour = track({key(0, {1, 1, 1})});
    Loaded c(withLooseKeyframes(meshLightCamera(), {first, surplus, lamp1, lamp2}));
    EXPECT_EQ(c.mesh(0).positionKeys[0].x, 1);
    EXPECT_EQ(c.mesh(1).positionKeyCount, 0);
    EXPECT_EQ(c.mesh(1).rotationKeyCount, 0);
    EXPECT_TRUE(c.has("Name of object: ghost (treated as: \"(null)\")."));
    // The surplus node's keys are still read and traced: the walk goes on behind them.
    EXPECT_TRUE(c.has("\t *Key[0]: X-position: 9"));
    EXPECT_STREQ(c.light(0).getName(), "a");
    EXPECT_EQ(c.light(1).getName(), nullptr);
    EXPECT_EQ(c.light(1).colourKeyCount, 0);
    EXPECT_EQ(c.walk().back(), "An EOF-chunk(0x0) was encountered - quitting...");
}

TEST(Keyframes, CameraNodesFollowTheLatestTargetNode) {
    Scene s = meshLightCamera();
    s.cameras.push_back({"second", {}, {}, 0, 50});
    // First camera node (no target node yet) goes to the first camera; each target node moves on
    // to the next camera, and the camera node after it uses that one.
    Node cam1 = node(id::kKeyCamera, "cam", 0), target1 = node(id::kKeyCameraTarget, "cam", 1);
    Node cam2 = node(id::kKeyCamera, "second", 2), target2 = node(id::kKeyCameraTarget, "second", 3);
    // Camera nodes carry a position track, as standard files write them: without one, the search
    // for it would run on into the next node.
    cam1.position = track({key(0, {0, 0, 0})});
    cam2.position = track({key(0, {0, 0, 0})});
    cam1.fov = track({key(0, {10})});
    target1.position = track({key(0, {1, 1, 1})});
    cam2.fov = track({key(0, {20})});
    target2.position = track({key(0, {2, 2, 2})});
    Node target3 = node(id::kKeyCameraTarget, "none", 4);
    target3.position = track({key(0, {3, 3, 3})});
    Loaded c(withLooseKeyframes(s, {cam1, target1, cam2, target2, target3}));
    ASSERT_EQ(c.camera(0).fovKeys.size(), 1u);
    ASSERT_EQ(c.camera(1).targetKeys.size(), 1u);
    EXPECT_EQ(c.camera(0).fovKeys[0].value, 20);  // cam2 follows target1, which chose camera 0
    EXPECT_EQ(c.camera(0).targetKeys[0].x, 1);
    EXPECT_EQ(c.camera(1).targetKeys[0].x, 2);
    EXPECT_EQ(c.camera(2).targetKeyCount, 0);     // the empty last record
}

TEST(Keyframes, CountsAndFramesKeepTheirLowSixteenBits) {
    ChunkWriter w;
    w.begin(id::kKeyObject);
    w.begin(id::kNodeHeader);
    w.string("box");
    w.end();
    w.end();  // no position or rotation track: the node is skipped and the scale track met next
    w.begin(id::kTrackScale);
    w.u16(0);
    w.u32(0);
    w.u32(0);
    w.u32(0x10001);    // key count
    w.u32(0x10005);    // frame
    w.u16(0);
    w.floats({1, 2, 3});
    w.end();
    w.header(0, 6);
    std::vector<uint8_t> image = write3ds(meshLightCamera());
    image.insert(image.end(), w.bytes().begin(), w.bytes().end());
    Loaded c(image);
    ASSERT_EQ(c.mesh(0).scaleKeyCount, 1);
    EXPECT_EQ(c.mesh(0).scaleKeys[0].frame, 5);
    EXPECT_EQ(c.mesh(0).scaleKeys[0].z, 3);
}
