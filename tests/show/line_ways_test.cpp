// The show drawn with quads is the show drawn with native lines, in every scene and at every scale,
// and a driver whose lines are narrower than the show's (as GLIMMERTIDE_LINE_WIDTH_LIMIT makes it)
// gets the scale asked for, drawn with quads. Each play runs in a process of its own, so that
// every play draws the same random line field from the same start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "headless_show.h"
#include "png_image.h"
#include "support/child_process.h"

namespace {

namespace fs = std::filesystem;

// A tick in each scene, 0 to 4 and the title card, at a frame rate that reaches them quickly (and
// at which scenes 3 and 4 are lit there).
constexpr int kTicks[] = {1720, 4400, 7200, 8350, 10200, 12000};
constexpr int kWidestLines = 7200;  // the array rush's 10-pixel outlines and line field
constexpr float kFps = 1.0f;

struct Play {
    int scale;
    std::optional<LineWay> lines;  // none: as the program chooses
    const char* limit;             // GLIMMERTIDE_LINE_WIDTH_LIMIT, or none
    int lastTick;                  // the frames up to this tick
};

std::string name(const Play& p) {
    return "scale" + std::to_string(p.scale) + "-" + (p.lines ? lineWayName(*p.lines) : "chosen") + "-" +
           (p.limit ? p.limit : "nolimit");
}

fs::path frameFile(const fs::path& dir, const Play& p, int tick) {
    return dir / (name(p) + "-" + std::to_string(tick) + ".png");
}

// Plays the show in a child process and writes its frame at each tick; the child's stderr goes to
// a file, and it fails unless it drew at the scale asked for, and with quads under a limit.
std::string play(const fs::path& dir, const Play& p) {
    const fs::path err = dir / (name(p) + ".err");
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(err.c_str(), "w", stderr)) _exit(3);
        if (p.limit) setenv("GLIMMERTIDE_LINE_WIDTH_LIMIT", p.limit, 1);
        HeadlessShow run(GLIMMER_BINARY_DIR "/Glimmertide.dat", kFps, p.scale, p.lines);
        size_t next = 0;
        while (next < std::size(kTicks) && kTicks[next] <= p.lastTick && run.nextFrame()) {
            if (run.frameTick() < float(kTicks[next])) continue;
            if (!writePng(frameFile(dir, p, kTicks[next]).string(), run.readBack())) _exit(2);
            ++next;
        }
        const bool quadsUnderLimit = !p.limit || p.lines || run.lines() == LineWay::quads;
        _exit(run.scale() == p.scale && quadsUnderLimit ? 0 : 1);
    }
    EXPECT_EQ(waitForExit(pid, std::chrono::seconds(300)), 0) << name(p);
    std::ifstream in(err);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Per channel, the mean absolute difference; over all, the peak signal-to-noise ratio.
struct Difference {
    double mean[3] = {};
    double psnr = 0;
};

Difference difference(const RgbImage& a, const RgbImage& b) {
    Difference d;
    double squares = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const double e = double(a.pixels[i]) - double(b.pixels[i]);
        d.mean[i % 3] += std::fabs(e);
        squares += e * e;
    }
    const double pixels = double(a.pixels.size() / 3);
    for (double& m : d.mean) m /= pixels;
    const double mse = squares / double(a.pixels.size());
    d.psnr = mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
    return d;
}

void expectSamePicture(const fs::path& dir, const Play& native, const Play& other, int tick) {
    SCOPED_TRACE(name(other) + " against " + name(native) + ", tick " + std::to_string(tick));
    RgbImage a, b;
    ASSERT_TRUE(readPng(frameFile(dir, native, tick).string(), a));
    ASSERT_TRUE(readPng(frameFile(dir, other, tick).string(), b));
    ASSERT_EQ(a.width, 320 * native.scale);
    ASSERT_EQ(b.width, a.width);
    ASSERT_EQ(b.height, a.height);
    const Difference d = difference(a, b);
    for (double m : d.mean) EXPECT_LT(m, 1.0);
    EXPECT_GT(d.psnr, 35.0);
    if (::testing::Test::HasFailure()) writePng(GLIMMER_BINARY_DIR "/failed-" + name(other) + ".png", b);
}

TEST(LineWays, QuadsDrawTheShowAsNativeLinesDoAtEveryScaleAndUnderEveryLimit) {
    const fs::path dir = fs::temp_directory_path() / ("glimmer-lines-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (int scale : {1, 2, 4}) {
        const Play native{scale, LineWay::native, nullptr, 12000}, quads{scale, LineWay::quads, nullptr, 12000};
        EXPECT_EQ(play(dir, native), "");
        EXPECT_EQ(play(dir, quads), "");
        for (int tick : kTicks) expectSamePicture(dir, native, quads, tick);
    }
    // Intel's smoothed lines (7.375), NVIDIA's (10), WebGL's (1): the scale asked for, no word of
    // falling back, and quads where native lines would be clamped.
    const Play native4{4, LineWay::native, nullptr, 12000};
    for (const char* limit : {"7.375", "10", "1"}) {
        const Play limited{4, std::nullopt, limit, kWidestLines};
        EXPECT_EQ(play(dir, limited), "") << limit;
        expectSamePicture(dir, native4, limited, kWidestLines);
    }
    const Play intel1{1, std::nullopt, "7.375", kWidestLines};
    EXPECT_EQ(play(dir, intel1), "");
    expectSamePicture(dir, {1, LineWay::native, nullptr, 12000}, intel1, kWidestLines);
    fs::remove_all(dir);
}

}  // namespace
