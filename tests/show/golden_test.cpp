// Plays the whole show headless at 40 frames per second, as video mode does, and checks the scene
// timeline, the end at tick 13100, and chosen frames against reference pictures.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "headless_show.h"
#include "png_image.h"
#include "show/show.h"

namespace {

const std::string kGoldenDir = GLIMMER_SOURCE_DIR "/tests/show/golden";
// Channel difference a pixel may show without counting as different, and the share of pixels that
// may differ, so that another Mesa's line smoothing does not break the comparison.
constexpr int kTolerance = 24;
constexpr double kAllowedShare = 0.01;

std::vector<int> goldenTicks() {
    std::ifstream in(kGoldenDir + "/TICKS");
    std::vector<int> ticks;
    std::string item;
    while (std::getline(in, item, ',')) ticks.push_back(std::stoi(item));
    return ticks;
}

std::string goldenName(int tick) {
    char name[32];
    std::snprintf(name, sizeof name, "at%05d.png", tick);
    return name;
}

TEST(WholeShow, PlaysItsScenesInOrderEndsAt13100AndMatchesTheReferenceFrames) {
    const std::vector<int> ticks = goldenTicks();
    ASSERT_FALSE(ticks.empty());
    HeadlessShow run(GLIMMER_BINARY_DIR "/Glimmertide.dat", 40.0f);
    std::map<int, float> sceneStart;  // scene index -> first frame tick
    std::map<int, RgbImage> frames;
    size_t nextTick = 0;
    float lastTick = 0.0f;
    while (run.nextFrame()) {
        lastTick = run.frameTick();
        const int index = run.show().state().sceneIndex;
        if (!sceneStart.count(index)) sceneStart[index] = run.frameTick();
        while (nextTick < ticks.size() && run.frameTick() >= float(ticks[nextTick]))
            frames[ticks[nextTick++]] = run.readBack();
        ASSERT_LT(run.frameIndex(), 8000) << "the show does not end";
    }
    // Frames advance 1.785714 ticks; the end cue fires on the first frame at 13100 or later.
    EXPECT_LT(lastTick, 13100.0f);
    EXPECT_GT(lastTick, 13100.0f - 1.8f);
    EXPECT_NEAR(run.frameIndex(), 7336, 1);

    // The index moves on the frame after a scene's last cue (the title: on its third cue).
    auto startsAfter = [&](int index, float tick, float within = 4.0f) {
        ASSERT_TRUE(sceneStart.count(index)) << "scene " << index << " never played";
        EXPECT_GT(sceneStart[index], tick) << "scene " << index;
        EXPECT_LT(sceneStart[index], tick + within) << "scene " << index;
    };
    startsAfter(1, 3219);
    startsAfter(2, 6282);
    startsAfter(3, 7852);
    startsAfter(4, 9330, 30.0f);  // scene 3's last cue fires late, after its seventh burst
    startsAfter(5, 10912);
    startsAfter(6, 12755 - 2.0f);

    for (int tick : ticks) {
        ASSERT_TRUE(frames.count(tick)) << "no frame at tick " << tick;
        RgbImage reference;
        std::string error;
        ASSERT_TRUE(readPng(kGoldenDir + "/" + goldenName(tick), reference, &error)) << error;
        const long different = countDifferentPixels(frames[tick], reference, kTolerance);
        const long allowed = long(kAllowedShare * reference.width * reference.height);
        EXPECT_LE(different, allowed) << "frame at tick " << tick << " differs from " << goldenName(tick)
                                      << " in " << different << " pixels";
        if (different > allowed) writePng(GLIMMER_BINARY_DIR "/failed-" + goldenName(tick), frames[tick]);
    }
}

}  // namespace
