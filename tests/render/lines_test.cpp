// The two ways of drawing lines against each other, on single lines of the widths the show uses and
// more, at several angles, smoothed and aliased; and the line state a primitive leaves behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/line_quads.h"
#include "render/lines.h"
#include "support/gl_context.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr LineWidthLimits kRoomy{255.0f, 255.0f};

// Each test starts and ends with native lines at scale 1, as a fresh process has them.
class LinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        usePixelMatrices();
        useLineWay(LineWay::native, kRoomy);
        setLinePixelScale(1);
    }
    void TearDown() override {
        useLineWay(LineWay::native, kRoomy);
        setLinePixelScale(1);
        disableLineSmoothing();
        setLineWidth(1.0f);
    }

    // One unit a pixel, the origin at the lower left corner.
    static void usePixelMatrices() {
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kWidth, 0, kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    TestGLContext gl{kWidth, kHeight};
};

struct Segment {
    float x0, y0, x1, y1;
};

// A segment of the length through a point off the pixel grid, at an angle in degrees.
Segment segmentAt(double degrees, double length) {
    const double a = degrees * M_PI / 180.0, cx = 160.3, cy = 120.6;
    const double dx = std::cos(a) * length / 2, dy = std::sin(a) * length / 2;
    return {float(cx - dx), float(cy - dy), float(cx + dx), float(cy + dy)};
}

// The red channel of a white line drawn one way on black, blended by its coverage.
std::vector<int> drawn(LineWay way, const Segment& s, float width, bool smooth) {
    useLineWay(way, kRoomy);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    smooth ? enableLineSmoothing() : disableLineSmoothing();
    setLineWidth(width);
    beginLines(GL_LINES);
    lineColour(1, 1, 1, 1);
    lineVertex(s.x0, s.y0, 0);
    lineVertex(s.x1, s.y1, 0);
    endLines();
    std::vector<unsigned char> rgba(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<int> red(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < red.size(); ++i) red[i] = rgba[i * 4];
    return red;
}

double area(const std::vector<int>& red) {
    double sum = 0;
    for (int v : red) sum += v / 255.0;
    return sum;
}

TEST_F(LinesTest, SmoothedQuadsCoverWhatSmoothedLinesCover) {
    for (float width : {1.0f, 2.5f, 7.0f, 10.0f, 40.0f}) {
        for (double angle : {0.0, 10.0, 30.0, 45.0, 60.0, 90.0, 137.0, 200.0}) {
            SCOPED_TRACE(::testing::Message() << "width " << width << ", angle " << angle);
            const Segment s = segmentAt(angle, 150.0);
            const std::vector<int> native = drawn(LineWay::native, s, width, true);
            const std::vector<int> quads = drawn(LineWay::quads, s, width, true);
            // A smoothed line is a rectangle of its width and length: no caps. Across a pixel
            // the coverage falls off linearly, a little short of the true area on the diagonal.
            EXPECT_NEAR(area(quads), width * 150.0, width * 150.0 * 0.03);
            EXPECT_NEAR(area(quads), area(native), width * 150.0 * 0.005);
            long differing = 0, worst = 0;
            for (size_t i = 0; i < native.size(); ++i) {
                const long d = std::labs(native[i] - quads[i]);
                worst = std::max(worst, d);
                if (d > 2) ++differing;
            }
            EXPECT_LE(worst, 6);
            EXPECT_LE(differing, long(width));
        }
    }
}

TEST_F(LinesTest, AliasedQuadsFillThePixelsAliasedLinesFill) {
    for (float width : {1.0f, 2.5f, 7.0f, 10.0f, 40.0f}) {
        for (double angle : {0.0, 10.0, 30.0, 45.0, 60.0, 90.0, 137.0, 200.0}) {
            SCOPED_TRACE(::testing::Message() << "width " << width << ", angle " << angle);
            const Segment s = segmentAt(angle, 150.0);
            const std::vector<int> native = drawn(LineWay::native, s, width, false);
            const std::vector<int> quads = drawn(LineWay::quads, s, width, false);
            long filled = 0, differing = 0;
            for (size_t i = 0; i < native.size(); ++i) {
                EXPECT_TRUE(quads[i] == 0 || quads[i] == 255) << "pixel " << i << " is " << quads[i];
                filled += native[i] == 255;
                differing += (native[i] == 255) != (quads[i] == 255);
            }
            // A whole number of pixels across the major axis for each pixel along it.
            const double major = std::max(std::fabs(s.x1 - s.x0), std::fabs(s.y1 - s.y0));
            EXPECT_NEAR(double(filled), std::round(width) * major, std::round(width) * 2 + 2);
            EXPECT_LE(differing, long(std::round(width) * 2));
        }
    }
}

TEST_F(LinesTest, WidthsAreInPixelsOfTheSmallPictureAndNativeLinesClampAsTheDriverWould) {
    GLfloat width = 0;
    setLinePixelScale(4);
    setLineWidth(10.0f);
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 40.0f);
    // A driver that smooths up to 7.375 pixels and draws aliased lines up to 10 (as Intel's do).
    useLineWay(LineWay::native, {7.375f, 10.0f});
    setLinePixelScale(1);
    setLineWidth(10.0f);
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 10.0f);
    enableLineSmoothing();
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 7.375f);
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    disableLineSmoothing();
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 10.0f);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    // Quads leave GL's own line state alone, and draw the width whatever the limits.
    useLineWay(LineWay::quads, {1.0f, 1.0f});
    setLinePixelScale(4);
    enableLineSmoothing();
    setLineWidth(10.0f);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_NEAR(area(drawn(LineWay::quads, segmentAt(30.0, 100.0), 10.0f, true)), 4000.0, 40.0);
}

// A window resized to twice the size, at twice the scale: the quads follow the viewport and the
// scale they are drawn at, as native lines do.
TEST_F(LinesTest, QuadsFollowTheViewportAndTheScaleWhenTheyChange) {
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        glViewport(0, 0, 160 * scale, 120 * scale);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 160, 0, 120, -1, 1);  // the same picture at any scale
        glMatrixMode(GL_MODELVIEW);
        setLinePixelScale(scale);
        const Segment s{20.3f, 30.6f, 130.2f, 90.1f};
        const std::vector<int> native = drawn(LineWay::native, s, 5.0f, true);
        const std::vector<int> quads = drawn(LineWay::quads, s, 5.0f, true);
        const double length = std::hypot(s.x1 - s.x0, s.y1 - s.y0) * scale;
        EXPECT_NEAR(area(quads), 5.0 * scale * length, 5.0 * scale * length * 0.02);
        long worst = 0;
        for (size_t i = 0; i < native.size(); ++i) worst = std::max(worst, std::labs(native[i] - quads[i]));
        EXPECT_LE(worst, 6);
    }
}

// What a primitive leaves current, and where its vertices take their colour, is what GL's
// immediate mode gives: the line field's untinted lines draw in the colour the scene left.
TEST_F(LinesTest, ColoursAndTextureCoordinatesLeftCurrentAreGLsEitherWay) {
    for (LineWay way : {LineWay::native, LineWay::quads}) {
        SCOPED_TRACE(lineWayName(way));
        useLineWay(way, kRoomy);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        disableLineSmoothing();
        setLineWidth(3.0f);
        glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
        glTexCoord2f(0.25f, 0.75f);
        // A strip whose first vertex comes before any colour: it takes the current green.
        beginLines(GL_LINE_STRIP);
        lineVertex(20.3f, 20.4f, 0);
        lineVertex(100.3f, 20.4f, 0);
        lineColour(1.0f, 0.0f, 0.0f, 1.0f);
        lineVertex(100.3f, 100.4f, 0);
        endLines();
        unsigned char rgba[4];
        glReadPixels(40, 20, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        EXPECT_EQ(rgba[1], 255);
        EXPECT_EQ(rgba[0], 0);
        // The second segment runs from green to red, as its end points are coloured.
        glReadPixels(100, 98, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        EXPECT_GE(rgba[0], 245);
        glReadPixels(100, 60, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        EXPECT_NEAR(rgba[0], 128, 3);
        EXPECT_NEAR(rgba[1], 128, 3);
        float colour[4], texCoord[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, texCoord);
        EXPECT_EQ(colour[0], 1.0f);
        EXPECT_EQ(colour[1], 0.0f);
        EXPECT_EQ(texCoord[0], 0.25f);  // none given: as it was
        EXPECT_EQ(texCoord[1], 0.75f);
        // Lines given no colour at all draw in the current one.
        glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
        beginLines(GL_LINES);
        lineTexCoord(0.5f, 0.5f);
        lineVertex(20, 200, 0);
        lineVertex(200, 200, 0);
        endLines();
        glReadPixels(100, 200, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        EXPECT_EQ(rgba[2], 255);
        EXPECT_EQ(rgba[0], 0);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, texCoord);
        EXPECT_EQ(texCoord[0], 0.5f);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
}

// Lines in the show's own set-up: perspective, a textured, fogged field of lines of several widths
// behind and in front of a triangle that the depth test hides them behind, blended.
std::vector<unsigned char> fieldOfLines(LineWay way, bool smooth) {
    useLineWay(way, kRoomy);
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -0.75, 0.75, 1, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.2f, 0.2f, 0.2f, 1.0f);
    glBegin(GL_TRIANGLES);
    glVertex3f(-20, -20, -60);
    glVertex3f(30, -15, -60);
    glVertex3f(0, 25, -60);
    glEnd();
    // A checkered texture, fog and blending, as the line field has them.
    std::vector<unsigned char> checks(16 * 16 * 3);
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) checks[size_t(i) * 3 + size_t(c)] = ((i / 16 + i % 16) % 2) ? 255 : 60;
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 16, 16, 0, GL_RGB, GL_UNSIGNED_BYTE, checks.data());
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_FOG);
    glFogf(GL_FOG_DENSITY, 0.01f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    smooth ? enableLineSmoothing() : disableLineSmoothing();
    unsigned seed = 7;
    auto next = [&](float range) {
        seed = seed * 1103515245u + 12345u;
        return float((seed >> 8) % 10000) / 10000.0f * range;
    };
    for (float width : {2.0f, 3.0f, 7.0f, 10.0f}) {
        setLineWidth(width);
        beginLines(GL_LINES);
        for (int i = 0; i < 20; ++i) {
            lineColour(next(1.0f), next(1.0f), 1.0f, 0.5f + next(0.5f));
            lineTexCoord(next(1.0f), next(1.0f));
            lineVertex(next(80.0f) - 40.0f, next(60.0f) - 30.0f, -40.0f - next(60.0f));
        }
        endLines();
    }
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
    std::vector<unsigned char> rgb(size_t(kWidth) * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

TEST_F(LinesTest, QuadsKeepTheLinesTextureFogDepthAndBlending) {
    for (bool smooth : {true, false}) {
        SCOPED_TRACE(smooth ? "smoothed" : "aliased");
        const std::vector<unsigned char> native = fieldOfLines(LineWay::native, smooth);
        const std::vector<unsigned char> quads = fieldOfLines(LineWay::quads, smooth);
        double sum = 0;
        long lit = 0;
        for (size_t i = 0; i < native.size(); ++i) {
            sum += std::abs(int(native[i]) - int(quads[i]));
            lit += native[i] > 70;
        }
        EXPECT_GT(lit, 3000);  // the lines are there, lit through the fog
        EXPECT_LT(sum / double(native.size()), 0.5);
    }
}

// The geometry alone: which segments a primitive has, what clipping leaves, and that a segment
// given either way round gets the very same quads.
class LineQuadsTest : public ::testing::Test {
protected:
    // One unit a pixel across a 320 x 240 viewport, seen in perspective from 100 units away.
    LineQuadsTest() {
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        // glFrustum(-1, 1, -0.75, 0.75, 1, 1000) with the eye at z = 100 looking down -z.
        const float frustum[16] = {1, 0, 0, 0, 0, 1.0f / 0.75f, 0, 0, 0, 0, -1001.0f / 999.0f, -1,
                                   0, 0, -2000.0f / 999.0f, 0};
        float modelView[16];
        std::memcpy(modelView, identity, sizeof modelView);
        modelView[14] = -100.0f;
        const int viewport[4] = {0, 0, 320, 240};
        view = linequads::makeView(modelView, frustum, viewport);
    }
    static linequads::Vertex at(float x, float y, float z) { return {{x, y, z}, {1, 1, 1, 1}, {0, 0}}; }
    size_t quadsOf(unsigned primitive, const std::vector<linequads::Vertex>& v, bool smooth = true) const {
        std::vector<linequads::QuadVertex> out;
        linequads::appendPrimitive(primitive, v.data(), int(v.size()), view, 4.0f, smooth, out);
        return out.size() / 6;
    }
    linequads::View view;
};

TEST_F(LineQuadsTest, PrimitivesBreakIntoTheSegmentsGLDraws) {
    const std::vector<linequads::Vertex> five{at(0, 0, 0), at(10, 0, 0), at(10, 10, 0), at(0, 10, 0), at(5, 5, 0)};
    EXPECT_EQ(quadsOf(GL_LINES, five), 2u);  // the odd last vertex draws nothing
    EXPECT_EQ(quadsOf(GL_LINE_STRIP, five), 4u);
    EXPECT_EQ(quadsOf(GL_LINE_LOOP, five), 5u);
    EXPECT_EQ(quadsOf(GL_LINE_LOOP, {at(0, 0, 0), at(10, 0, 0)}), 2u);  // there and back
    EXPECT_EQ(quadsOf(GL_LINE_LOOP, {at(0, 0, 0)}), 0u);
    EXPECT_EQ(quadsOf(GL_TRIANGLES, five), 0u);
    // A point on screen draws nothing, as GL draws nothing for it.
    EXPECT_EQ(quadsOf(GL_LINES, {at(3, 3, 0), at(3, 3, 0)}), 0u);
    // Aliased, the part both directions share and the end pixel of one direction.
    EXPECT_EQ(quadsOf(GL_LINE_LOOP, five, false), 10u);
}

TEST_F(LineQuadsTest, SegmentsAreClippedToTheNearPlaneAsGLClipsThem) {
    std::vector<linequads::QuadVertex> out;
    // From in front of the eye (z = 0 is 100 units away) to behind it: the part before the near
    // plane (1 unit from the eye) is drawn, its far end at the plane's depth.
    linequads::appendSegment(at(10, 5, 0), at(-10, 5, 150), view, 3.0f, true, out);
    ASSERT_EQ(out.size(), 6u);
    for (const linequads::QuadVertex& q : out) EXPECT_LT(q.position[2], 99.001f);
    out.clear();
    linequads::appendSegment(at(0, 0, 120), at(5, 0, 150), view, 3.0f, true, out);
    EXPECT_TRUE(out.empty());  // wholly behind the eye
    const float singular[16] = {};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int viewport[4] = {0, 0, 320, 240};
    linequads::appendSegment(at(0, 0, 0), at(10, 0, 0), linequads::makeView(identity, singular, viewport), 3.0f, true,
                             out);
    EXPECT_TRUE(out.empty());
}

TEST_F(LineQuadsTest, ASegmentGivenEitherWayRoundGetsTheSameQuadsWhereBothDraw) {
    for (bool smooth : {true, false}) {
        std::vector<linequads::QuadVertex> forward, backward;
        linequads::appendSegment(at(-20, 3, 10), at(30, 17, -40), view, 7.0f, smooth, forward);
        linequads::appendSegment(at(30, 17, -40), at(-20, 3, 10), view, 7.0f, smooth, backward);
        ASSERT_EQ(forward.size(), backward.size());
        // Smoothed, all of it; aliased, the shared part (the first quad), not the end pixels.
        const size_t shared = smooth ? forward.size() : 6;
        for (size_t i = 0; i < shared; ++i)
            EXPECT_EQ(std::memcmp(forward[i].position, backward[i].position, sizeof forward[i].position), 0) << i;
        if (!smooth) {
            ASSERT_EQ(forward.size(), 12u);
            EXPECT_NE(std::memcmp(forward[6].position, backward[6].position, sizeof forward[6].position), 0);
        }
    }
}

TEST(LineWay, ChosenFromTheDriversWidestLinesOrByName) {
    EXPECT_EQ(lineWayFor(10.0f, {255.0f, 255.0f}), LineWay::native);
    EXPECT_EQ(lineWayFor(10.0f, {10.0f, 10.0f}), LineWay::native);
    EXPECT_EQ(lineWayFor(10.0f, {7.375f, 255.0f}), LineWay::quads);  // Intel, at scale 1
    EXPECT_EQ(lineWayFor(40.0f, {10.0f, 255.0f}), LineWay::quads);  // NVIDIA, at scale 4
    EXPECT_EQ(lineWayFor(10.0f, {255.0f, 8.0f}), LineWay::quads);
    EXPECT_EQ(lineWayFor(10.0f, {1.0f, 1.0f}), LineWay::quads);  // WebGL, WSL
    EXPECT_EQ(lineWayNamed("native"), LineWay::native);
    EXPECT_EQ(lineWayNamed("QUADS"), LineWay::quads);
    for (const char* name : {"", "quad", "native ", "gl"}) EXPECT_EQ(lineWayNamed(name), std::nullopt) << name;
    EXPECT_STREQ(lineWayName(LineWay::quads), "quads");
    // A range of 0, one below a pixel or a failed query: every driver draws 1-pixel lines.
    EXPECT_EQ(reportedLineWidth(0.0f, false), 1.0f);
    EXPECT_EQ(reportedLineWidth(0.5f, false), 1.0f);
    EXPECT_EQ(reportedLineWidth(std::nanf(""), false), 1.0f);
    EXPECT_EQ(reportedLineWidth(255.0f, true), 1.0f);
    EXPECT_EQ(reportedLineWidth(7.375f, false), 7.375f);
}

TEST(LineWay, TheLimitVariableTakesPositiveNumbersOnly) {
    EXPECT_EQ(lineWidthLimitValue("7.375"), 7.375f);
    EXPECT_EQ(lineWidthLimitValue("10"), 10.0f);
    EXPECT_EQ(lineWidthLimitValue("1"), 1.0f);
    EXPECT_EQ(lineWidthLimitValue("1e1"), 10.0f);
    EXPECT_EQ(lineWidthLimitValue(".5"), 0.5f);
    for (const char* bad : {"", "0", "-3", "abc", "10px", " 10", "10 ", "+10", "inf", "nan", "infinity", "1e99",
                            "1e-60", "0x10", "0x1p3", "1.5.2", "e5", "."})
        EXPECT_EQ(lineWidthLimitValue(bad), std::nullopt) << bad;
}

TEST_F(LinesTest, TheLimitVariableStandsInForTheDriversLimitsOrIsIgnoredWithAWarning) {
    unsetenv("GLIMMERTIDE_LINE_WIDTH_LIMIT");
    const LineWidthLimits own = driverLineWidths("test");
    EXPECT_GE(own.smooth, 1.0f);
    EXPECT_GE(own.aliased, 1.0f);
    setenv("GLIMMERTIDE_LINE_WIDTH_LIMIT", "7.375", 1);
    const LineWidthLimits intel = driverLineWidths("test");
    EXPECT_EQ(intel.smooth, 7.375f);
    EXPECT_EQ(intel.aliased, 7.375f);
    setenv("GLIMMERTIDE_LINE_WIDTH_LIMIT", "wide", 1);
    ::testing::internal::CaptureStderr();
    const LineWidthLimits ignored = driverLineWidths("test");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "test: GLIMMERTIDE_LINE_WIDTH_LIMIT=wide is not a positive number of pixels; ignored\n");
    EXPECT_EQ(ignored.smooth, own.smooth);
    unsetenv("GLIMMERTIDE_LINE_WIDTH_LIMIT");
}

}  // namespace
