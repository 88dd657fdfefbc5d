#include "show/cue_list.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "show/cues.h"

namespace {

constexpr int32_t kTable[] = {10, 20, 30, -1};

TEST(CueList, FiresOnlyWhenTheClockReachesTheCue) {
    setTicks(0);
    CueList list(kTable);
    EXPECT_EQ(list.size(), 3u);
    setTicks(9);
    EXPECT_FALSE(list.fire());
    EXPECT_EQ(list.lastFired(), 0);
    setTicks(10);
    EXPECT_TRUE(list.fire());
    EXPECT_EQ(list.lastFired(), 10);
    EXPECT_EQ(list.next(), 1u);
    EXPECT_FALSE(list.fire());
}

TEST(CueList, CuesLongPastFireOnePerCall) {
    CueList list(kTable);
    setTicks(1000);
    EXPECT_TRUE(list.fire());
    EXPECT_EQ(list.lastFired(), 10);
    EXPECT_TRUE(list.fire());
    EXPECT_EQ(list.lastFired(), 20);
    EXPECT_FALSE(list.exhausted());
    EXPECT_TRUE(list.fire());
    EXPECT_EQ(list.lastFired(), 30);
    EXPECT_TRUE(list.exhausted());
    // Exhausted: nothing fires and the last fired cue stays.
    EXPECT_FALSE(list.fire());
    EXPECT_EQ(list.lastFired(), 30);
    EXPECT_EQ(list.next(), 3u);
    setTicks(0);
}

TEST(CueList, KeepsItsOwnCopyAndStopsAtTheMarker) {
    int32_t table[] = {5, -1, 7, -1};
    CueList list(table);
    table[0] = 500;
    EXPECT_EQ(list.size(), 1u);
    setTicks(6);
    EXPECT_TRUE(list.fire());
    EXPECT_EQ(list.lastFired(), 5);
    EXPECT_TRUE(list.exhausted());
    setTicks(0);
}

TEST(CueList, EmptyTableIsExhaustedFromTheStart) {
    constexpr int32_t empty[] = {-1};
    CueList list(empty);
    EXPECT_TRUE(list.exhausted());
    setTicks(100000);
    EXPECT_FALSE(list.fire());
    setTicks(0);
}

TEST(CueList, ShowTablesHaveTheirCueCounts) {
    EXPECT_EQ(CueList(cues::lightBar).size(), 74u);
    EXPECT_EQ(CueList(cues::glowSprite).size(), 96u);
    EXPECT_EQ(CueList(cues::jitter).size(), 20u);
    EXPECT_EQ(CueList(cues::end).size(), 1u);
}

}  // namespace
