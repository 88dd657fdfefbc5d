#pragma once
// Render tests draw into a hidden 320 x 240 GL context set up as the window sets up its own:
// perspective of 45 degrees with the integer aspect 1, near 1 and far 100000000, and a model-view
// that maps engine z to -2z - 1. KTable's projection scales are read back from that set-up.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "math/ktable.h"
#include "scene/kscene.h"
#include "scene/test_support.h"
#include "support/gl_context.h"

namespace rendertest {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// The window's GL state and projection, then the projection scales.
void setUpWindowState();

// RGB of the pixel at (x, y), y counted from the bottom as GL does.
std::array<uint8_t, 3> pixel(int x, int y);
// Largest channel of any pixel within radius of (x, y).
int brightestNear(float x, float y, int radius, int channel);
// Number of pixels with any channel above the threshold.
int litPixels(int threshold = 40);

// Where the window puts an engine point seen by a camera at (0, 0, -20) looking at the origin.
std::array<float, 2> windowPosition(float x, float y, float z);

void clearFrame();

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes the scene into the test folder and builds a KScene from it.
    std::unique_ptr<KScene> load(const support3ds::Scene& scene);

    TestGLContext gl{kWidth, kHeight};
    scenetest::Environment env;
};

}  // namespace rendertest
