#include <GL/gl.h>

#include "render/render.h"
#include "scene/kscene.h"
#include "show/cues.h"
#include "show/scenes.h"
#include "show_fixture.h"

namespace {

bool samePoint(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

::testing::AssertionResult near(const Point& p, float x, float y, float z, float tolerance = 1e-3f) {
    if (std::abs(p.x - x) <= tolerance && std::abs(p.y - y) <= tolerance && std::abs(p.z - z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << p.x << ", " << p.y << ", " << p.z << ") is not near (" << x << ", "
                                         << y << ", " << z << ")";
}

using SceneTest = ShowFixture;

// ---- Scene 0 ----

struct Scene0Run {
    ShowState show;
    Scene0 scene{show};
    CueList main{cues::scene0Main}, zoom{cues::scene0Zoom};
    void at(int tick) {
        setTicks(float(tick));
        scene.preFrame();
        scene.step(currentTicks(), main, zoom);
    }
    Point& camera() { return scene.scene().getCurrentCamera().getPosition(); }
    Point& mesh(int i) { return scene.scene().getMesh(i).getFrame().getPosition(); }
};

TEST_F(SceneTest, Scene0StandsStillUntilTheFirstCueThenOrbits) {
    Scene0Run run;
    run.scene.setUp();
    ASSERT_GT(run.scene.scene().getMeshCount(), 0);
    const Point loaded = run.mesh(0);
    for (int t = 0; t < 1704; t += 37) {
        run.at(t);
        EXPECT_TRUE(samePoint(run.mesh(0), loaded));
        EXPECT_TRUE(near(run.camera(), -100, 0, 0));
    }
    EXPECT_FALSE(run.scene.started());
    EXPECT_EQ(run.show.overlayLineWidth, 3.0f);
    // The cue frame draws the loaded placement, then the orbit picture.
    const int before = run.scene.draws();
    run.at(1704);
    EXPECT_EQ(run.scene.draws(), before + 2);
    EXPECT_TRUE(run.scene.started());
    EXPECT_EQ(run.show.depthOffset, 20.0f);
    // 30 angle units per tick about the vertical axis.
    Point expected = run.mesh(0);
    expected.rotateY(30 * 10);
    run.at(1714);
    EXPECT_TRUE(near(run.mesh(0), expected.x, expected.y, expected.z));
    EXPECT_EQ(run.scene.draws(), before + 3);
}

TEST_F(SceneTest, Scene0ZoomsNearThenHighThenGoesDarkBeforeItsLastCue) {
    Scene0Run run;
    run.scene.setUp();
    run.at(0);
    for (int t = 1704; t < 2405; t += 2) run.at(t);
    run.at(2405);  // a main cue and the first zoom cue in one frame
    EXPECT_EQ(run.scene.zoomCount(), 1);
    EXPECT_TRUE(near(run.camera(), -50, 0, 0));
    run.at(2435);
    EXPECT_TRUE(near(run.camera(), -50, 0, 0));
    EXPECT_GE(run.scene.zoomMark(), 0);
    // The near orbit lasts until the first frame more than 30 ticks after the zoom cue.
    run.at(2436);
    EXPECT_EQ(run.scene.zoomMark(), -1);
    run.at(2438);
    EXPECT_TRUE(near(run.camera(), -100, 0, 0));
    for (int t = 2440; t < 3036; t += 2) run.at(t);
    run.at(3036);  // main cue and second zoom: reset, reset, high orbit
    EXPECT_EQ(run.scene.zoomCount(), 2);
    EXPECT_TRUE(near(run.camera(), -60, -10, 10));
    run.at(3180);
    EXPECT_TRUE(near(run.camera(), -60, -10, 10));
    const int draws = run.scene.draws();
    for (int t = 3181; t < 3219; t += 2) run.at(t);
    EXPECT_EQ(run.scene.draws(), draws);
    // The last main cue draws its reset picture only; the next frame ends the scene.
    run.at(3219);
    EXPECT_EQ(run.scene.draws(), draws + 1);
    EXPECT_TRUE(near(run.camera(), 0, 0, 0));
    EXPECT_EQ(run.show.sceneIndex, 0);
    run.at(3221);
    EXPECT_EQ(run.show.sceneIndex, 1);
    EXPECT_EQ(run.scene.draws(), draws + 1);
}

// ---- Scene 1 ----

struct Scene1Run {
    ShowState show;
    Scene1 scene{show};
    CueList cues{cues::scene1};
    void at(int tick) {
        setTicks(float(tick));
        scene.preFrame();
        scene.step(currentTicks(), cues);
    }
    Point& camera() { return scene.scene().getCurrentCamera().getPosition(); }
};

TEST_F(SceneTest, Scene1DrawsNothingBeforeItsFirstCueAndStartsEachSegmentAtDepth375) {
    Scene1Run run;
    run.scene.setUp();
    for (int t = 3220; t < 3235; ++t) run.at(t);
    EXPECT_EQ(run.scene.draws(), 0);
    run.at(3235);
    EXPECT_EQ(run.scene.draws(), 1);
    EXPECT_EQ(run.scene.kind(), Scene1::Kind::turn);
    EXPECT_TRUE(near(run.camera(), 0, 0, -375));
    EXPECT_EQ(run.show.overlayLineWidth, 10.0f);
    EXPECT_FALSE(glIsEnabled(GL_FOG));  // on only while the scene is drawn
    run.at(3245);
    EXPECT_TRUE(near(run.camera(), 0, -0.95f, -375 + 18));
}

TEST_F(SceneTest, Scene1AlternatesTurnsAndRollsInPairsAndEndsAfterTheNinthCue) {
    Scene1Run run;
    run.scene.setUp();
    const Scene1::Kind T = Scene1::Kind::turn, R = Scene1::Kind::roll;
    const Scene1::Kind expected[9] = {T, T, R, R, T, T, R, R, T};
    const int32_t* cue = cues::scene1;
    for (int i = 0; i < 9; ++i) {
        run.at(cue[i] - 1);
        run.at(cue[i]);
        EXPECT_EQ(run.scene.segmentCount(), i + 1);
        EXPECT_EQ(run.scene.kind(), expected[i]) << "segment " << i;
        if (i < 8) {
            EXPECT_TRUE(near(run.camera(), 0, expected[i] == R ? 50.0f : 0.0f, -375));
        }
    }
    // The ninth segment is only started: the camera keeps the start position, fog stays on.
    EXPECT_TRUE(near(run.camera(), 0, 0, -700));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(run.show.sceneIndex, 0);
    run.at(6284);  // the next frame ends the scene
    EXPECT_EQ(run.show.sceneIndex, 1);
}

TEST_F(SceneTest, Scene1FadesOnlyAfter100TicksOfASegment) {
    Scene1Run run;
    run.scene.setUp();
    run.at(3235);
    for (int t = 3237; t <= 3335; t += 2) run.at(t);
    EXPECT_EQ(run.scene.fade(), 1.0f);
    for (int t = 3337; t <= 3435; t += 2) run.at(t);
    EXPECT_NEAR(run.scene.fade(), 1.0f - 0.004f * 100, 0.01f);
    EXPECT_NEAR(getBrightness(), run.scene.fade(), 1e-6f);
}

// ---- Scene 2 ----

struct Scene2Run {
    ShowState show;
    Scene2 scene{show};
    CueList main{cues::scene2Main}, fade{cues::scene2Fade};
    void at(int tick) {
        setTicks(float(tick));
        scene.preFrame();
        scene.step(currentTicks(), main, fade);
    }
    Point& mesh() { return scene.scene().getMesh(0).getFrame().getPosition(); }
};

TEST_F(SceneTest, Scene2RushesAwayWithGrowingSpeedBelowTheCap) {
    Scene2Run run;
    run.scene.setUp();
    EXPECT_EQ(run.scene.scene().getMeshCount(), 1);
    run.at(6290);
    run.at(6320);  // first main cue: speed 2 plus this frame's gain, box widened
    EXPECT_EQ(run.show.boxWidth, 130);
    EXPECT_EQ(run.show.boxHeight, 120);
    EXPECT_TRUE(run.scene.moving());
    float z = 500.0f, speed = 2.0f + 0.01f * 30;
    z -= speed * 30;
    EXPECT_NEAR(run.mesh().z, z, 1e-2f);
    for (int t = 6321; t < 6515; ++t) {
        run.at(t);
        speed += 0.01f;
        z -= speed;
    }
    EXPECT_NEAR(run.scene.speed(), speed, 1e-3f);
    EXPECT_LT(run.scene.speed(), 50.0f);
    EXPECT_NEAR(run.mesh().z, z, 1.0f);
    run.at(6515);
    EXPECT_NEAR(run.mesh().z, 500.0f - (2.0f + 0.01f) * 1, 1e-3f);
}

TEST_F(SceneTest, Scene2FadesFromOneToZeroIn100Ticks) {
    Scene2Run run;
    run.scene.setUp();
    for (int t = 7690; t < 7700; ++t) run.at(t);
    EXPECT_EQ(getBrightness(), 1.0f);
    run.at(7700);
    EXPECT_TRUE(run.scene.fading());
    EXPECT_EQ(getBrightness(), 1.0f);  // one frame behind the level
    for (int t = 7701; t <= 7798; ++t) run.at(t);
    EXPECT_NEAR(run.scene.fadeLevel(), 0.01f, 1e-4f);
    run.at(7799);  // 100 ticks of fading
    EXPECT_NEAR(run.scene.fadeLevel(), 0.0f, 1e-4f);
    run.at(7800);
    EXPECT_EQ(run.scene.fadeLevel(), 0.0f);
    EXPECT_NEAR(getBrightness(), 0.0f, 1e-4f);
}

// ---- Scenes 3 and 4 ----

struct Scene3Run {
    ShowState show;
    Scene3 scene{show};
    CueList cues{cues::scene3};
    void at(int tick) {
        setTicks(float(tick));
        scene.preFrame();
        scene.step(currentTicks(), cues);
    }
};

TEST_F(SceneTest, Scene3BurstsOnlyBetweenCuesAndItsLastCueFiresLate) {
    Scene3Run run;
    run.scene.setUp();
    run.at(7853);  // the first cue is overdue and fires on the scene's first frame, drawing nothing
    EXPECT_EQ(run.scene.burstCount(), 1);
    EXPECT_TRUE(run.scene.active());
    EXPECT_EQ(run.scene.draws(), 0);
    EXPECT_EQ(run.show.overlayLineWidth, 7.0f);
    int t = 7853, burstEnd = 0, lastCueFrame = 0;
    while (run.show.sceneIndex == 0 && t < 10000) {
        const int bursts = run.scene.burstCount();
        const bool wasActive = run.scene.active();
        const int draws = run.scene.draws();
        run.at(++t);
        if (run.show.sceneIndex != 0) {
            // The eighth cue only turned the mesh; the frame after it ends the scene undrawn.
            EXPECT_EQ(run.scene.draws(), draws);
            EXPECT_EQ(run.scene.burstCount(), 8);
        } else if (wasActive) {
            EXPECT_EQ(run.scene.draws(), draws + 1);
            EXPECT_LE(run.show.boxWidth, 130);
            if (!run.scene.active() && bursts == 1) burstEnd = t;
        } else {
            EXPECT_EQ(run.scene.draws(), draws);  // cue frames and gaps draw nothing
        }
        if (run.scene.burstCount() == 8 && bursts == 7) lastCueFrame = t;
    }
    EXPECT_NEAR(burstEnd - 7853, 193, 2);
    EXPECT_NEAR(lastCueFrame, 9340, 10);
    EXPECT_EQ(run.show.sceneIndex, 1);
}

TEST_F(SceneTest, Scene3WidensTheLineFieldBoxTowards130) {
    Scene3Run run;
    run.scene.setUp();
    run.at(7853);
    run.at(7863);
    EXPECT_EQ(run.show.boxWidth, 79);
    EXPECT_EQ(run.show.boxHeight, 79);
    for (int t = 7864; t < 7950; ++t) run.at(t);
    EXPECT_EQ(run.show.boxWidth, 130);
    EXPECT_GT(run.scene.depthStretch(), 1.0f);
}

struct Scene4Run {
    ShowState show;
    Scene4 scene{show};
    CueList main{cues::scene4Main}, fade{cues::scene4Fade};
    void at(int tick) {
        setTicks(float(tick));
        scene.preFrame();
        scene.step(currentTicks(), main, fade);
    }
    Point& camera() { return scene.scene().getCurrentCamera().getPosition(); }
};

TEST_F(SceneTest, Scene4FadesInQuicklyDriftsAndFadesOutSlowly) {
    Scene4Run run;
    run.scene.setUp();
    run.at(9340);  // first cue overdue: segment 0 from the start
    EXPECT_EQ(run.scene.segment(), 0);
    EXPECT_EQ(run.scene.level(), 0.0f);
    int t = 9340;
    while (run.scene.fadingIn()) run.at(++t);
    EXPECT_NEAR(t - 9340, 15, 1);
    // The camera rises and backs away, 0.2 and 0.06 of 0.9 units per tick in segment 0.
    const Point start = run.camera();
    run.at(t + 10);
    EXPECT_NEAR(run.camera().z - start.z, 0.2f * 0.9f * 10, 1e-3f);
    EXPECT_NEAR(run.camera().y - start.y, 0.06f * 0.9f * 10, 1e-3f);
    for (t += 11; t < 10912; ++t) run.at(t);
    EXPECT_EQ(run.scene.segment(), 2);
    EXPECT_TRUE(run.scene.fading());
    run.at(10912);
    EXPECT_NEAR(run.scene.level(), 1.0f - 0.0035f * (10912 - 10640), 0.01f);
    EXPECT_NEAR(run.scene.level(), 0.05f, 0.01f);
    EXPECT_EQ(run.scene.segment(), 3);
    run.show.density = 0;
    run.at(10914);
    EXPECT_EQ(run.show.density, 700);
    EXPECT_EQ(run.show.sceneIndex, 1);
}

}  // namespace
