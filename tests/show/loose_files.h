#pragma once
// A temporary working folder with loose data files, for set-ups that must meet bad data.
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

class LooseFiles {
public:
    LooseFiles() {
        previous_ = std::filesystem::current_path();
        folder_ = std::filesystem::temp_directory_path() / ("glimmer-show-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_ / "data");
        std::filesystem::current_path(folder_);
    }
    ~LooseFiles() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    void add(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(folder_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

private:
    std::filesystem::path previous_, folder_;
};

// A JPEG of the given size in one colour.
inline std::vector<uint8_t> solidJpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> raw(size_t(width) * height * 3);
    for (size_t i = 0; i < raw.size(); i += 3) {
        raw[i] = r;
        raw[i + 1] = g;
        raw[i + 2] = b;
    }
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    int result = tjCompress2(encoder, raw.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_444, 90, 0);
    std::vector<uint8_t> bytes;
    if (result == 0) bytes.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    if (bytes.empty()) throw std::runtime_error("could not encode the test picture");
    return bytes;
}
