#include "headless_show.h"

#include <GL/gl.h>

#include <vector>

#include "app/debug_server.h"
#include "archive/file_server.h"
#include "math/ktable.h"
#include "math/projection.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "show/show.h"

struct HeadlessShow::Parts {
    FileServer files{debugServer(), 200};
    KTable table{65536, projection::kPictureWidth, projection::kPictureHeight, 32, projection::kFov};
    KWindow window{"glimmershot", 640, 480, KWindow::kWindowed};
    Show show;
};

HeadlessShow::HeadlessShow(const char* archivePath, float framesPerSecond)
    : parts_(std::make_unique<Parts>()), framesPerSecond_(framesPerSecond) {
    installFileServer(parts_->files);
    parts_->files.openArchive(archivePath);
    parts_->window.open(1, " ", projection::kWindowWidth, projection::kWindowHeight, KWindow::kWindowed);
    parts_->window.hide();
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
    std::vector<uint8_t> rows(size_t(kWidth) * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
    RgbImage image(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* src = &rows[size_t(kHeight - 1 - y) * kWidth * 4];
        uint8_t* out = image.at(0, y);
        for (int x = 0; x < kWidth; ++x, src += 4, out += 3) {
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
