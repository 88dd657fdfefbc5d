#include "base/debug_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_boxes;
void recordBox(const char* caption, const char* text) {
    g_boxes.push_back(std::string(caption) + "|" + text);
}

struct TempDir {
    std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::path dir;
    TempDir() {
        dir = std::filesystem::temp_directory_path() /
              ("glimmer-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    ~TempDir() {
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);
    }
};

std::string readFile(const char* name) {
    std::ifstream in(name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(DebugServer, ThresholdZeroWritesEveryLevelInCallOrder) {
    TempDir tmp;
    {
        DebugServer log(0, 1);
        log.write("first", 0);
        log.write("second", 10);
        log.write("third", 5);
    }
    EXPECT_EQ(readFile("debug.log"), "first\nsecond\nthird\n");
}

TEST(DebugServer, LinesBelowThresholdAndOtherFileFlagsAreDropped) {
    TempDir tmp;
    {
        DebugServer log(11, 1);
        log.write("level ten", 10);
        EXPECT_FALSE(log.accepts(10));
        log.setThreshold(-3);  // signed: everything passes
        log.write("negative threshold", 0);
    }
    EXPECT_EQ(readFile("debug.log"), "negative threshold\n");
    std::filesystem::remove("debug.log");
    DebugServer off(0, 2);  // only the value 1 means on
    off.write("x", 10);
    EXPECT_FALSE(std::filesystem::exists("debug.log"));
    EXPECT_FALSE(off.accepts(10));
}

TEST(DebugServer, WriteFormattedShowsTheBoxEvenWithFileOutputOff) {
    g_boxes.clear();
    setErrorBoxHandler(recordBox);
    DebugServer log(0, 0);
    std::vector<std::string> lines;
    log.setSink([&](std::string_view line) { lines.emplace_back(line); });
    log.writeFormatted("Error - file %s not found! Aborting...", "", 10);
    setErrorBoxHandler(nullptr);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], "Fatal error!|Error - file  not found! Aborting...");
    EXPECT_EQ(lines, std::vector<std::string>{"Error - file  not found! Aborting..."});
}

TEST(DebugServer, FormatMessageIsNotAPrintfFormatAndIsCut) {
    EXPECT_EQ(formatMessage("a %s b %d %s", "x%n"), "a x%n b %d %s");
    EXPECT_EQ(formatMessage("no argument", "ignored"), "no argument");
    EXPECT_EQ(formatMessage("%s", std::string(5000, 'y').c_str()).size(), 1023u);
}

TEST(DebugServer, PrintfFormatsOnlyWhenSomebodyListens) {
    DebugServer log(0, 0);
    log.printf(5, "%s", "quiet");  // no file, no sink: nothing happens
    std::vector<std::string> lines;
    log.setSink([&](std::string_view line) { lines.emplace_back(line); });
    log.printf(5, "{KTable::setResolution}: xRes:%d  yRes:%d  bpp:%d", 320, 240, 32);
    EXPECT_EQ(lines, std::vector<std::string>{"{KTable::setResolution}: xRes:320  yRes:240  bpp:32"});
}

TEST(DebugServerDeathTest, UncreatableLogFileEndsTheProgramWithCodeOne) {
    TempDir tmp;
    std::filesystem::create_directory("debug.log");  // a directory cannot be opened as the log
    EXPECT_EXIT(DebugServer(0, 1), testing::ExitedWithCode(1),
                "Fatal error!\nError - Can't create log-file! Aborting...");
}
