// The show drawn at a pixel scale, reduced by that scale, is the scale-1 show: the same composition,
// the same lines where they were, the same brightness, in every scene. Each scale plays in a
// process of its own, so that every play draws the same random line field.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "headless_show.h"
#include "png_image.h"
#include "show/show.h"
#include "support/child_process.h"

namespace {

namespace fs = std::filesystem;

// A tick in each scene, 0 to 4 and the title card, at a frame rate that reaches them quickly.
constexpr int kTicks[] = {1720, 4400, 7200, 9100, 10560, 12000};
constexpr float kFps = 4.0f;

fs::path frameFile(const fs::path& dir, int scale, int tick) {
    return dir / ("scale" + std::to_string(scale) + "-" + std::to_string(tick) + ".png");
}

// Plays the show at scale in a child process and writes the frame at each tick, named with its scene.
void playInChild(const fs::path& dir, int scale) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        HeadlessShow run(GLIMMER_BINARY_DIR "/Glimmertide.dat", kFps, scale);
        size_t next = 0;
        while (next < std::size(kTicks) && run.nextFrame()) {
            if (run.frameTick() < float(kTicks[next])) continue;
            if (!writePng(frameFile(dir, scale, kTicks[next]).string(), run.readBack())) _exit(2);
            ++next;
        }
        _exit(next == std::size(kTicks) && run.scale() == scale ? 0 : 1);
    }
    ASSERT_EQ(waitForExit(pid, std::chrono::seconds(300)), 0) << "scale " << scale;
}

// Each n x n block averaged into one pixel.
RgbImage reduced(const RgbImage& image, int n) {
    RgbImage out(image.width / n, image.height / n);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < n; ++dy)
                    for (int dx = 0; dx < n; ++dx) sum += image.at(x * n + dx, y * n + dy)[c];
                out.at(x, y)[c] = uint8_t((sum + n * n / 2) / (n * n));
            }
    return out;
}

double meanLevel(const RgbImage& image) {
    double sum = 0;
    for (uint8_t v : image.pixels) sum += v;
    return sum / double(image.pixels.size());
}

double meanDifference(const RgbImage& a, const RgbImage& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return sum / double(a.pixels.size());
}

TEST(PixelScale, ReducedFramesAreTheScaleOneFramesInEveryScene) {
    const fs::path dir = fs::temp_directory_path() / ("glimmer-scale-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (int scale : {1, 2, 3}) playInChild(dir, scale);
    for (int scale : {2, 3}) {
        for (int tick : kTicks) {
            SCOPED_TRACE("scale " + std::to_string(scale) + ", tick " + std::to_string(tick));
            RgbImage one, big;
            ASSERT_TRUE(readPng(frameFile(dir, 1, tick).string(), one));
            ASSERT_TRUE(readPng(frameFile(dir, scale, tick).string(), big));
            ASSERT_EQ(big.width, 320 * scale);
            ASSERT_EQ(big.height, 240 * scale);
            const RgbImage small = reduced(big, scale);
            // Lines moved or widths not scaled leave differences of many levels where lines are;
            // what remains is the finer edges' rounding.
            EXPECT_LT(meanDifference(small, one), 3.0);
            const double brightness = meanLevel(small) / meanLevel(one);
            EXPECT_GT(brightness, 0.9);
            EXPECT_LT(brightness, 1.1);
        }
    }
    fs::remove_all(dir);
}

}  // namespace
