#include "scene/kimage.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>
#include <jerror.h>  // after jpeglib.h: the message codes

#include "base/debug_server.h"
#include "base/exception.h"

namespace {

// The decompressor every image shares. Errors leave through a jump back into the call that
// started the work (readHeader, decode), which then resets the decompressor for the next image.
struct Reader {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    std::jmp_buf failed;
};

Reader* readerState = nullptr;
int usage = 0;  // loaded images that keep the reader alive

[[noreturn]] void jumpBack(j_common_ptr info) { std::longjmp(static_cast<Reader*>(info->client_data)->failed, 1); }

// Warnings that mean picture data is missing or damaged (the data ends early, a segment is cut
// short, codes are bad): the decoder fills in what it lacks, and that is not the picture. Every
// other warning (extraneous bytes before a marker, an unknown JFIF revision...) is recovered
// from completely, and the picture loads.
void onMessage(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF: case JWRN_HIT_MARKER: case JWRN_MUST_RESYNC: case JWRN_HUFF_BAD_CODE: case JWRN_ARITH_BAD_CODE:
        jumpBack(info);
    default:
        return;
    }
}

Reader* createReader() {
    auto* reader = new (std::nothrow) Reader();
    if (!reader) return nullptr;
    reader->info.err = jpeg_std_error(&reader->errors);
    reader->errors.error_exit = jumpBack;
    reader->errors.emit_message = onMessage;
    reader->errors.output_message = [](j_common_ptr) {};  // nothing goes to stderr
    reader->info.client_data = reader;
    if (setjmp(reader->failed)) {
        delete reader;
        return nullptr;
    }
    jpeg_create_decompress(&reader->info);
    return reader;
}

void destroyReader() {
    jpeg_destroy_decompress(&readerState->info);
    delete readerState;
    readerState = nullptr;
}

// The picture's own size, read from its headers; false if the bytes are not a JPEG the reader
// can decode. On success the reader waits for decode or jpeg_abort_decompress.
bool readHeader(Reader& r, const uint8_t* data, int32_t size, int& width, int& height) {
    if (setjmp(r.failed)) {
        jpeg_abort_decompress(&r.info);
        return false;
    }
    jpeg_mem_src(&r.info, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&r.info, TRUE) != JPEG_HEADER_OK || r.info.image_width == 0 || r.info.image_height == 0) {
        jpeg_abort_decompress(&r.info);
        return false;
    }
    r.info.out_color_space = JCS_RGB;  // grey and colour alike
    width = int(r.info.image_width);
    height = int(r.info.image_height);
    return true;
}

// Decodes the picture whose header was read into width x height x 3 bytes, top row first.
bool decode(Reader& r, uint8_t* pixels, int width, int height) {
    if (setjmp(r.failed)) {
        jpeg_abort_decompress(&r.info);
        return false;
    }
    jpeg_start_decompress(&r.info);
    if (r.info.output_components != 3 || int(r.info.output_width) != width || int(r.info.output_height) != height) {
        jpeg_abort_decompress(&r.info);
        return false;
    }
    const size_t stride = size_t(width) * 3;
    while (r.info.output_scanline < r.info.output_height) {
        JSAMPROW row = pixels + r.info.output_scanline * stride;
        jpeg_read_scanlines(&r.info, &row, 1);
    }
    jpeg_finish_decompress(&r.info);
    return true;
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
        // A failed earlier load may have left a reader behind; reuse it rather than leak it.
        if (!readerState) readerState = createReader();
        if (!readerState) {
            log.write(failed.c_str(), 0);
            raise(errors::couldntInitImageReader);
        }
    }

    data_ = fileServer().getFileData(shown);
    fileSize_ = fileServer().getFileSize(shown);

    int jpegWidth = 0, jpegHeight = 0;
    if (!data_ || fileSize_ <= 0 || !readHeader(*readerState, data_.get(), fileSize_, jpegWidth, jpegHeight)) {
        log.write(failed.c_str(), 0);
        raise(errors::couldntReadFile, shown);
    }

    width_ = width == -1 ? jpegWidth : width;
    height_ = height == -1 ? jpegHeight : height;

    // Always decoded at the file's own size. Without the memory for it the picture cannot be
    // read: the same error as for bad data, but no "Failed!" line, as nothing was decoded.
    pixels_.reset(new (std::nothrow) uint8_t[size_t(jpegWidth) * size_t(jpegHeight) * 3]);
    if (!pixels_) {
        jpeg_abort_decompress(&readerState->info);
        raise(errors::couldntReadFile, shown);
    }
    decodedWidth_ = jpegWidth;
    decodedHeight_ = jpegHeight;

    const bool decoded = decode(*readerState, pixels_.get(), jpegWidth, jpegHeight);
    data_ = FileData();  // the compressed bytes are no longer needed
    if (!decoded) {
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

bool KImage::fitsTexture() const { return pixels_ && width_ == decodedWidth_ && height_ == decodedHeight_; }

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
        destroyReader();
        log.write("{KImage::KImage()}: Usage count dropped to zero - freeing shared data...Done.", 4);
    }
}
