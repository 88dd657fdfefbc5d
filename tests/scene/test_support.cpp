#include "scene/test_support.h"

#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <stdexcept>

namespace scenetest {

std::vector<uint8_t> encodeJpeg(int width, int height, const std::function<Rgb(int, int)>& colour, bool grey,
                                bool progressive) {
    const int channels = grey ? 1 : 3;
    std::vector<uint8_t> raw(size_t(width) * height * channels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            uint8_t* p = &raw[(size_t(y) * width + x) * channels];
            p[0] = c.r;
            if (!grey) {
                p[1] = c.g;
                p[2] = c.b;
            }
        }
    }
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int flags = TJFLAG_ACCURATEDCT | (progressive ? TJFLAG_PROGRESSIVE : 0);
    const int result = tjCompress2(encoder, raw.data(), width, 0, height, grey ? TJPF_GRAY : TJPF_RGB, &jpeg, &size,
                                   grey ? TJSAMP_GRAY : TJSAMP_444, 100, flags);
    std::vector<uint8_t> bytes;
    if (result == 0) bytes.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    if (bytes.empty()) throw std::runtime_error("could not encode the test picture");
    return bytes;
}

Environment::Environment() {
    static std::atomic<int> serial{0};
    folder_ = std::filesystem::temp_directory_path() /
              ("glimmer-scene-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(folder_);
    log_ = std::make_unique<DebugServer>(0, 0);
    log_->setSink([this](std::string_view line) { lines_.emplace_back(line); });
    installDebugServer(*log_);
    files_ = std::make_unique<FileServer>(*log_, 200);
    installFileServer(*files_);
}

Environment::~Environment() {
    // Later log lines (destructors of objects that outlive the test) go nowhere.
    static DebugServer quiet(11, 0);
    installDebugServer(quiet);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string Environment::addFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string full = path(name);
    std::ofstream out(full, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return full;
}

std::string Environment::addScene(const std::string& name, const support3ds::Scene& scene) {
    return addFile(name, support3ds::write3ds(scene));
}

void Environment::openArchive(const std::vector<PackEntry>& entries) {
    std::string error;
    const std::string archive = path("test.dat");
    if (!writeArchive(archive, entries, error)) throw std::runtime_error("could not write the test archive: " + error);
    files_->openArchive(archive.c_str());
}

std::vector<uint8_t> solidJpeg(int width, int height, Rgb colour) {
    return encodeJpeg(width, height, [colour](int, int) { return colour; });
}

bool Environment::logged(const std::string& line) const { return count(line) > 0; }

int Environment::count(const std::string& line) const {
    return int(std::count(lines_.begin(), lines_.end(), line));
}

}  // namespace scenetest
