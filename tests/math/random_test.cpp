#include "math/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// The first numbers of the Windows C runtime's unseeded rand: files and frames made with the
// original sequence depend on drawing exactly these.
TEST(Random, FreshSequenceIsTheWindowsRuntimes) {
    restartRandomSequence();
    const std::vector<int> expected = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    std::vector<int> drawn;
    for (size_t i = 0; i < expected.size(); ++i) drawn.push_back(randomNumber());
    EXPECT_EQ(drawn, expected);
}

TEST(Random, StaysInRangeAndRestartsWhereAFreshProgramStarts) {
    restartRandomSequence();
    const int first = randomNumber();
    int lowest = kRandomMax, highest = 0;
    // The state is 32 bits wide; a long run must cover the whole documented range and no more.
    for (int i = 0; i < 200000; ++i) {
        const int r = randomNumber();
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, kRandomMax);
    restartRandomSequence();
    EXPECT_EQ(randomNumber(), first);
}
