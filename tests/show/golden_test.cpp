// Plays the whole show headless as video mode does, at the frame rate the reference pictures were
// made with, and checks the scene timeline, the end at tick 13100 and those pictures.
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

// golden/TICKS: "fps N" and "ticks T1,T2,...", shared with regenerate_golden.sh.
struct GoldenSet {
    float fps = 0;
    std::vector<int> ticks;
};

GoldenSet goldenSet() {
    std::ifstream in(kGoldenDir + "/TICKS");
    GoldenSet set;
    std::string key, value;
    while (in >> key >> value) {
        if (key == "fps") set.fps = std::stof(value);
        if (key != "ticks") continue;
        std::istringstream list(value);
        std::string item;
        while (std::getline(list, item, ',')) set.ticks.push_back(std::stoi(item));
    }
    return set;
}

std::string goldenName(int tick) {
    char name[32];
    std::snprintf(name, sizeof name, "at%05d.png", tick);
    return name;
}

TEST(WholeShow, PlaysItsScenesInOrderEndsAt13100AndMatchesTheReferenceFrames) {
    const GoldenSet golden = goldenSet();
    const std::vector<int>& ticks = golden.ticks;
    ASSERT_FALSE(ticks.empty());
    ASSERT_GT(golden.fps, 0.0f);
    const float interval = 71.42857f / golden.fps;
    HeadlessShow run(GLIMMER_BINARY_DIR "/Glimmertide.dat", golden.fps);
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
        ASSERT_LT(run.frameIndex(), 13100 / interval + 10) << "the show does not end";
    }
    // The end cue fires on the first frame at 13100 or later; nothing of it is presented.
    EXPECT_LT(lastTick, 13100.0f);
    EXPECT_GE(lastTick, 13100.0f - interval);
    EXPECT_NEAR(run.frameIndex(), 13100 / interval, 1.5);

    // The index moves on the frame after a scene's last cue (the title: on its third cue).
    auto startsAfter = [&](int index, float tick, float within) {
        ASSERT_TRUE(sceneStart.count(index)) << "scene " << index << " never played";
        EXPECT_GT(sceneStart[index], tick) << "scene " << index;
        EXPECT_LT(sceneStart[index], tick + within) << "scene " << index;
    };
    const float twoFrames = 2 * interval + 0.01f;
    startsAfter(1, 3219, twoFrames);
    startsAfter(2, 6282, twoFrames);
    startsAfter(3, 7852, twoFrames);
    // Scene 3's last cue fires only after its seventh burst has faded: about 9340 at small frame
    // intervals, later at large ones, where each burst waits for whole frames.
    startsAfter(4, 9330, 90.0f);
    startsAfter(5, 10912, twoFrames);
    startsAfter(6, 12755 - 0.01f, interval);

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
