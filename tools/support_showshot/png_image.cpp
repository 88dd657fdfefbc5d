#include "png_image.h"

#include <png.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

bool writePng(const std::string& path, const RgbImage& image, std::string* error) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        setError(error, "cannot create " + path);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        setError(error, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        setError(error, "cannot write " + path);
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) png_write_row(png, image.at(0, y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool readPng(const std::string& path, RgbImage& image, std::string* error) {
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&reader, path.c_str())) {
        setError(error, path + ": " + reader.message);
        return false;
    }
    reader.format = PNG_FORMAT_RGB;
    RgbImage result(int(reader.width), int(reader.height));
    if (!png_image_finish_read(&reader, nullptr, result.pixels.data(), 0, nullptr)) {
        setError(error, path + ": " + reader.message);
        png_image_free(&reader);
        return false;
    }
    image = std::move(result);
    return true;
}

bool FrameAverage::add(const RgbImage& frame) {
    if (count_ == 0) {
        width_ = frame.width;
        height_ = frame.height;
        sum_.assign(frame.pixels.size(), 0);
    } else if (frame.width != width_ || frame.height != height_) {
        return false;
    }
    for (size_t i = 0; i < sum_.size(); ++i) sum_[i] += frame.pixels[i];
    ++count_;
    return true;
}

RgbImage FrameAverage::mean() const {
    RgbImage image(width_, height_);
    if (count_ == 0) return image;
    const uint32_t n = uint32_t(count_);
    for (size_t i = 0; i < sum_.size(); ++i) image.pixels[i] = uint8_t((sum_[i] + n / 2) / n);
    return image;
}

long countDifferentPixels(const RgbImage& a, const RgbImage& b, int tolerance) {
    if (a.width != b.width || a.height != b.height) return long(std::max(a.width * a.height, b.width * b.height));
    long count = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 3) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c])));
        if (worst > tolerance) ++count;
    }
    return count;
}
