#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "show/cues.h"
#include "show/glow_sprites.h"
#include "show/light_bars.h"
#include "support/gl_context.h"

namespace {

class OverlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        glViewport(0, 0, 320, 240);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-160, 160, -120, 120, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override { setTicks(0); }

    void barsAt(int tick) {
        setTicks(float(tick));
        bars.step(tick, barCues);
    }
    void spritesAt(int tick) {
        setTicks(float(tick));
        sprites.step(tick, spriteCues, fadeCues);
    }
    // Sum of all colour bytes in the frame buffer.
    long frameSum() {
        std::vector<unsigned char> pixels(320 * 240 * 4);
        glReadPixels(0, 0, 320, 240, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        long sum = 0;
        for (size_t i = 0; i < pixels.size(); i += 4) sum += pixels[i] + pixels[i + 1] + pixels[i + 2];
        return sum;
    }

    TestGLContext gl;
    LightBars bars;
    GlowSprites sprites;
    CueList barCues{cues::lightBar};
    CueList spriteCues{cues::glowSprite};
    CueList fadeCues{cues::glowFade};
};

TEST_F(OverlayTest, BeforeTheFirstCuesNothingShows) {
    bars.glState();
    for (int t = 0; t < 180; t += 2) barsAt(t);
    sprites.setUpRadialTexture();
    GlowSprites::glState();
    for (int t = 0; t < 180; t += 2) spritesAt(t);
    for (int b = 0; b < LightBars::kCount; ++b) EXPECT_EQ(bars.alpha(b), 0.0f);
    for (int s = 0; s < GlowSprites::kCount; ++s) EXPECT_EQ(sprites.intensity(s), 0.0f);
    EXPECT_EQ(frameSum(), 0);
}

TEST_F(OverlayTest, BarsLightInOrderRiseToPeakAndFadeSlowly) {
    barsAt(3240);
    barsAt(3243);  // first cue: bar 0
    EXPECT_FLOAT_EQ(bars.alpha(0), 0.15f);
    EXPECT_TRUE(bars.lit(0));
    int t = 3243;
    while (bars.lit(0)) barsAt(++t);
    EXPECT_EQ(bars.alpha(0), 0.6f);
    EXPECT_NEAR(t, 3252, 1);
    barsAt(3270);
    EXPECT_NEAR(bars.alpha(0), 0.6f - 0.004f * float(3270 - t), 1e-5f);
    // Cue 3273 lights bar 1, not bar 0 again.
    barsAt(3272);
    barsAt(3273);
    EXPECT_TRUE(bars.lit(1));
    EXPECT_EQ(bars.cueCount(), 2);
}

TEST_F(OverlayTest, BarLitAgainRisesFromWhereItIsAndWrapsAfterTwelve) {
    constexpr int32_t table[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 100, -1};
    CueList list(table);
    for (int t = 0; t <= 99; ++t) {
        setTicks(float(t));
        bars.step(t, list);
    }
    const float before = bars.alpha(0);
    EXPECT_GT(before, 0.2f);
    setTicks(100);
    bars.step(100, list);
    EXPECT_TRUE(bars.lit(0));
    EXPECT_NEAR(bars.alpha(0), before + 0.05f, 1e-5f);
}

TEST_F(OverlayTest, LongFrameTakesALitBarStraightToPeak) {
    barsAt(3000);
    barsAt(3300);  // one step, 300 ticks: the cue lights bar 0 and the rise caps at once
    EXPECT_EQ(bars.alpha(0), 0.6f);
    EXPECT_FALSE(bars.lit(0));
    EXPECT_EQ(bars.cueCount(), 1);
}

TEST_F(OverlayTest, RadialTextureFallsFromTheCentre) {
    sprites.setUpRadialTexture();
    const auto& px = sprites.radialPixels();
    auto texel = [&](int j, int k) { return int(px[(j * 16 + k) * 3]); };
    EXPECT_EQ(texel(8, 8), 255);
    EXPECT_EQ(texel(8, 7), 223);
    EXPECT_EQ(texel(8, 0), 0);
    EXPECT_EQ(texel(0, 0), 0);
    EXPECT_EQ(texel(0, 8), 0);
    EXPECT_EQ(px[(3 * 16 + 5) * 3], px[(3 * 16 + 5) * 3 + 2]);
    // Polygon smoothing, which some drivers honour and most ignore, stays off: every driver draws
    // the sprites' edges as Mesa does.
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_SMOOTH));
}

TEST_F(OverlayTest, SpritesLightFromOneAndSpriteZeroStaysDark) {
    sprites.setUpRadialTexture();
    GlowSprites::glState();
    spritesAt(184);
    spritesAt(185);
    EXPECT_TRUE(sprites.lit(1));
    int t = 185;
    while (sprites.lit(1)) spritesAt(++t);
    EXPECT_EQ(sprites.intensity(1), 1.0f);
    EXPECT_NEAR(t, 204, 1);
    spritesAt(238);
    spritesAt(239);  // second cue: sprite 2
    EXPECT_TRUE(sprites.lit(2));
    EXPECT_NEAR(sprites.intensity(1), 1.0f - 0.0015f * float(239 - t), 1e-5f);
    // Twelve sprites light in turn, then sprite 1 again; sprite 0 never.
    for (t = 240; t < 1450; t += 3) spritesAt(t);
    EXPECT_EQ(sprites.cueCount(), 12);
    EXPECT_EQ(sprites.intensity(0), 0.0f);
    EXPECT_GT(frameSum(), 0);
}

TEST_F(OverlayTest, MasterFadeReachesZero1250TicksAfterTheFadeCue) {
    sprites.setUpRadialTexture();
    GlowSprites::glState();
    for (int t = 11000; t <= 11100; t += 2) spritesAt(t);
    EXPECT_TRUE(sprites.fading());
    for (int t = 11101; t <= 11100 + 1240; ++t) spritesAt(t);
    EXPECT_GT(sprites.master(), 0.0f);
    EXPECT_NEAR(sprites.master(), 1.0f - 0.0008f * 1242, 1e-3f);  // the cue frame's dt counts too
    for (int t = 11100 + 1241; t <= 11100 + 1260; ++t) spritesAt(t);
    EXPECT_EQ(sprites.master(), 0.0f);
    // Whatever the intensities, nothing is added any more.
    glClear(GL_COLOR_BUFFER_BIT);
    spritesAt(12400);
    spritesAt(12405);
    EXPECT_GT(sprites.intensity(1 + (sprites.cueCount() - 1) % 12), 0.0f);
    EXPECT_EQ(frameSum(), 0);
}

}  // namespace
