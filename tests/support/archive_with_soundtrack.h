#pragma once
// The build's generated archive remade with another soundtrack: for runs whose soundtrack is
// missing or damaged while every scene and picture is fine. Link glimmer_support_archive.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support_archive/archive_writer.h"

inline std::vector<uint8_t> bytesOfFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the archive with the soundtrack replaced by `soundtrack`, or left out when it is null.
// Returns why it could not ("" when written).
inline std::string writeArchiveWithSoundtrack(const std::filesystem::path& archive,
                                              const std::vector<uint8_t>* soundtrack) {
    std::vector<PackEntry> entries;
    for (const char* name : {"data/spheres3.3ds", "data/Spiral.3ds", "data/Array.3ds", "data/Arrays.3ds",
                             "data/x26.jpg", "data/glimmertide.jpg", "data/glimmertide1.mp3"}) {
        std::vector<uint8_t> bytes = bytesOfFile(std::filesystem::path(GLIMMER_BINARY_DIR) / name);
        if (bytes.empty()) return std::string(name) + " is missing from the build";
        if (std::string(name) == "data/glimmertide1.mp3") {
            if (!soundtrack) continue;
            bytes = *soundtrack;
        }
        entries.push_back({name, std::move(bytes)});
    }
    std::string error;
    writeArchive(archive.string(), entries, error);
    return error;
}
