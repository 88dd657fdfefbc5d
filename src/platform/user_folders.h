#pragma once
// The user's own folders, as desktop programs find them: the xdg-user-dirs configuration
// (user-dirs.dirs), else the usual name in the home folder.
#include <string>
#include <string_view>

// XDG_VIDEOS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else ~/Videos; "" when
// not even the home folder is known. The folder may not exist yet.
std::string videosFolder();

// The value of key (e.g. "XDG_VIDEOS_DIR") in the text of a user-dirs.dirs file, with a leading
// "$HOME" replaced by home; "" when the key is absent or its line is not of the file's form
// (KEY="$HOME/path" or KEY="/absolute/path"). The last line for a key wins.
std::string userDirFromConfig(std::string_view text, std::string_view key, std::string_view home);
