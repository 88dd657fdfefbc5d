#include "show/line_field.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "show/cues.h"
#include "support/gl_context.h"

// Mesa's software rasteriser keeps its feedback-mode buffers past the context's end; that is the
// driver's memory, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:swrast_dri.so\n"; }

namespace {

// Runs a step at an exact tick with the clock showing that tick, as the frame loop does.
template <typename Step>
void at(int tick, Step step) {
    setTicks(float(tick));
    step(tick);
}

class LineFieldTest : public ::testing::Test {
protected:
    void TearDown() override { setTicks(0); }
    LineField field;
    ShowState show;
};

TEST_F(LineFieldTest, DensityIsZeroBeforeTheRampCueAndThenGrows30PerTick) {
    CueList ramp(cues::lineFieldRamp);
    show.density = 0;
    auto step = [&](int t) { field.rampStep(t, ramp, show); };
    for (int t = 0; t < 1650; t += 50) at(t, step);
    at(1649, step);
    EXPECT_EQ(show.density, 0);
    EXPECT_FALSE(field.ramping());
    at(1650, step);
    EXPECT_TRUE(field.ramping());
    EXPECT_EQ(show.density, 30);
    at(1652, step);
    EXPECT_EQ(show.density, 90);
}

TEST_F(LineFieldTest, RampOvershootsForOneFrameThenClampsTo700AndStaysIdle) {
    CueList ramp(cues::lineFieldRamp);
    show.density = 0;
    auto step = [&](int t) { field.rampStep(t, ramp, show); };
    at(1640, step);
    int t = 1650;
    at(t, step);  // 30 * 10 ticks since the previous frame
    EXPECT_EQ(show.density, 300);
    while (show.density <= 700) {
        t += 3;
        at(t, step);
    }
    EXPECT_EQ(show.density, 750);  // the test precedes the growth
    at(t + 3, step);
    EXPECT_EQ(show.density, 700);
    EXPECT_FALSE(field.ramping());
    // Idle from now on: writes by the scenes are not undone.
    show.density = 0;
    at(t + 100, step);
    EXPECT_EQ(show.density, 0);
}

TEST_F(LineFieldTest, TintFlashRisesPeaksFallsAndEndsAbruptly) {
    CueList tint(cues::tintFlash);
    auto step = [&](int t) { field.tintStep(t, tint); };
    for (int t = 5900; t < 5918; ++t) at(t, step);
    EXPECT_FALSE(field.tintOn());
    int peakTick = -1;
    for (int t = 5918; t < 6300; ++t) {
        at(t, step);
        if (peakTick < 0 && field.tintPhase() == 2) peakTick = t;
        if (!field.tintOn()) {
            // About 350 ticks after the cue the flash ends at once, from about 0.28.
            EXPECT_EQ(t, 5918 + 350);
            break;
        }
        if (t == 6267) {
            EXPECT_NEAR(field.tintLevel(), 0.28f, 0.02f);
        }
    }
    EXPECT_NEAR(peakTick - 5918, 158, 1);
    EXPECT_FALSE(field.tintOn());
    EXPECT_EQ(field.tintLevel(), 0.0f);
    EXPECT_EQ(field.tintPhase(), 0);
    EXPECT_EQ(field.tintRow(), 1);
}

TEST_F(LineFieldTest, TintIsIdleBetweenFlashesAndTheThirdUsesRowTwo) {
    CueList tint(cues::tintFlash);
    auto step = [&](int t) { field.tintStep(t, tint); };
    for (int t = 5000; t < 10600; t += 2) {
        at(t, step);
        if (t == 8000) {
            EXPECT_FALSE(field.tintOn());
        }
    }
    EXPECT_TRUE(field.tintOn());
    EXPECT_EQ(field.tintRow(), 2);
}

TEST_F(LineFieldTest, JitterKicksTheTableAxisAndDecaysToZero) {
    CueList jitter(cues::jitter);
    auto step = [&](int t) { field.jitterStep(t, jitter); };
    at(1529, step);
    EXPECT_FALSE(field.jitterActive());
    at(1530, step);  // row 0: x -100, then half a unit per tick of decay
    EXPECT_TRUE(field.jitterActive());
    EXPECT_FLOAT_EQ(field.amplitudes()[0], -99.5f);
    EXPECT_EQ(field.jitterFired(), 1);
    at(1630, step);
    EXPECT_FLOAT_EQ(field.amplitudes()[0], -49.5f);
    at(1726, step);
    EXPECT_FLOAT_EQ(field.amplitudes()[0], -1.5f);
    EXPECT_TRUE(field.jitterActive());
    // Within 1 of zero it snaps to zero, so drawing never takes a remainder by zero.
    at(1727, step);
    EXPECT_EQ(field.amplitudes()[0], 0.0f);
    EXPECT_FALSE(field.jitterActive());
    at(1800, step);
    EXPECT_FALSE(field.jitterActive());
    at(1882, step);
    at(1883, step);  // row 1: y +25, less this frame's decay
    EXPECT_EQ(field.amplitudes()[0], 0.0f);
    EXPECT_FLOAT_EQ(field.amplitudes()[1], 24.5f);
}

TEST_F(LineFieldTest, JitterRowsFollowTheFiredCountAndZeroKicksStayZero) {
    constexpr int32_t burst[] = {10, 11, 12, 13, 14, 15, -1};
    CueList jitter(burst);
    auto step = [&](int t) { field.jitterStep(t, jitter); };
    at(10, step);  // row 0: x -100
    at(11, step);  // row 1: y 25
    at(12, step);  // row 2: x 0
    at(13, step);  // row 3: x 0
    at(14, step);  // row 4: z 0
    EXPECT_EQ(field.amplitudes()[2], 0.0f);
    at(15, step);  // row 5: z 50
    EXPECT_EQ(field.jitterFired(), 6);
    EXPECT_FLOAT_EQ(field.amplitudes()[0], -100.0f + 2.5f);
    EXPECT_FLOAT_EQ(field.amplitudes()[1], 25.0f - 2.5f);
    EXPECT_FLOAT_EQ(field.amplitudes()[2], 50.0f - 0.5f);
}

TEST(LineFieldVertices, CountIsTheCeilingOfAThirdOfTheDensity) {
    EXPECT_EQ(LineField::vertexCount(0), 0);
    EXPECT_EQ(LineField::vertexCount(1), 1);
    EXPECT_EQ(LineField::vertexCount(700), 234);
    EXPECT_EQ(LineField::vertexCount(699), 233);
}

// Draws the field in feedback mode and returns what GL reports: per line, two vertices with
// window position and colour.
struct FedLine {
    float x0, y0, r0, g0, b0, a0;
};

std::vector<FedLine> drawInFeedback(LineField& field, const ShowState& show, float brightness = 1.0f) {
    std::vector<GLfloat> buffer(200000);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    field.draw(show, brightness);
    GLint n = glRenderMode(GL_RENDER);
    std::vector<FedLine> lines;
    for (GLint i = 0; i < n;) {
        GLint token = GLint(buffer[i++]);
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            lines.push_back({buffer[i], buffer[i + 1], buffer[i + 3], buffer[i + 4], buffer[i + 5], buffer[i + 6]});
            i += 14;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return lines;
}

class LineFieldGL : public LineFieldTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        field.allocate(700);
        // A view in which the whole box is visible, so every line reaches the feedback.
        glViewport(0, 0, 320, 240);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-160, 160, -120, 120, -1000, 1000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
    }
    TestGLContext gl;
};

TEST_F(LineFieldGL, DensityDecidesTheNumberOfLines) {
    show.density = 0;
    EXPECT_TRUE(drawInFeedback(field, show).empty());
    show.density = 700;
    EXPECT_EQ(drawInFeedback(field, show).size(), 117u);
    // An odd vertex count leaves the last vertex without a partner.
    show.density = 699;
    EXPECT_EQ(drawInFeedback(field, show).size(), 116u);
}

TEST_F(LineFieldGL, PointsLieInTheBoxAndUntintedLinesKeepTheCurrentColour) {
    show.density = 700;
    show.boxWidth = 130;
    show.boxHeight = 120;
    // Whole-number positions about the centre (0, -5); an odd size puts its extra one to the right.
    const LineField::Box box = LineField::pointBox(130, 120);
    EXPECT_EQ(std::vector<int>({box.left, box.bottom, box.right, box.top}), std::vector<int>({-65, -65, 64, 54}));
    const LineField::Box odd = LineField::pointBox(5, 3);
    EXPECT_EQ(std::vector<int>({odd.left, odd.bottom, odd.right, odd.top}), std::vector<int>({-2, -6, 2, -4}));
    for (const FedLine& l : drawInFeedback(field, show)) {
        // Window x = world x + 160 and y = world y + 120 in this view.
        EXPECT_GE(l.x0 - 160, box.left);
        EXPECT_LE(l.x0 - 160, box.right);
        EXPECT_GE(l.y0 - 120, box.bottom);
        EXPECT_LE(l.y0 - 120, box.top);
        EXPECT_FLOAT_EQ(l.r0, 0.25f);
        EXPECT_FLOAT_EQ(l.g0, 0.5f);
        EXPECT_FLOAT_EQ(l.b0, 0.75f);
    }
}

TEST_F(LineFieldGL, TintColoursByScreenPositionWithBlueFollowingX) {
    constexpr int32_t flash[] = {0, -1};
    CueList tint(flash);
    at(0, [&](int t) { field.tintStep(t, tint); });
    at(100, [&](int t) { field.tintStep(t, tint); });
    ASSERT_TRUE(field.tintOn());
    const float f = field.tintLevel();
    ASSERT_NEAR(f, 0.6f, 1e-5f);
    show.density = 300;
    auto lines = drawInFeedback(field, show, 0.5f);
    ASSERT_EQ(lines.size(), 50u);
    for (const FedLine& l : lines) {
        EXPECT_NEAR(l.r0, 0.5f * ((1 - f) + f * 0.0f * l.x0 / 320), 1e-3);
        EXPECT_NEAR(l.g0, 0.5f * ((1 - f) + f * 0.155f * l.y0 / 240), 1e-3);
        EXPECT_NEAR(l.b0, 0.5f * ((1 - f) + f * 0.8f * l.x0 / 320), 1e-3);
        EXPECT_FLOAT_EQ(l.a0, 0.5f);
    }
}

TEST_F(LineFieldGL, JitterDisplacesWithinItsAmplitude) {
    constexpr int32_t kick[] = {0, 1, -1};  // rows 0 and 1: x -100, y +25
    CueList jitter(kick);
    at(0, [&](int t) { field.jitterStep(t, jitter); });
    at(1, [&](int t) { field.jitterStep(t, jitter); });
    const auto amp = field.amplitudes();
    ASSERT_LT(amp[0], -90.0f);
    ASSERT_GT(amp[1], 20.0f);
    show.density = 700;
    bool movedLeft = false;
    for (const FedLine& l : drawInFeedback(field, show)) {
        const float x = l.x0 - 160, y = l.y0 - 120;
        EXPECT_GT(x, -50 - int(-amp[0]));
        EXPECT_LT(x, 50);
        EXPECT_LT(y, 55 - 5 + int(amp[1]));
        movedLeft |= x < -50;
    }
    EXPECT_TRUE(movedLeft);
}

}  // namespace
