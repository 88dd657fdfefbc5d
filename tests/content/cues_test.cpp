// The cue tables drive both the show and the soundtrack; a dropped or swapped number would put the
// music out of step, so check the shape of every table.
#include "show/cues.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace {

struct Table {
    std::string name;
    std::span<const std::int32_t> ticks;  // including the end marker
    std::size_t expected;
};

template <std::size_t N>
Table table(const char* name, const std::int32_t (&t)[N], std::size_t expected) {
    return {name, std::span<const std::int32_t>(t, N), expected};
}

std::vector<Table> allTables() {
    return {table("scene0Main", cues::scene0Main, 10), table("scene0Zoom", cues::scene0Zoom, 2),
            table("scene1", cues::scene1, 9),           table("scene2Main", cues::scene2Main, 9),
            table("scene2Fade", cues::scene2Fade, 1),   table("scene3", cues::scene3, 8),
            table("scene4Main", cues::scene4Main, 4),   table("scene4Fade", cues::scene4Fade, 1),
            table("title", cues::title, 3),             table("end", cues::end, 1),
            table("lineFieldRamp", cues::lineFieldRamp, 1), table("jitter", cues::jitter, 20),
            table("tintFlash", cues::tintFlash, 3),     table("glowFade", cues::glowFade, 1),
            table("lightBar", cues::lightBar, 74),      table("glowSprite", cues::glowSprite, 96)};
}

TEST(CueTables, EveryTableHasItsCountAscendingTicksAndOneEndMarker) {
    for (const Table& t : allTables()) {
        SCOPED_TRACE(t.name);
        ASSERT_EQ(t.ticks.size(), t.expected + 1);
        EXPECT_EQ(t.ticks.back(), cues::kEndMarker);
        for (std::size_t i = 0; i + 1 < t.ticks.size(); ++i) {
            EXPECT_GE(t.ticks[i], 0);
            EXPECT_LT(t.ticks[i], cues::kShowEnd + 1);
            if (i > 0) {
                EXPECT_LT(t.ticks[i - 1], t.ticks[i]) << "at index " << i;
            }
        }
    }
}

TEST(CueTables, ScenesHandOverWhereTheTimelineSaysTheyDo) {
    // Scene 4's last main cue is the title's first; the end cue closes the show.
    EXPECT_EQ(cues::scene4Main[cues::count(cues::scene4Main) - 1], cues::title[0]);
    EXPECT_EQ(cues::kShowEnd, 13100);
    EXPECT_EQ(cues::count(cues::glowSprite) % 3, 0u);
    // Every zoom cue is also a main cue of scene 0.
    for (std::size_t i = 0; i < cues::count(cues::scene0Zoom); ++i) {
        bool found = false;
        for (std::size_t j = 0; j < cues::count(cues::scene0Main); ++j)
            found = found || cues::scene0Main[j] == cues::scene0Zoom[i];
        EXPECT_TRUE(found) << cues::scene0Zoom[i];
    }
}

}  // namespace
