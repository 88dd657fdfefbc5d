#include "show/show.h"

#include <GL/gl.h>

#include <vector>

#include "show_fixture.h"

namespace {

// A show with everything but the scene files: enough for the closing pause.
class PauseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        useWindowMatrices();
        show.allocatePointStore();
        show.createFeedbackTexture();
        show.glowSprites().setUpRadialTexture();
        show.initialSettings();
        show.state().sceneIndex = 6;
    }
    void TearDown() override { setTicks(0); }

    TestGLContext gl{324, 265};
    KTable table{65536, 320, 240, 32, 45.0f};
    Show show;
};

TEST_F(PauseTest, InitialSettingsReplaceTheStartUpValues) {
    Show fresh;
    EXPECT_EQ(fresh.state().density, 700);
    EXPECT_EQ(fresh.state().depthOffset, 20.0f);
    EXPECT_EQ(fresh.state().boxWidth, 100);
    EXPECT_EQ(fresh.state().overlayLineWidth, 3.0f);
    fresh.initialSettings();
    EXPECT_EQ(fresh.state().density, 0);
    EXPECT_EQ(fresh.state().depthOffset, 45.0f);
    EXPECT_EQ(show.lineField().capacity(), 1400u);
}

TEST_F(PauseTest, ClosingPauseDrawsOverlaysUntilTheEndCue) {
    setTicks(13099);
    EXPECT_TRUE(show.renderFrame());
    EXPECT_EQ(show.glowSprites().cueCount(), 1);  // overdue cues fire one per frame
    for (int i = 0; i < 120; ++i) EXPECT_TRUE(show.renderFrame());
    const int glowCues = show.glowSprites().cueCount();
    EXPECT_EQ(glowCues, 96);
    // The end cue: the frame stops before the copy and the overlays.
    setTicks(13100);
    EXPECT_FALSE(show.renderFrame());
    EXPECT_EQ(show.glowSprites().cueCount(), glowCues);
    EXPECT_TRUE(show.cues().end.exhausted());
}

TEST_F(PauseTest, EndCueStopsTheFrameBeforeAnyCopy) {
    // Mark the feedback texture; a copy would overwrite the mark.
    std::vector<unsigned char> mark(256 * 256 * 4, 77);
    glBindTexture(GL_TEXTURE_2D, show.feedbackTexture());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 256, GL_RGBA, GL_UNSIGNED_BYTE, mark.data());
    setTicks(14000);
    EXPECT_FALSE(show.renderFrame());
    std::vector<unsigned char> after(256 * 256 * 4);
    glBindTexture(GL_TEXTURE_2D, show.feedbackTexture());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, after.data());
    EXPECT_EQ(after, mark);
}

TEST_F(PauseTest, OverlayPassLeavesTheStateTheNextFrameInherits) {
    setTicks(13000);
    ASSERT_TRUE(show.renderFrame());
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint src = 0, dst = 0, bound = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE);
    EXPECT_EQ(GLuint(bound), show.glowSprites().radialTexture());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_SMOOTH));
}

// The whole set-up from the generated archive.
class ShowTest : public ShowFixture {
protected:
    void SetUp() override {
        ShowFixture::SetUp();
        show.setUp();
        show.beforeFirstFrame();
    }
    Show show;
};

TEST_F(ShowTest, BeforeTheRampCueTheLineFieldIsEmpty) {
    for (int t = 0; t < 1650; t += 25) {
        setTicks(float(t));
        ASSERT_TRUE(show.renderFrame());
        EXPECT_EQ(show.state().density, 0);
    }
    setTicks(1651);
    show.renderFrame();
    EXPECT_GT(show.state().density, 0);
}

TEST_F(ShowTest, FrameThatFindsTheMainListExhaustedCopiesTheClearedPicture) {
    setTicks(100);
    show.renderFrame();
    // Fire every main cue of scene 0, as a long stall would over several frames.
    setTicks(3300);
    while (!show.cues().scene0Main.exhausted()) show.cues().scene0Main.fire();
    const int draws = show.scene0().draws();
    ASSERT_TRUE(show.renderFrame());
    EXPECT_EQ(show.scene0().draws(), draws);
    EXPECT_EQ(show.state().sceneIndex, 1);
    std::vector<unsigned char> texels(256 * 256 * 4);
    glBindTexture(GL_TEXTURE_2D, show.feedbackTexture());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    for (size_t i = 0; i < texels.size(); i += 4) {
        ASSERT_EQ(texels[i] + texels[i + 1] + texels[i + 2], 0) << "texel " << i / 4;
    }
}

TEST(PixelScale, TheLargestScaleTheDriverDrawsFitsTexturesAndFrames) {
    const Show::DriverLimits roomy{16384, 16384, 16384, 16384};
    EXPECT_EQ(Show::largestPixelScale(roomy, 12, 324, 265), 8);
    EXPECT_EQ(Show::largestPixelScale(roomy, 0, 324, 265), 1);
    Show::DriverLimits texture = roomy;
    texture.textureSize = 1024;  // the feedback texture is 256 pixels a side at scale 1
    EXPECT_EQ(Show::largestPixelScale(texture, 8, 324, 265), 4);
    Show::DriverLimits frame = roomy;
    frame.renderbufferSize = 2048;  // 324 x 6 fits, 324 x 7 does not
    EXPECT_EQ(Show::largestPixelScale(frame, 8, 324, 265), 6);
    frame = roomy;
    frame.viewportHeight = 1060;  // 265 x 4
    EXPECT_EQ(Show::largestPixelScale(frame, 8, 324, 265), 4);
}

}  // namespace
