#pragma once
// A GL context with the window's matrices and the generated data archive, for tests that build the
// show's scenes and step them at chosen ticks.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "base/debug_server.h"
#include "archive/file_server.h"
#include "math/ktable.h"
#include "platform/clock.h"
#include "support/gl_context.h"

inline const char* generatedArchive() { return GLIMMER_BINARY_DIR "/Glimmertide.dat"; }

// The window's set-up: perspective with aspect 1, then the orthographic flip of engine z.
inline void useWindowMatrices(int width = 324, int height = 265) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 1.0, 100000000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 0, 1);
    KTable::computeProjectionScale();
}

class ShowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl.ok());
        installFileServer(files);
        files.openArchive(generatedArchive());
        useWindowMatrices();
        setTicks(0);
    }
    void TearDown() override { setTicks(0); }

    TestGLContext gl{324, 265};
    FileServer files{debugServer(), 200};
    KTable table{65536, 320, 240, 32, 45.0f};
};
