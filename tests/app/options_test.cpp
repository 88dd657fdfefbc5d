#include "app/options.h"

#include <gtest/gtest.h>

#include "app/app.h"

TEST(Options, EmptyCommandLineGivesTheDefaults) {
    EXPECT_FALSE(creditsOption(""));
    EXPECT_FALSE(windowOption(""));
    EXPECT_FALSE(videoOption(""));
    EXPECT_TRUE(soundOption(""));
    EXPECT_EQ(framesPerSecondOption(""), 40);
}

TEST(Options, WordsAreCaseInsensitiveSubstrings) {
    EXPECT_TRUE(creditsOption("Credits"));
    EXPECT_TRUE(creditsOption("CREDITS"));
    EXPECT_TRUE(creditsOption("showcredits"));
    EXPECT_TRUE(windowOption("windowed"));
    EXPECT_TRUE(videoOption("novideo"));
    EXPECT_FALSE(windowOption("win dow"));
    // Only A to Z are lowered: nothing else turns into a letter.
    EXPECT_FALSE(videoOption("vid\xC9o"));
}

TEST(Options, SoundPhrasesMustBeWrittenExactly) {
    for (const char* off : {"no audio", "audio off", "audio=off", "audio=0", "no sound", "sound off",
                            "sound=off", "SOUND=0", "audio=00", "video credits audio=0"})
        EXPECT_FALSE(soundOption(off)) << off;
    for (const char* on : {"no  sound", "nosound", "sound = 0", "audio", "sound=1"})
        EXPECT_TRUE(soundOption(on)) << on;
}

TEST(Options, FramesPerSecondTakesTheFirstNumberAnywhere) {
    EXPECT_EQ(framesPerSecondOption("fps=25"), 25);
    EXPECT_EQ(framesPerSecondOption("25fps"), 25);
    EXPECT_EQ(framesPerSecondOption("video 30 fps"), 30);
    EXPECT_EQ(framesPerSecondOption("window2 fps 25"), 2);
    EXPECT_EQ(framesPerSecondOption("fps -25"), 25);
    EXPECT_EQ(framesPerSecondOption("FPS 0"), 0);
    EXPECT_EQ(framesPerSecondOption("fps"), 40);
    EXPECT_EQ(framesPerSecondOption("video 30"), 40);  // no "fps": the number is not read
    EXPECT_EQ(framesPerSecondOption("fps 99999999999999999999"), INT_MAX);
}

TEST(Options, CommandLineTextJoinsTheArguments) {
    char prog[] = "glimmertide", a[] = "no", b[] = "sound";
    char* argv[] = {prog, a, b};
    EXPECT_EQ(commandLineText(commandLineWords(3, argv)), "no sound");
    EXPECT_FALSE(soundOption(commandLineText(commandLineWords(3, argv))));
    EXPECT_EQ(commandLineText(commandLineWords(1, argv)), "");
    EXPECT_EQ(commandLineText(commandLineWords(0, argv)), "");
}

TEST(Options, OutTakesTheRestOfItsArgumentBlanksIncluded) {
    std::vector<std::string> words = {"video", "out=/home/me/My Videos/show 2.mkv", "fps", "5", "no audio"};
    EXPECT_EQ(takeOutOption(words), "/home/me/My Videos/show 2.mkv");
    const std::string text = commandLineText(words);
    EXPECT_EQ(text, "video  fps 5 no audio");
    EXPECT_EQ(framesPerSecondOption(text), 5) << "the 2 of the file name is no frame rate";
    EXPECT_FALSE(soundOption(text));

    // What stands before out= in its argument stays a word; the path runs to the argument's end,
    // so a word quoted together with it belongs to the path.
    words = {"video OUT=a b.avi fps 9"};
    EXPECT_EQ(takeOutOption(words), "a b.avi fps 9");
    EXPECT_EQ(words, std::vector<std::string>{"video "});
    EXPECT_EQ(framesPerSecondOption(commandLineText(words)), 40);

    words = {"out=first.avi", "window", "Out=second take.mkv"};  // the last one counts
    EXPECT_EQ(takeOutOption(words), "second take.mkv");
    EXPECT_EQ(commandLineText(words), " window ");

    words = {"video", "out="};  // an empty name leaves the default file
    EXPECT_EQ(takeOutOption(words), "");
    words = {"video", "layout"};
    EXPECT_EQ(takeOutOption(words), "");
    EXPECT_EQ(words, (std::vector<std::string>{"video", "layout"}));
}

TEST(Options, ScaleIsTakenOutBeforeTheFrameRateIsRead) {
    std::string line = "video Scale=4 fps";
    EXPECT_EQ(takeScaleOption(line), "4");
    EXPECT_EQ(framesPerSecondOption(line), 40);  // its digit is not the rate
    EXPECT_EQ(takeScaleOption(line), std::nullopt);
    line = "scale=2 window scale=";
    EXPECT_EQ(takeScaleOption(line), "");  // the last one counts: an empty scale, refused
    EXPECT_EQ(line, " window ");
    EXPECT_EQ(scaleValue("1"), 1);
    EXPECT_EQ(scaleValue("8"), 8);
    for (const char* bad : {"", "0", "9", "12", "x", "-2", "2x"}) EXPECT_EQ(scaleValue(bad), 0) << bad;
    EXPECT_TRUE(hdOption("window HD"));
    EXPECT_FALSE(hdOption("window"));
}

TEST(Options, LinesIsTakenOutBeforeTheOtherWordsAreLookedFor) {
    std::string line = "video LINES=Quads fps 25";
    EXPECT_EQ(takeLinesOption(line), "Quads");  // as written: the renderer reads any letter case
    EXPECT_EQ(line, "video  fps 25");
    EXPECT_EQ(framesPerSecondOption(line), 25);
    EXPECT_EQ(takeLinesOption(line), std::nullopt);
    // The last one counts, and what it held is no word of its own.
    line = "lines=native window lines=hd";
    EXPECT_EQ(takeLinesOption(line), "hd");
    EXPECT_FALSE(hdOption(line));
    line = "lines=";
    EXPECT_EQ(takeLinesOption(line), "");
}

TEST(Options, HdFitsThePictureToTheScreenOrTheWindowTo80PerCent) {
    EXPECT_EQ(scaleFittingScreen(1920, 1080, false), 4);  // 1280 x 960
    EXPECT_EQ(scaleFittingScreen(1920, 1080, true), 3);   // 972 x 795 within 1536 x 864
    EXPECT_EQ(scaleFittingScreen(3840, 2160, false), 8);
    EXPECT_EQ(scaleFittingScreen(3840, 2160, true), 6);
    EXPECT_EQ(scaleFittingScreen(1024, 768, false), 3);
    EXPECT_EQ(scaleFittingScreen(640, 480, true), 1);  // never below 1
    EXPECT_EQ(scaleFittingScreen(100, 100, false), 1);
}

TEST(Options, ShotIsTakenOutAndNamesTicksUpToTheShowsEnd) {
    std::string line = "fps=10 Shot=7000,1500 no audio";
    EXPECT_EQ(takeShotOption(line), "7000,1500");
    EXPECT_EQ(framesPerSecondOption("shot=7000 fps=10"), 7000);  // why it must be taken out first
    EXPECT_EQ(line, "fps=10  no audio");
    EXPECT_EQ(takeShotOption(line), std::nullopt);
    EXPECT_EQ(shotTicks("7000,1500"), (std::vector<int>{7000, 1500}));
    EXPECT_EQ(shotTicks("0"), std::vector<int>{0});
    EXPECT_EQ(shotTicks("13100"), std::vector<int>{13100});
    for (const char* bad : {"", ",", "1,", ",1", "13101", "99999999999", "1,,2", "-5", "12a", "1 2", "000001"})
        EXPECT_TRUE(shotTicks(bad).empty()) << bad;
}

TEST(Options, AQueryStringGivesTheCommandLinesWords) {
    EXPECT_EQ(commandLineFromQuery(""), "");
    EXPECT_EQ(commandLineFromQuery("?"), "");
    EXPECT_EQ(commandLineFromQuery("?no+audio&scale=2"), "no audio scale=2");
    EXPECT_EQ(commandLineFromQuery("credits&lines=quads"), "credits lines=quads");
    EXPECT_EQ(commandLineFromQuery("?sound%3D0%20window"), "sound=0 window");
    EXPECT_EQ(commandLineFromQuery("?%2b%26"), "+&");  // escaped, they are themselves
    // A '%' without two hex digits stays; a NUL ends the words.
    EXPECT_EQ(commandLineFromQuery("?100%&50%2"), "100% 50%2");
    EXPECT_EQ(commandLineFromQuery("?a%zz"), "a%zz");
    EXPECT_EQ(commandLineFromQuery("?credits%00window"), "credits");
    EXPECT_FALSE(soundOption(commandLineFromQuery("?no+sound")));
}

TEST(Options, AQueryStringSplitsIntoArgumentsAtBlanks) {
    EXPECT_TRUE(queryWords("").empty());
    EXPECT_TRUE(queryWords("?++&%20").empty());
    EXPECT_EQ(queryWords("?no+audio&&out=a%20b.mkv+shot=100"),
              (std::vector<std::string>{"no", "audio", "out=a", "b.mkv", "shot=100"}));
    // So out= takes no more than its own word and leaves the page's shot alone.
    std::vector<std::string> words = queryWords("?out=x.avi+shot=100");
    EXPECT_EQ(takeOutOption(words), "x.avi");
    std::string line = commandLineText(words);
    EXPECT_EQ(takeShotOption(line), "100");
}
