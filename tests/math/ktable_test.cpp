#include "math/ktable.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/debug_server.h"
#include "support/gl_context.h"

namespace {

// Collects the log lines written while it lives (threshold 0, no file).
struct LogCapture {
    DebugServer log{0, 0};
    std::vector<std::string> lines;
    LogCapture() {
        log.setSink([this](std::string_view line) { lines.emplace_back(line); });
        installDebugServer(log);
    }
    ~LogCapture() { installDebugServer(quiet()); }
    static DebugServer& quiet() {
        static DebugServer q(11, 0);
        return q;
    }
};

}  // namespace

TEST(KTable, TablesCoverAFullTurnIn65535Units) {
    KTable table(65536, 320, 240, 32, 45.0f);
    EXPECT_EQ(KTable::tableSize(), 65536);
    EXPECT_EQ(KTable::cosAt(0), 1.0f);
    EXPECT_EQ(KTable::cosAt(65535), 1.0f);
    EXPECT_EQ(KTable::sinAt(0), 0.0f);
    EXPECT_NEAR(KTable::sinAt(65535), 0.0f, 1e-6f);
    // 16383.75 units would be exactly a quarter turn: 16383 is below the peak by less than a
    // float step, and one unit is 2*pi/65535, not 2*pi/65536.
    EXPECT_EQ(KTable::sinAt(16383), 1.0f);
    EXPECT_FLOAT_EQ(KTable::sinAt(1), static_cast<float>(std::sin(2.0 * M_PI / 65535.0)));
    EXPECT_GT(KTable::sinAt(1), static_cast<float>(std::sin(2.0 * M_PI / 65536.0)));
    EXPECT_NEAR(KTable::cosAt(32767), -1.0f, 1e-6f);
}

TEST(KTable, IndicesOutsideTheTableWrapAround) {
    KTable table(65536, 320, 240, 32, 45.0f);
    EXPECT_EQ(KTable::sinAt(65536 + 100), KTable::sinAt(100));
    EXPECT_EQ(KTable::cosAt(-1), KTable::cosAt(65535));
    EXPECT_EQ(KTable::sinAt(-65536 * 3 - 7), KTable::sinAt(65536 - 7));
    EXPECT_EQ(KTable::cosAt(INT32_MIN), KTable::cosAt(0));  // INT32_MIN is a multiple of 65536
}

TEST(KTable, ConstructorAndSetResolutionLogTheirSteps) {
    LogCapture capture;
    KTable table(65536, 320, 240, 32, 45.0f);
    std::vector<std::string> expected = {
        "{KTable::KTable()}: Allocating resources...",
        "{KTable}: Calculating look-up tables...",
        "{KTable}: Precalculating cos values...",
        "{KTable}: Precalculating sin values...",
        "{KTable}: Calculating resolution- and FOV-constants...",
        "{KTable::setResolution}: xRes:320  yRes:240  bpp:32",
        "{KTable::setResolution}: FOV: 45.000000",
        "{KTable}: Allocating Z-buffer..",
    };
    EXPECT_EQ(capture.lines, expected);
    EXPECT_EQ(KTable::xRes(), 320);
    EXPECT_EQ(KTable::yRes(), 240);
    EXPECT_EQ(KTable::fov(), 45.0f);
    EXPECT_EQ(KTable::clipConstant(), 1.0f);
    EXPECT_EQ(KTable::renderFlags(), 0);

    // The FOV line always names the default, whatever the resolution; the Z-buffer is replaced.
    capture.lines.clear();
    table.setResolution(640, 480, 16);
    table.setResolution(640, 480, 16);
    EXPECT_EQ(capture.lines[0], "{KTable::setResolution}: xRes:640  yRes:480  bpp:16");
    EXPECT_EQ(capture.lines[1], "{KTable::setResolution}: FOV: 45.000000");
    EXPECT_EQ(KTable::xRes(), 640);
}

TEST(KTable, ProjectionScaleFromTheWindowMatrices) {
    TestGLContext gl(320, 240);
    ASSERT_TRUE(gl.ok());
    KTable table(65536, 320, 240, 32, 45.0f);
    // The window's set-up: perspective 45 degrees, aspect 1, then the orthographic multiply that
    // maps engine z to -2z - 1.
    glViewport(0, 0, 320, 240);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 100000000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 0, 1);
    KTable::computeProjectionScale();
    EXPECT_NEAR(KTable::projectionScaleX(), 1.118f, 0.001f);
    EXPECT_NEAR(KTable::projectionScaleY(), 1.118f, 0.001f);

    // A degenerate projection leaves the previous scales alone instead of dividing by zero.
    glLoadMatrixd(std::vector<double>(16, 0.0).data());
    KTable::computeProjectionScale();
    EXPECT_NEAR(KTable::projectionScaleX(), 1.118f, 0.001f);
}
