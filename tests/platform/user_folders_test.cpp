#include "platform/user_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace {

const char* kHome = "/home/ada";

std::string videos(const char* text) { return userDirFromConfig(text, "XDG_VIDEOS_DIR", kHome); }

}  // namespace

// The forms xdg-user-dirs writes, and the lines it would not: a malformed line is skipped, never
// half-used.
TEST(UserFolders, ReadsTheFormsUserDirsWritesAndSkipsTheRest) {
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/Videos\"\n"), "/home/ada/Videos");
    EXPECT_EQ(videos("# comment\n  XDG_VIDEOS_DIR=\"/srv/films\"  \n"), "/srv/films");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/Mes \\\"vid\\\\\u00e9os\"\r\n"), "/home/ada/Mes \"vid\\\u00e9os");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/a\"\nXDG_VIDEOS_DIR=\"$HOME/b\"\n"), "/home/ada/b");
    EXPECT_EQ(videos("XDG_MUSIC_DIR=\"$HOME/Music\"\n"), "");
    EXPECT_EQ(videos("XDG_VIDEOS_DIRX=\"$HOME/x\"\n"), "");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=$HOME/Videos\n"), "");        // not quoted
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/Videos\n"), "");      // no closing quote
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/V\" trailing\n"), "");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"relative/path\"\n"), "");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOMEBOY/x\"\n"), "");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/x\\"), "");           // a lone backslash at the end
    EXPECT_EQ(userDirFromConfig("XDG_VIDEOS_DIR=\"$HOME/x\"", "XDG_VIDEOS_DIR", ""), "");
}

TEST(UserFolders, VideosFolderComesFromTheConfigurationElseTheHomeFolder) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "glimmer_user_folders";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "config");
    const std::string home = (dir / "home").string();
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    EXPECT_EQ(videosFolder(), home + "/Videos");  // no configuration file

    std::ofstream(dir / "config" / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n";
    EXPECT_EQ(videosFolder(), home + "/Filme");
    // A disabled folder is the home folder itself: not where a recording should land.
    std::ofstream(dir / "config" / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/\"\n";
    EXPECT_EQ(videosFolder(), home + "/Videos");
    std::filesystem::remove_all(dir);
}
