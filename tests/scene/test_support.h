#pragma once
// Helpers for scene and render tests: JPEG bytes made on the spot, files served through a
// FileServer of the test's own, and the debug log captured line by line.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/debug_server.h"
#include "archive/file_server.h"
#include "support_3ds/chunk_builder.h"
#include "support_archive/archive_writer.h"

namespace scenetest {

struct Rgb {
    uint8_t r, g, b;
};

// Encodes a width x height picture whose pixel (x, y) is colour(x, y). With grey set only the
// red component is used.
std::vector<uint8_t> encodeJpeg(int width, int height, const std::function<Rgb(int, int)>& colour,
                                bool grey = false, bool progressive = false);

// A solid-colour JPEG of the given size.
std::vector<uint8_t> solidJpeg(int width, int height, Rgb colour);

// Installs a debug server that keeps every line (threshold 0) and a loose-mode file server rooted
// in a fresh temporary folder; restores nothing (each test program is its own process and every
// test makes its own Environment).
class Environment {
public:
    Environment();
    ~Environment();
    // Writes a file into the folder and returns the name to request it by (loose mode).
    std::string addFile(const std::string& name, const std::vector<uint8_t>& bytes);
    // Writes a .3ds image of the scene into the folder; returns the name to request it by.
    std::string addScene(const std::string& name, const support3ds::Scene& scene);
    // Switches the file server to an archive holding exactly these entries.
    void openArchive(const std::vector<PackEntry>& entries);
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    const std::vector<std::string>& lines() const { return lines_; }
    bool logged(const std::string& line) const;
    int count(const std::string& line) const;
    void clearLog() { lines_.clear(); }

private:
    std::filesystem::path folder_;
    std::vector<std::string> lines_;
    std::unique_ptr<DebugServer> log_;
    std::unique_ptr<FileServer> files_;
};

}  // namespace scenetest
