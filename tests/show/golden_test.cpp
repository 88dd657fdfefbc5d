// Plays the whole show headless as video mode does, at the frame rate the reference pictures were
// made with, and checks the scene timeline, the end at tick 13100, those pictures and that the
// title card can be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "headless_show.h"
#include "math/projection.h"
#include "png_image.h"
#include "show/show.h"
#include "textures.h"
#include "title_view.h"

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

// One play of the whole show at the reference frame rate: what the checks below look at.
struct Played {
    float interval = 0;
    std::map<int, float> sceneStart;  // scene index -> first frame tick
    std::map<int, RgbImage> frames;   // the reference ticks
    float lastTick = 0;
    int lastFrame = 0;
    // The title card's last second, averaged as the eye sees it, and the field's depth offset midway.
    FrameAverage titleEnd;
    float titleEndDepth = 0;
};

constexpr float kTitleEnd = 12755.0f, kSecond = 71.42857f;

Played playWholeShow() {
    Played p;
    const GoldenSet golden = goldenSet();
    if (!(golden.fps > 0)) return p;
    p.interval = kSecond / golden.fps;
    HeadlessShow run(GLIMMER_BINARY_DIR "/Glimmertide.dat", golden.fps);
    size_t next = 0;
    while (run.nextFrame() && run.frameIndex() < 13100 / p.interval + 10) {
        const float tick = run.frameTick();
        p.lastTick = tick;
        p.lastFrame = run.frameIndex();
        const int index = run.show().state().sceneIndex;
        if (!p.sceneStart.count(index)) p.sceneStart[index] = tick;
        while (next < golden.ticks.size() && tick >= float(golden.ticks[next]))
            p.frames[golden.ticks[next++]] = run.readBack();
        if (tick >= kTitleEnd - kSecond && tick < kTitleEnd) {
            p.titleEnd.add(run.readBack());
            if (tick < kTitleEnd - kSecond / 2) p.titleEndDepth = run.show().titleCard().depth();
        }
    }
    return p;
}

void checkTimeline(const Played& p) {
    ASSERT_GT(p.interval, 0.0f);
    ASSERT_LT(p.lastFrame, 13100 / p.interval + 9) << "the show does not end";
    // The end cue fires on the first frame at 13100 or later; nothing of it is presented.
    EXPECT_LT(p.lastTick, 13100.0f);
    EXPECT_GE(p.lastTick, 13100.0f - p.interval);
    EXPECT_NEAR(p.lastFrame, 13100 / p.interval, 1.5);

    // The index moves on the frame after a scene's last cue (the title: on its third cue).
    auto startsAfter = [&](int index, float tick, float within) {
        ASSERT_TRUE(p.sceneStart.count(index)) << "scene " << index << " never played";
        EXPECT_GT(p.sceneStart.at(index), tick) << "scene " << index;
        EXPECT_LT(p.sceneStart.at(index), tick + within) << "scene " << index;
    };
    const float twoFrames = 2 * p.interval + 0.01f;
    startsAfter(1, 3219, twoFrames);
    startsAfter(2, 6282, twoFrames);
    startsAfter(3, 7852, twoFrames);
    // Scene 3's last cue fires only after its seventh burst has faded: about 9340 at small frame
    // intervals, later at large ones, where each burst waits for whole frames.
    startsAfter(4, 9330, 90.0f);
    startsAfter(5, 10912, twoFrames);
    startsAfter(6, 12755 - 0.01f, p.interval);
}

void checkReferenceFrames(const Played& p) {
    const std::vector<int> ticks = goldenSet().ticks;
    ASSERT_FALSE(ticks.empty());
    for (int tick : ticks) {
        ASSERT_TRUE(p.frames.count(tick)) << "no frame at tick " << tick;
        RgbImage reference;
        std::string error;
        ASSERT_TRUE(readPng(kGoldenDir + "/" + goldenName(tick), reference, &error)) << error;
        const RgbImage& frame = p.frames.at(tick);
        const long different = countDifferentPixels(frame, reference, kTolerance);
        const long allowed = long(kAllowedShare * reference.width * reference.height);
        EXPECT_LE(different, allowed) << "frame at tick " << tick << " differs from " << goldenName(tick)
                                      << " in " << different << " pixels";
        if (different > allowed) writePng(GLIMMER_BINARY_DIR "/failed-" + goldenName(tick), frame);
    }
}

// The columns where the averaged picture is lit, over the rows where it is brightest (the text):
// first and last column whose mean red there is at least a quarter of the brightest column's.
struct Span {
    int first = -1, last = -1;
};

Span litColumns(const RgbImage& seen) {
    auto red = [&](int x, int y) { return double(seen.at(x, y)[0]); };
    std::vector<double> rows(size_t(seen.height), 0.0), columns(size_t(seen.width), 0.0);
    for (int y = 0; y < seen.height; ++y)
        for (int x = 0; x < seen.width; ++x) rows[size_t(y)] += red(x, y);
    const double brightestRow = *std::max_element(rows.begin(), rows.end());
    for (int y = 0; y < seen.height; ++y)
        if (rows[size_t(y)] >= brightestRow / 2)
            for (int x = 0; x < seen.width; ++x) columns[size_t(x)] += red(x, y);
    const double brightest = *std::max_element(columns.begin(), columns.end());
    Span span;
    for (int x = 0; x < seen.width; ++x) {
        if (columns[size_t(x)] < brightest / 4) continue;
        if (span.first < 0) span.first = x;
        span.last = x;
    }
    return span;
}

// Seen through the line field at its nearest, the title reads to its ends: the text is lit from
// where the layout puts the G's stem to where it puts the E's bars, clear of the picture's edges.
void checkTitleReadsToItsEnds(const Played& p) {
    ASSERT_GE(p.titleEnd.count(), 5);
    const RgbImage seen = p.titleEnd.mean();
    using namespace projection;
    const Matrices view = window(kWindowWidth, kWindowHeight, kPictureWidth, kPictureHeight, kFov);
    const textures::TextLine title = textures::titleText().title;
    const double v = title.top + title.height / 2;
    title_view::Point left{}, right{};
    ASSERT_TRUE(title_view::shown(view, title.left, v, p.titleEndDepth, &left));
    ASSERT_TRUE(title_view::shown(view, title.right(), v, p.titleEndDepth, &right));
    const Span lit = litColumns(seen);
    EXPECT_GT(lit.first, 4);
    EXPECT_LT(lit.last, kPictureWidth - 5);
    EXPECT_NEAR(lit.first, left.x, 6.0);
    EXPECT_NEAR(lit.last, right.x, 6.0);
    if (::testing::Test::HasFailure()) writePng(GLIMMER_BINARY_DIR "/failed-title-last-second.png", seen);
}

TEST(FrameAverage, RoundsTheMeanOfEachChannelAndRefusesAnotherSize) {
    RgbImage dark(2, 1), light(2, 1);
    light.at(0, 0)[0] = 3;
    light.at(1, 0)[2] = 255;
    FrameAverage average;
    EXPECT_TRUE(average.add(dark));
    EXPECT_TRUE(average.add(light));
    EXPECT_FALSE(average.add(RgbImage(1, 2)));
    EXPECT_EQ(average.count(), 2);
    const RgbImage mean = average.mean();
    EXPECT_EQ(mean.at(0, 0)[0], 2);  // 1.5 rounds up
    EXPECT_EQ(mean.at(1, 0)[2], 128);
    EXPECT_EQ(mean.at(1, 0)[0], 0);
}

// The show takes a while to play, so one run serves every check.
TEST(WholeShow, PlaysItsScenesInOrderEndsAt13100MatchesTheReferenceFramesAndItsTitleReads) {
    const Played p = playWholeShow();
    checkTimeline(p);
    checkReferenceFrames(p);
    checkTitleReadsToItsEnds(p);
}

}  // namespace
