#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "video/progress.h"

namespace {

TEST(ProgressText, ShowsPercentFramesRateAndTimeLeft) {
    char line[160];
    formatProgress(line, sizeof line, 25, 1000, 20.0);
    EXPECT_STREQ(line, "[#######.......................]  25%  frame 1000  50.0 fps  ETA 1:00");
    formatProgress(line, sizeof line, 0, 0, 0.0);
    EXPECT_STREQ(line, "[..............................]   0%  frame 0  0.0 fps  ETA --:--");
    formatProgress(line, sizeof line, 104, 7337, 60.0);  // the last frames pass 100%
    EXPECT_STREQ(line, "[##############################] 100%  frame 7337  122.3 fps  ETA 0:00");
}

std::string run(bool terminal, const int (&percents)[6]) {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    {
        ProgressBar bar(out, terminal);
        const auto start = ProgressBar::Clock::now();
        for (int i = 0; i < 6; ++i) bar.update(percents[i], i + 1, start + std::chrono::milliseconds(i));
    }
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

TEST(ProgressBar, OneLinePerPercentWithoutATerminalAndRedrawsInPlaceOnOne) {
    const int percents[6] = {0, 0, 1, -1, 1, 2};
    const std::string lines = run(false, percents);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_EQ(lines.find('\r'), std::string::npos);

    const std::string bar = run(true, percents);
    EXPECT_EQ(std::count(bar.begin(), bar.end(), '\r'), 3);
    EXPECT_EQ(bar.back(), '\n');  // the line is ended when the bar goes away
}

// The window hears of every frame, even those the terminal bar skips, and with no stream at all.
TEST(ProgressBar, TheListenerHearsEveryUpdateWithTheTextAfterTheBar) {
    std::vector<std::string> heard;
    ProgressBar bar(nullptr, false, [&](int percent, const char* detail) {
        heard.push_back(std::to_string(percent) + " " + detail);
    });
    const auto start = ProgressBar::Clock::now();
    bar.update(0, 1, start);
    bar.update(-1, 2, start + std::chrono::seconds(1));  // unknown: nothing
    bar.update(25, 1000, start + std::chrono::seconds(20));
    bar.update(104, 7337, start + std::chrono::seconds(60));
    EXPECT_EQ(heard, (std::vector<std::string>{"0 frame 1  0.0 fps  ETA --:--", "25 frame 1000  50.0 fps  ETA 1:00",
                                               "100 frame 7337  122.3 fps  ETA 0:00"}));
}

}  // namespace
