#include "show/title_card.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "base/debug_server.h"
#include "base/exception.h"
#include "archive/file_server.h"
#include "loose_files.h"
#include "show/cues.h"
#include "platform/clock.h"
#include "support/gl_context.h"

namespace {

struct TitleRun {
    ShowState show;
    TitleCard card{show};
    CueList cues{cues::title};
    void at(int tick) {
        setTicks(float(tick));
        card.preFrame();
        card.step(currentTicks(), cues);
    }
};

// A GL context and a loose 256 x 256 title image.
class TitleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        installFileServer(files);
        data.add("data/glimmertide.jpg", solidJpeg(256, 256, 200, 30, 90));
    }
    void TearDown() override { setTicks(0); }

    TestGLContext gl;
    FileServer files{debugServer(), 200};
    LooseFiles data;
};

TEST_F(TitleTest, FirstCueOnlyStartsTheCardWhichEndsOnTheThird) {
    TitleRun run;
    run.card.setUp();
    run.show.sceneIndex = 5;
    run.show.density = 700;
    run.at(10914);
    EXPECT_TRUE(run.card.started());
    EXPECT_EQ(run.card.cueCount(), 0);
    EXPECT_EQ(run.show.density, 0);  // drops to nothing and regrows
    EXPECT_EQ(run.show.depthOffset, 5.0f);
    EXPECT_EQ(run.show.boxWidth, 130);
    EXPECT_EQ(run.show.boxHeight, 100);
    EXPECT_EQ(run.show.overlayLineWidth, 2.0f);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    for (int t = 10915; t <= 11314; ++t) run.at(t);
    // Growth is about 0.0005 t^2 over the first 400 ticks.
    EXPECT_NEAR(run.show.density, 0.0005 * 400 * 400, 5);
    for (int t = 11315; t < 11620; ++t) run.at(t);
    EXPECT_EQ(run.show.depthOffset, 5.0f);
    run.at(11620);
    EXPECT_EQ(run.card.cueCount(), 1);
    EXPECT_EQ(run.show.sceneIndex, 5);
    for (int t = 11621; t < 12755; ++t) run.at(t);
    run.at(12755);  // the third cue: still drawn and updated, and the index moves on
    EXPECT_EQ(run.card.cueCount(), 2);
    EXPECT_EQ(run.show.sceneIndex, 6);
    EXPECT_NEAR(run.show.density, 657, 3);
    EXPECT_NEAR(run.show.depthOffset, -29, 0.5);
    EXPECT_EQ(run.card.growthRate(), 0.4f);
}

TEST_F(TitleTest, QuadIsDrawnGreyWithTheImagesRedChannel) {
    TitleRun run;
    run.card.setUp();
    glViewport(0, 0, 320, 240);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    run.at(10912);
    unsigned char inside[3], outside[3];
    glReadPixels(130, 120, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, inside);  // world (-0.375, 0)
    glReadPixels(300, 120, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, outside);  // world (1.75, 0)
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(inside[c], 200, 6) << "channel " << c;
        EXPECT_EQ(outside[c], 0);
    }
}

TEST(TitleImage, ImageThatIsNot256SquareIsRefused) {
    TestGLContext gl;
    ASSERT_TRUE(gl.ok());
    FileServer files(debugServer(), 200);
    installFileServer(files);
    LooseFiles data;
    data.add("data/glimmertide.jpg", solidJpeg(128, 256, 200, 30, 90));
    ShowState show;
    TitleCard card(show);
    try {
        card.setUp();
        FAIL() << "a 128 x 256 title image was accepted";
    } catch (const ExceptionType& error) {
        EXPECT_EQ(error.text(), "Error - couldn't read file data/glimmertide.jpg! Aborting...");
    }
}

}  // namespace
