#pragma once
// KImage: one JPEG picture from the FileServer, decoded into width x height x 3 bytes of RGB, top
// row first, no row padding, ready for glTexImage2D. All images share one decompressor (libjpeg),
// created when the first image loads and destroyed when the last loaded image goes away.
#include <cstdint>
#include <memory>
#include <string>

#include "archive/file_server.h"

class KImage {
public:
    KImage();
    // Loads at once; the loaded flag is 0 during the load and 1 afterwards.
    KImage(const char* name, int width, int height);
    ~KImage();
    KImage(const KImage&) = delete;
    KImage& operator=(const KImage&) = delete;

    // Decodes the named file at its own size. width and height record the image's size, -1 meaning
    // the file's own (every caller passes -1). Returns the new usage count. Raises
    // errors::couldntReadFile when the file is missing, cannot be decoded whole (a decoder warning
    // that loses picture data counts) or its pixels cannot be allocated, and
    // errors::couldntInitImageReader when the decompressor cannot be created.
    int load(const char* name, int width, int height);

    bool loaded() const { return loaded_ != 0; }
    const uint8_t* pixels() const { return pixels_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    const char* name() const { return name_.c_str(); }

    // True when the image can feed a texture: pixels exist and the recorded size is the size they
    // were decoded at, so GL reads exactly the buffer.
    bool fitsTexture() const;

    // Images loaded and not yet destroyed.
    static int usageCount();

private:
    void reset();
    void release();

    uint8_t loaded_ = 0;
    std::unique_ptr<uint8_t[]> pixels_;
    FileData data_;
    std::string name_;
    int32_t fileSize_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    // The size the pixels were decoded at (the file's own).
    int32_t decodedWidth_ = 0;
    int32_t decodedHeight_ = 0;
};
