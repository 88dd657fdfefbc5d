// What the window does alike on every platform: the size and mode it keeps, the GL state and
// projection it starts drawing with, the keys that end the show, the clear.
#include <GL/gl.h>

#include "math/ktable.h"
#include "math/projection.h"
#include "platform/window.h"

KWindow::KWindow(const char* title, int width, int height, int windowMode)
    : title_(title ? title : ""), width_(width), height_(height), currentWidth_(width),
      currentHeight_(height), mode_(windowMode) {}

void KWindow::storeRequest(const char* title, int width, int height, int windowMode) {
    if (title) title_ = title;
    if (width > 0) width_ = currentWidth_ = width;
    if (height > 0) height_ = currentHeight_ = height;
    if (windowMode == kWindowed || windowMode == kFullScreen) mode_ = windowMode;
}

void KWindow::startDrawing() {
    resize(width_, height_);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    opened_ = true;

    // Engine z maps to -2z - 1 from here on; mesh drawing relies on it.
    glMultMatrixd(projection::kDepthFlip);
    KTable::computeProjectionScale();
}

void KWindow::clear() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool KWindow::quitRequested() const { return keyState_[kEscape] != 0 || quit_; }

void KWindow::resize(int width, int height) {
    if (height == 0) height = 1;
    if (mode_ != kFullScreen) {
        currentWidth_ = width;
        currentHeight_ = height;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    double perspective[16];
    projection::perspective(KTable::fov(), KTable::xRes(), KTable::yRes(), perspective);
    glLoadMatrixd(perspective);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
