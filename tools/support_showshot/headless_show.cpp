#include "headless_show.h"

#include <GL/gl.h>

#include <vector>

#include "base/debug_server.h"
#include "archive/file_server.h"
#include "math/ktable.h"
#include "math/projection.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "show/show.h"

struct HeadlessShow::Parts {
    explicit Parts(int scale)
        : table(65536, projection::kPictureWidth * scale, projection::kPictureHeight * scale, 32, projection::kFov) {}
    FileServer files{debugServer(), 200};
    KTable table;
    KWindow window{"glimmershot", 640, 480, KWindow::kWindowed};
    Show show;

    void openWindow(int scale) {
        window.open(1, " ", projection::kWindowWidth * scale, projection::kWindowHeight * scale, KWindow::kWindowed);
    }
};

HeadlessShow::HeadlessShow(const char* archivePath, float framesPerSecond, int pixelScale,
                           std::optional<LineWay> lines)
    : parts_(std::make_unique<Parts>(pixelScale)), framesPerSecond_(framesPerSecond), scale_(pixelScale) {
    installFileServer(parts_->files);
    parts_->files.openArchive(archivePath);
    parts_->openWindow(scale_);
    const int usable = Show::scaleTheDriverDraws(scale_, projection::kWindowWidth, projection::kWindowHeight, "glimmershot");
    if (usable < scale_) {
        parts_->window.close();
        scale_ = usable;
        parts_->table.setResolution(projection::kPictureWidth * scale_, projection::kPictureHeight * scale_, 32);
        parts_->openWindow(scale_);
    }
    lines_ = Show::chooseLines(scale_, lines, "glimmershot");
    parts_->window.hide();
    parts_->show.setPixelScale(scale_);
    parts_->show.setUp();
    setTicks(0.0f);  // an earlier run in this process may have left the clock elsewhere
    parts_->show.beforeFirstFrame();
}

HeadlessShow::~HeadlessShow() {
    parts_->window.close();
    setTicks(0.0f);
}

Show& HeadlessShow::show() { return parts_->show; }

bool HeadlessShow::nextFrame() {
    frameTick_ = clock_;
    if (!parts_->show.renderFrame()) return false;
    parts_->window.pumpMessages();
    parts_->window.swapBuffers();
    clock_ = videoFrameTicks(framesPerSecond_, frames_);
    setTicks(clock_);
    ++frames_;
    return true;
}

RgbImage HeadlessShow::readBack() const {
    // Read in the frame buffer's own BGRA layout, as the recorder does: the driver converts any
    // other layout pixel by pixel.
    const int w = width(), h = height();
    std::vector<uint8_t> rows(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
    RgbImage image(w, h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = &rows[size_t(h - 1 - y) * size_t(w) * 4];
        uint8_t* out = image.at(0, y);
        for (int x = 0; x < w; ++x, src += 4, out += 3) {
            out[0] = src[2];
            out[1] = src[1];
            out[2] = src[0];
        }
    }
    return image;
}

void HeadlessShow::floorFrame() {
    Show::clearFrame();
    parts_->show.copyFeedback();
    (void)readBack();
    parts_->window.swapBuffers();
}
