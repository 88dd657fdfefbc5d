// The two ways of drawing lines against each other, on single lines of the widths the show uses and
// more, at several angles, smoothed and aliased; and the line state a primitive leaves behind.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

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

}  // namespace
