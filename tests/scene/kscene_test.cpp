#include "scene/kscene.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/exception.h"
#include "scene/test_support.h"

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

Mesh triangle(const std::string& name) {
    Mesh m;
    m.name = name;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.faces = {{0, 1, 2, 0}};
    m.local = std::array<float, 12>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    return m;
}

TEST(KScene, FileWithoutLightsIsLitByTheAmbientLightAlone) {
    Environment env;
    Scene s;
    s.meshes = {triangle("one"), triangle("two")};
    const std::string file = env.addScene("plain.3ds", s);
    KScene scene(file.c_str(), true);

    EXPECT_EQ(scene.getMeshCount(), 2);
    EXPECT_STREQ(scene.getMesh(1).getName(), "two");
    EXPECT_EQ(scene.getLightCount(), 1);
    View& view = scene.getView();
    ASSERT_EQ(view.lightCount, 1);
    EXPECT_EQ(view.lights[0], &scene.getAmbientLight());
    EXPECT_FLOAT_EQ(view.lights[0]->getIntensity(), 0.4f);
    EXPECT_EQ(view.lights[0]->getColour().getGreen(), 255.0f);

    // Camera 0 is current, 20 units in front of the origin and looking at it.
    EXPECT_EQ(view.cameraCount, 1);
    EXPECT_EQ(view.currentCamera, 0);
    EXPECT_EQ(&scene.getCurrentCamera(), &scene.getCamera(0));
    EXPECT_EQ(scene.getCurrentCamera().getPosition().z, -20.0f);
    EXPECT_EQ(scene.getCurrentCamera().getTarget().z, 0.0f);

    // One main viewport over the whole screen; lighting is on for the shading gate.
    ASSERT_EQ(scene.getViewportCount(), 1);
    EXPECT_EQ(scene.getViewports()[0]->width, 320.0f);
    EXPECT_EQ(scene.getViewports()[0]->height, 240.0f);
    EXPECT_EQ(scene.getViewports()[0]->texture, -1);
    EXPECT_EQ(view.modeFlags, 1);

    EXPECT_TRUE(env.logged("{void KScene::assign3dsFile()}: Number of meshes in scene: 2"));
    EXPECT_TRUE(env.logged("{KScene::load3dsFile()}: Loading " + file + "...Done!"));
    EXPECT_EQ(env.lines().back(), "{KScene::KScene()}: Done.");
}

TEST(KScene, FileLightsFollowTheAmbientLightInFileOrder) {
    Environment env;
    Scene s;
    s.meshes = {triangle("tri")};
    s.lights = {{"Key", {0, 0, -50}, {1.0f, 0.5f, 0.0f}}, {"Fill", {3, 4, 5}, {0.2f, 0.2f, 0.2f}}};
    const std::string file = env.addScene("lit.3ds", s);
    KScene scene(file.c_str(), true);

    EXPECT_EQ(scene.getLightCount(), 3);
    View& view = scene.getView();
    ASSERT_EQ(view.lightCount, 3);
    EXPECT_STREQ(view.lights[1]->getName(), "Key");
    EXPECT_STREQ(view.lights[2]->getName(), "Fill");
    EXPECT_FLOAT_EQ(view.lights[1]->getIntensity(), 0.85f);
    EXPECT_EQ(view.lights[1]->getPosition().z, -50.0f);
    // 0 to 1 in the file, x 255 and rounded (127.5 to the even 128).
    EXPECT_EQ(view.lights[1]->getColour().getRed(), 255.0f);
    EXPECT_EQ(view.lights[1]->getColour().getGreen(), 128.0f);
    EXPECT_EQ(view.lights[2]->getColour().getBlue(), 51.0f);
    EXPECT_TRUE(env.logged("{KLight::set}: Name of light: \"Key\""));
}

TEST(KScene, CloneModeBuildsCopiesOfTheFirstMesh) {
    Environment env;
    Scene s;
    s.meshes = {triangle("first"), triangle("second")};
    const std::string file = env.addScene("clones.3ds", s);
    KScene scene(file.c_str(), KScene::Clones{3});
    ASSERT_EQ(scene.getMeshCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(scene.getMesh(i).getName(), "first");
    // Each copy owns its arrays.
    EXPECT_NE(&scene.getMesh(0).vertex(0), &scene.getMesh(1).vertex(0));
    EXPECT_NE(&scene.getMesh(1).getFrame(), &scene.getMesh(2).getFrame());
}

TEST(KScene, MissingFileFailsWithTheReadError) {
    Environment env;
    env.openArchive({{"data/other.3ds", write3ds(Scene{})}});
    EXPECT_EQ(errorOf([] { KScene scene("data/missing.3ds", true); }),
              "Error - couldn't read file data/missing.3ds! Aborting...");
    EXPECT_TRUE(env.logged("{KScene::load3dsFile()}: Loading data/missing.3ds...Failed!"));
}

TEST(KLight, IntensityIsClampedToUnitRange) {
    KLight light;
    EXPECT_FLOAT_EQ(light.getIntensity(), 0.9f);
    light.setIntensity(1.5f);
    EXPECT_EQ(light.getIntensity(), 1.0f);
    light.setIntensity(-0.2f);
    EXPECT_EQ(light.getIntensity(), 0.0f);
    light.setIntensity(0.5f);
    EXPECT_EQ(light.getIntensity(), 0.5f);
}

TEST(View, CamerasAndLightsBeyondCapacityOverflow) {
    View view;
    Frame camera;
    KLight light;
    for (int i = 0; i < View::kCameraCapacity; ++i) view.addCamera(&camera);
    EXPECT_EQ(view.currentCamera, 255);
    EXPECT_EQ(errorOf([&] { view.addCamera(&camera); }), "Error - internal stack overflow! Aborting...");
    for (int i = 0; i < View::kLightCapacity; ++i) view.addLight(&light);
    EXPECT_EQ(errorOf([&] { view.addLight(&light); }), "Error - internal stack overflow! Aborting...");
}

// Maps a world point through the camera matrix.
Point seen(const Frame& camera, float x, float y, float z) { return Point(x, y, z).transformed(camera.cameraMatrix()); }

TEST(Camera, MatrixMapsTheWorldIntoRightUpForwardAxes) {
    Frame camera;
    camera.setPosition(Point(0, 0, -20));
    camera.setTarget(Point(0, 0, 0));
    camera.buildMatrix();
    const Point p = seen(camera, 3, 4, 5);
    EXPECT_NEAR(p.x, 3.0f, 1e-5f);
    EXPECT_NEAR(p.y, 4.0f, 1e-5f);
    EXPECT_NEAR(p.z, 25.0f, 1e-5f);

    // Looking along +x from the origin: right is -z, forward is +x.
    Frame side;
    side.setTarget(Point(10, 0, 0));
    side.buildMatrix();
    const Point q = seen(side, 2, 1, 3);
    EXPECT_NEAR(q.x, -3.0f, 1e-5f);
    EXPECT_NEAR(q.y, 1.0f, 1e-5f);
    EXPECT_NEAR(q.z, 2.0f, 1e-5f);
}

TEST(Camera, RightAxisFlipsOnlyOnALargeJumpAfterTheFirstBuild) {
    // The first build never flips: looking along -z, right is -x.
    Frame back;
    back.setTarget(Point(0, 0, -1));
    back.buildMatrix();
    EXPECT_NEAR(back.previousRight().x, -1.0f, 1e-6f);

    // Turning from +z to -z would swing right from +x to -x: flipped, it stays +x and up
    // turns upside down instead.
    Frame camera;
    camera.setTarget(Point(0, 0, 1));
    camera.buildMatrix();
    EXPECT_NEAR(camera.previousRight().x, 1.0f, 1e-6f);
    camera.setTarget(Point(0, 0, -1));
    camera.buildMatrix();
    EXPECT_NEAR(camera.previousRight().x, 1.0f, 1e-6f);
    EXPECT_NEAR(seen(camera, 0, 1, 0).y, -1.0f, 1e-5f);

    // The threshold: an x jump of 2/sqrt(3) (about 1.1547). Forward (sin t, 0, cos t) gives
    // right.x = cos t.
    auto jump = [](float cosine) {
        Frame f;
        f.setTarget(Point(0, 0, 1));
        f.buildMatrix();
        f.setTarget(Point(std::sqrt(1 - cosine * cosine), 0, cosine));
        f.buildMatrix();
        return f.previousRight().x;
    };
    EXPECT_NEAR(jump(-0.14f), -0.14f, 1e-5f);  // jump 1.14: kept
    EXPECT_NEAR(jump(-0.16f), 0.16f, 1e-5f);   // jump 1.16: flipped
}

}  // namespace
