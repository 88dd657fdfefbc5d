#include "platform/web_page.h"

#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, jsShowBox, (const char* caption, const char* text, int error), {
    if (Module.page) Module.page.showBox(UTF8ToString(caption), UTF8ToString(text), !!error);
});
EM_JS(int, jsScreenSize, (int* size), {
    if (!Module.page) return 0;
    var s = Module.page.screenSize();
    HEAP32[size >> 2] = s.width;
    HEAP32[(size >> 2) + 1] = s.height;
    return 1;
});
EM_JS(void, jsSetCanvasSize, (int width, int height), {
    if (Module.page) Module.page.setCanvasSize(width, height);
});
EM_JS(void, jsHideCanvas, (), {
    if (Module.page) Module.page.hideCanvas();
});
EM_JS(void, jsToggleFullScreen, (), {
    if (Module.page) Module.page.toggleFullScreen();
});
EM_JS(void, jsFramePresented, (), {
    if (Module.page) Module.page.framePresented();
});
EM_JS(void, jsShowProgress, (int percent), {
    if (Module.page) Module.page.showProgress(percent);
});
EM_JS(void, jsShowShot, (int tick, int width, int height, const uint8_t* rgba), {
    if (Module.page) Module.page.showShot(tick, width, height, HEAPU8.slice(rgba, rgba + width * height * 4));
});
// clang-format on

}  // namespace

namespace page {

void showBox(const char* caption, const char* text, bool error) { jsShowBox(caption, text, error); }

bool screenSize(int& width, int& height) {
    int size[2] = {0, 0};
    if (!jsScreenSize(size) || size[0] <= 0 || size[1] <= 0) return false;
    width = size[0];
    height = size[1];
    return true;
}

void setCanvasSize(int width, int height) { jsSetCanvasSize(width, height); }
void hideCanvas() { jsHideCanvas(); }
void toggleFullScreen() { jsToggleFullScreen(); }
void framePresented() { jsFramePresented(); }
void showProgress(int percent) { jsShowProgress(percent); }
void showShot(int tick, int width, int height, const uint8_t* rgba) { jsShowShot(tick, width, height, rgba); }

}  // namespace page
