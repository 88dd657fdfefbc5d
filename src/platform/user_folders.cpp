#include "platform/user_folders.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// One line's value: KEY="value", where the value may escape '"', '\\' and '$' with a backslash.
bool quotedValue(std::string_view line, std::string_view key, std::string& out) {
    if (line.substr(0, key.size()) != key) return false;
    line.remove_prefix(key.size());
    if (line.size() < 3 || line[0] != '=' || line[1] != '"') return false;
    out.clear();
    for (size_t i = 2; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') return line.find_first_not_of(" \t\r", i + 1) == std::string_view::npos;
        if (c == '\\') {
            if (++i == line.size()) return false;
            out += line[i];
        } else {
            out += c;
        }
    }
    return false;  // no closing quote
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string userDirFromConfig(std::string_view text, std::string_view key, std::string_view home) {
    std::string found;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line[start] == '#') continue;
        std::string value;
        if (!quotedValue(line.substr(start), key, value)) continue;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            if (home.empty()) continue;
            found = std::string(home) + value.substr(5);
        } else if (!value.empty() && value[0] == '/') {
            found = value;
        }
    }
    return found;
}

std::string videosFolder() {
    const std::string home = environment("HOME");
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() && !home.empty()) config = home + "/.config";
    if (!config.empty()) {
        std::ifstream file(config + "/user-dirs.dirs");
        std::stringstream text;
        text << file.rdbuf();
        std::string folder = userDirFromConfig(text.str(), "XDG_VIDEOS_DIR", home);
        // xdg-user-dirs sets a folder it has disabled to the home folder itself: not a place for files.
        if (!folder.empty() && folder != home && folder != home + "/") return folder;
    }
    return home.empty() ? "" : home + "/Videos";
}
