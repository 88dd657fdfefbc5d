// The window in a browser: the page's canvas ("#canvas") with a WebGL context, run through
// emscripten's fixed-function emulation. The canvas holds the picture at its own size; the page
// scales it to the window at its aspect, with black borders, as full screen does on the desktop.
#include <GL/gl.h>
#include <emscripten/html5.h>

#include <cstdio>

#include "base/exception.h"
#include "platform/web_page.h"
#include "platform/window.h"

namespace {

constexpr const char* kCanvas = "#canvas";

// A queued input event: the key code (the browser's codes are the virtual-key codes keyState is
// indexed by) and whether it went down.
constexpr uint32_t kDown = 0x100;
constexpr uint32_t kQuit = 0x200;

// Starts emscripten's fixed-function emulation on the context just made (gl_emulation_web.js).
extern "C" void glimmer_start_gl_emulation();

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handleOf(void* context) {
    return static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context));
}

bool isFullScreenKey(const EmscriptenKeyboardEvent& e) {
    return e.keyCode == 122 || (e.keyCode == 13 && e.altKey);  // F11, Alt+Enter
}

}  // namespace

KWindow::~KWindow() {
    if (context_) emscripten_webgl_destroy_context(handleOf(context_));
}

void KWindow::open(int, const char* title, int width, int height, int windowMode) {
    storeRequest(title, width, height, windowMode);
    if (opened_) return;
    page::setCanvasSize(width_, height_);
    if (!context_) createWindowAndContext(1);
    startDrawing();
}

void KWindow::createWindowAndContext(int) {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    // The feedback copy reads the frame's alpha as the desktop's framebuffer holds it.
    attributes.alpha = EM_TRUE;
    attributes.premultipliedAlpha = EM_TRUE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    attributes.enableExtensionsByDefault = EM_TRUE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(kCanvas, &attributes);
    if (context <= 0) {
        std::fprintf(stderr, "glimmertide: cannot create a WebGL context (%d)\n", int(context));
        raise(errors::couldntCreateRC);
    }
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        emscripten_webgl_destroy_context(context);
        raise(errors::couldntCreateRC);
    }
    context_ = reinterpret_cast<void*>(intptr_t(context));
    glimmer_start_gl_emulation();
    // Keys are queued as they come and taken one per frame, as on the desktop; the switch to full
    // screen cannot wait, since the browser allows it only inside the key's own event.
    auto key = [](int type, const EmscriptenKeyboardEvent* e, void* self) -> EM_BOOL {
        auto* window = static_cast<KWindow*>(self);
        const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
        if (down && !e->repeat && isFullScreenKey(*e)) {
            window->toggleFullScreen();
            return EM_TRUE;
        }
        window->pendingInput_.push_back((e->keyCode & 0xFF) | (down ? kDown : 0));
        return EM_FALSE;
    };
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_FALSE, key);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_FALSE, key);
    // Leaving the page asks the show to end, as closing the window does.
    emscripten_set_beforeunload_callback(this, [](int, const void*, void* self) -> const char* {
        static_cast<KWindow*>(self)->pendingInput_.push_back(kQuit);
        return nullptr;
    });
}

void KWindow::close() {
    // The context stays with the canvas, so the last frame stays in sight; the page replaces the
    // canvas for the next run.
    opened_ = false;
}

// The browser presents the canvas once the frame's turn of its event loop ends. The picture is
// composited as premultiplied colour over the page's black, which shows its RGB exactly as the
// desktop shows it, whatever the frame left in alpha: nothing to do here, and no read-back of GL
// state that would make the page wait for the GPU.
void KWindow::swapBuffers() { page::framePresented(); }

void KWindow::pumpMessages() {
    if (pendingInput_.empty()) return;
    const uint32_t input = pendingInput_.front();
    pendingInput_.pop_front();
    if (input == kQuit)
        quit_ = true;
    else
        keyState_[input & 0xFF] = (input & kDown) ? 1 : 0;
}

void KWindow::hide() { page::hideCanvas(); }

// The page knows whether it is full screen (the browser's own Escape leaves it too).
void KWindow::toggleFullScreen() { page::toggleFullScreen(); }

bool KWindow::desktopSize(int& width, int& height) { return page::screenSize(width, height); }

// The page's canvas is always there to play on.
bool KWindow::startDisplayForLiveShow(std::string&) { return true; }
