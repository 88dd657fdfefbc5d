#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/debug_server.h"

// ctest runs on SDL's offscreen driver: every box goes to stderr and never waits for anybody.
TEST(MessageBox, WithoutADisplayBoxesPrintAndQuestionsGetTheSafeAnswer) {
    ASSERT_FALSE(boxesCanBeShown());
    testing::internal::CaptureStderr();
    showMessageBox("Finished!", "Video was rendered in 40 fps.", BoxIcon::information);
    EXPECT_TRUE(askYesNo("caption", "run in a window instead?", true));
    EXPECT_FALSE(askYesNo("caption", "use a smaller buffer?", false));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Finished!\nVideo was rendered in 40 fps.\n"), std::string::npos);
    EXPECT_NE(err.find("caption\nrun in a window instead?\n(answered Yes"), std::string::npos);
    EXPECT_NE(err.find("(answered No"), std::string::npos);
}

TEST(MessageBox, InstalledAsTheLogsErrorBox) {
    installMessageBoxes();
    DebugServer log(0, 0);
    testing::internal::CaptureStderr();
    log.writeFormatted("Error - file %s not found! Aborting...", "data/x26.jpg", 10);
    std::string err = testing::internal::GetCapturedStderr();
    setErrorBoxHandler(nullptr);
    EXPECT_EQ(err, "Fatal error!\nError - file data/x26.jpg not found! Aborting...\n");
}

TEST(MessageBox, NoDisplayNamedMeansNoBoxes) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    EXPECT_FALSE(boxesCanBeShown());
    EXPECT_EQ(namedDisplay(), nullptr);
    setenv("DISPLAY", "", 1);  // an empty name, as DISPLAY= leaves it, names no display
    setenv("WAYLAND_DISPLAY", "wayland-1", 1);
    EXPECT_STREQ(namedDisplay(), "wayland-1");
    setenv("WAYLAND_DISPLAY", "", 1);
    EXPECT_EQ(namedDisplay(), nullptr);
    EXPECT_FALSE(boxesCanBeShown());
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":99", 1);
    EXPECT_STREQ(namedDisplay(), ":99");
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_FALSE(boxesCanBeShown());
    if (display) setenv("DISPLAY", saved.c_str(), 1); else unsetenv("DISPLAY");
}
