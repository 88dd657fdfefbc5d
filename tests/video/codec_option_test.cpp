#include <gtest/gtest.h>

#include "app/options.h"

namespace {

TEST(CodecOption, IsTakenOutBeforeTheOtherWordsAreRead) {
    std::string line = "video codec=ffv1 fps 25";
    EXPECT_EQ(takeCodecOption(line), "ffv1");
    EXPECT_EQ(line, "video  fps 25");
    EXPECT_EQ(framesPerSecondOption(line), 25);

    line = "CODEC=MJPEG window codec=h264";  // any case; the last one counts
    EXPECT_EQ(takeCodecOption(line), "h264");
    EXPECT_EQ(line, " window ");

    line = "video fps 30";
    EXPECT_EQ(takeCodecOption(line), "");
    EXPECT_EQ(line, "video fps 30");

    std::vector<std::string> words = {"video", "out=Show.mp4", "codec=ffv1", "fps", "25"};
    EXPECT_EQ(takeOutOption(words), "Show.mp4");  // the file name keeps its letter case
    line = commandLineText(words);
    EXPECT_EQ(takeCodecOption(line), "ffv1");
    EXPECT_EQ(framesPerSecondOption(line), 25) << "the 4 of mp4 is no frame rate";
    words = {"window", "out=video.mkv"};
    EXPECT_EQ(takeOutOption(words), "video.mkv");
    EXPECT_FALSE(videoOption(commandLineText(words)));

    line = "video codec=";  // an empty name is taken out too, and asks like no name
    EXPECT_EQ(takeCodecOption(line), "");
    EXPECT_EQ(line, "video ");
}

}  // namespace
