#include "platform/data_folder.h"

#include <SDL.h>

#include <filesystem>

std::string programFolder() {
    char* base = SDL_GetBasePath();
    if (!base) return "";
    std::string folder = base;
    SDL_free(base);
    return folder;
}

std::string findDataFile(const std::string& name, const std::string& programFolder) {
    std::error_code ec;
    if (std::filesystem::exists(name, ec) || programFolder.empty()) return name;
    // GLIMMER_DATA_FROM_BIN: the install's data folder relative to its bin folder.
    std::string installed = programFolder + GLIMMER_DATA_FROM_BIN "/" + name;
    return std::filesystem::exists(installed, ec) ? installed : name;
}
