#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>

#include "support/gl_context.h"
#include "video/avi_recorder.h"
#include "video/video_test_support.h"

namespace {

// Frames read back from OpenGL land bottom row first, in blue-green-red order.
TEST(RecorderFramebuffer, StoresTheLowerLeftPictureBottomUpAsBgr) {
    TestGLContext gl;
    ASSERT_TRUE(gl.ok());
    const std::string file = scratchFile("gl.avi");
    {
        AviRecorder recorder(quietUi(), file.c_str(), 320, 240, false, 40, 44100, 16, "raw");
        recorder.attachSound(nullptr);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 320, 120);
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glFinish();
        recorder.frameDone(0);
        EXPECT_EQ(recorder.framesWritten(), 1);
    }
    const std::vector<uint8_t> b = readFile(file);
    std::remove(file.c_str());
    for (const RiffChunk& c : walkRiff(b)) {
        if (c.id != "00db") continue;
        ASSERT_EQ(c.size, 320u * 240 * 3);
        const uint8_t* first = &b[c.offset];

        EXPECT_EQ(first[0], 0);
        EXPECT_EQ(first[1], 255);
        EXPECT_EQ(first[2], 0);
        const uint8_t* top = &b[c.offset + 239u * 320 * 3];
        EXPECT_EQ(top[0], 0);
        EXPECT_EQ(top[1], 0);
        EXPECT_EQ(top[2], 255);

        return;
    }
    FAIL() << "no frame chunk";
}

}  // namespace
