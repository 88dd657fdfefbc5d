#include "scene/kimage.h"

#include <turbojpeg.h>

#include <new>

#include "app/debug_server.h"
#include "app/exception.h"

namespace {

// The decompressor every image shares, and the number of loaded images that keep it alive.
tjhandle readerState = nullptr;
int usage = 0;

bool isPowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

// The decompressor is left mid-stream by a failed read and refuses every later one; swap it for a
// fresh one so that the shared state stays usable.
void renewReaderState() {
    if (readerState) tjDestroy(readerState);
    readerState = tjInitDecompress();
}

}  // namespace

int KImage::usageCount() { return usage; }

KImage::KImage() {
    debugServer().write("{KImage::KImage()}: Allocating resources...", 0);
    reset();
    debugServer().write("{KImage::KImage()}: Done.", 0);
}

KImage::KImage(const char* name, int width, int height) {
    debugServer().write("{KImage::KImage()}: Allocating resources...", 0);
    reset();
    load(name, width, height);
    debugServer().write("{KImage::KImage()}: Done.", 0);
}

KImage::~KImage() {
    debugServer().write("{KImage::~KImage()}: Freeing resources...", 0);
    release();
    debugServer().write("{KImage::~KImage()}: Done.", 0);
}

void KImage::reset() {
    // A load over an image that already loaded gives up its place in the usage count first, so
    // that the count keeps matching the images that hold pixels.
    if (loaded_) --usage;
    loaded_ = 0;
    pixels_.reset();
    data_ = FileData();
    name_.clear();
    fileSize_ = 0;
    width_ = height_ = 0;
    decodedWidth_ = decodedHeight_ = 0;
}

int KImage::load(const char* name, int width, int height) {
    DebugServer& log = debugServer();
    const char* shown = name ? name : "";
    const std::string progress = std::string("{KImage::KImage()}: Reading ") + shown + "...";
    const std::string failed = progress + "Failed!";

    reset();
    name_ = shown;

    if (usage == 0) {
        log.write("{KImage::KImage()}: Usage count equals zero - allocating shared data...", 5);
        // A failed earlier load may have left a decompressor behind; reuse it rather than leak it.
        if (!readerState) readerState = tjInitDecompress();
        if (!readerState) {
            log.write(failed.c_str(), 0);
            raise(errors::couldntInitImageReader);
        }
    }

    data_ = fileServer().getFileData(shown);
    fileSize_ = fileServer().getFileSize(shown);

    int jpegWidth = 0, jpegHeight = 0, subsampling = 0, colourspace = 0;
    const bool header = data_ && fileSize_ > 0 &&
                        tjDecompressHeader3(readerState, data_.get(), static_cast<unsigned long>(fileSize_),
                                            &jpegWidth, &jpegHeight, &subsampling, &colourspace) == 0 &&
                        jpegWidth > 0 && jpegHeight > 0;
    if (!header) {
        renewReaderState();
        log.write(failed.c_str(), 0);
        raise(errors::couldntReadFile, shown);
    }

    width_ = width == -1 ? jpegWidth : width;
    height_ = height == -1 ? jpegHeight : height;

    // Always decoded at the file's own size, grey and colour alike, to RGB.
    const size_t bytes = size_t(jpegWidth) * size_t(jpegHeight) * 3;
    pixels_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!pixels_) raise(errors::outOfMemory);
    decodedWidth_ = jpegWidth;
    decodedHeight_ = jpegHeight;

    // Damaged data (a truncated file among them) only raises a warning in the decoder; stop there.
    const int decoded = tjDecompress2(readerState, data_.get(), static_cast<unsigned long>(fileSize_), pixels_.get(),
                                      jpegWidth, 0, jpegHeight, TJPF_RGB, TJFLAG_STOPONWARNING);
    data_ = FileData();  // the compressed bytes are no longer needed
    if (decoded != 0) {
        renewReaderState();
        log.write(failed.c_str(), 0);
        pixels_.reset();
        decodedWidth_ = decodedHeight_ = 0;
        raise(errors::couldntReadFile, shown);
    }

    log.printf(6, "%sDone! (%d bytes read.)", progress.c_str(), fileSize_);
    ++usage;
    loaded_ = 1;
    return usage;
}

bool KImage::fitsTexture() const {
    return pixels_ && width_ == decodedWidth_ && height_ == decodedHeight_ && isPowerOfTwo(width_) &&
           isPowerOfTwo(height_);
}

void KImage::release() {
    DebugServer& log = debugServer();
    if (pixels_) {
        pixels_.reset();
        log.write("{KImage::KImage}: Freeing image buffer", 5);
    } else {
        log.printf(2, "WARNING: imageBuffer address==%x - not freeing it!", 0u);
    }
    name_.clear();
    name_.shrink_to_fit();
    // Only images that loaded hold a place in the usage count.
    if (!loaded_) return;
    loaded_ = 0;
    if (--usage == 0) {
        tjDestroy(readerState);
        readerState = nullptr;
        log.write("{KImage::KImage()}: Usage count dropped to zero - freeing shared data...Done.", 4);
    }
}
