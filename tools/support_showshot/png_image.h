#pragma once
// 8-bit RGB pictures, top row first, with PNG files through libpng.
#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3

    RgbImage() = default;
    RgbImage(int w, int h) : width(w), height(h), pixels(size_t(w) * h * 3) {}
    uint8_t* at(int x, int y) { return &pixels[(size_t(y) * width + x) * 3]; }
    const uint8_t* at(int x, int y) const { return &pixels[(size_t(y) * width + x) * 3]; }
};

// Returns false (with a reason in error) when the file cannot be written or read. Reading accepts
// any 8-bit PNG and converts it to RGB.
bool writePng(const std::string& path, const RgbImage& image, std::string* error = nullptr);
bool readPng(const std::string& path, RgbImage& image, std::string* error = nullptr);

// The mean of a run of frames, channel by channel and rounded: what the eye makes of a flickering
// picture over that stretch. Frames of another size than the first are refused.
class FrameAverage {
public:
    bool add(const RgbImage& frame);
    int count() const { return count_; }
    RgbImage mean() const;

private:
    int width_ = 0, height_ = 0, count_ = 0;
    std::vector<uint32_t> sum_;
};

// Per-pixel comparison: the number of pixels whose largest channel difference exceeds tolerance.
// Images of different sizes differ in every pixel.
long countDifferentPixels(const RgbImage& a, const RgbImage& b, int tolerance);
