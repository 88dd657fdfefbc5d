#include "platform/window.h"

#include <SDL.h>
#include <malloc.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/exception.h"
#include "math/projection.h"
#include "platform/message_box.h"

namespace {

constexpr const char* kModeQuestion =
    "The requested mode was not supported by your graphics card - \n do you want to run in a window "
    "instead?";

// Framebuffer objects are GL 3.0 / ARB_framebuffer_object: looked up at run time.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

    bool load() {
        auto get = [](const char* name) { return SDL_GL_GetProcAddress(name); };
        genFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
        deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
        bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
        genRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
        deleteRenderbuffers = reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
        bindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
        renderbufferStorage = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
        framebufferRenderbuffer =
            reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
        checkFramebufferStatus =
            reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(get("glCheckFramebufferStatus"));
        blitFramebuffer = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(get("glBlitFramebuffer"));
        return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers &&
               deleteRenderbuffers && bindRenderbuffer && renderbufferStorage &&
               framebufferRenderbuffer && checkFramebufferStatus && blitFramebuffer;
    }
};

FramebufferCalls g_fb;

void reportPlatformError(const char* what) {
    std::fprintf(stderr, "glimmertide: %s: %s\n", what, SDL_GetError());
}

bool isOffscreenDriver(const char* name) {
    return name && (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0);
}

// Mesa's software rasteriser builds and frees megabytes of command and state blocks every frame;
// by default glibc would give the freed top of the heap back to the system and fault the same
// pages in again the next frame (a fifth of the frame's time). Freed memory is kept instead, and
// only very large blocks (the capture buffer) get pages of their own.
void keepFreedHeap() {
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

// Starts SDL's video once per process. Without a display it uses the offscreen driver (EGL), and
// it falls back to it when the display cannot be opened, unless offscreenFallback is false (a
// live show, which nobody could watch there). Returns false if no driver works.
bool initVideo(bool offscreenFallback = true) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    keepFreedHeap();
    if (!namedDisplay() && !std::getenv("SDL_VIDEODRIVER")) {
        if (!offscreenFallback) return false;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (!offscreenFallback) return false;
        reportPlatformError("cannot open the display, rendering offscreen");
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            reportPlatformError("cannot start SDL video");
            return false;
        }
    }
    // The GL driver stays loaded until the process ends (also across close and open).
    if (SDL_GL_LoadLibrary(nullptr) != 0) reportPlatformError("cannot load OpenGL");
    return true;
}

// SDL key codes to the virtual-key codes keyState is indexed by; 0 for keys it does not track.
int virtualKey(SDL_Keycode key) {
    if (key >= 'a' && key <= 'z') return key - 'a' + 'A';
    if ((key >= '0' && key <= '9') || key == SDLK_ESCAPE || key == SDLK_SPACE ||
        key == SDLK_RETURN || key == SDLK_BACKSPACE || key == SDLK_TAB)
        return key;
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
    switch (key) {
        case SDLK_LEFT: return 0x25;
        case SDLK_UP: return 0x26;
        case SDLK_RIGHT: return 0x27;
        case SDLK_DOWN: return 0x28;
        default: return 0;
    }
}

enum class Created { ok, noWindow, noContext };

}  // namespace

KWindow::~KWindow() {
    // Quiet teardown: a destructor must not throw.
    if (!opened_) return;
    destroyOffscreenTarget();
    if (context_) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
    if (window_) SDL_DestroyWindow(window_);
    SDL_EnableScreenSaver();
}

void KWindow::open(int showFlag, const char* title, int width, int height, int windowMode) {
    storeRequest(title, width, height, windowMode);
    if (opened_) return;
    if (!window_) createWindowAndContext(showFlag);
    startDrawing();
}

void KWindow::createWindowAndContext(int showFlag) {
    if (!initVideo()) raise(errors::couldntCreateWindow);
    headless_ = isOffscreenDriver(SDL_GetCurrentVideoDriver());

    // Tries the depth buffers the driver may offer, deepest first. The depth size can decide the
    // window's visual, so each try makes a fresh window.
    auto create = [&](Uint32 extraFlags, int width, int height) {
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | extraFlags |
                       (showFlag == 1 ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN);
        Created result = Created::noWindow;
        for (int depth : {32, 24}) {
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
            SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
            SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
            SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
            window_ = SDL_CreateWindow(title_.c_str(), 0, 0, width, height, flags);
            if (!window_) continue;
            context_ = SDL_GL_CreateContext(window_);
            if (context_) return Created::ok;
            result = Created::noContext;
            SDL_DestroyWindow(window_);
            window_ = nullptr;
        }
        return result;
    };

    if (mode_ == kFullScreen) {
        // The display keeps its mode: the picture is scaled to the desktop on every swap. The
        // size given is the window's when F11 leaves full screen: the one the program opens with
        // in a window, 324 x 265 to the picture's 320 x 240.
        const int windowWidth = width_ * projection::kWindowWidth / projection::kPictureWidth;
        const int windowHeight = height_ * projection::kWindowHeight / projection::kPictureHeight;
        bool fullScreen = create(SDL_WINDOW_FULLSCREEN_DESKTOP, windowWidth, windowHeight) == Created::ok;
        if (fullScreen && SDL_GL_MakeCurrent(window_, context_) == 0 && createOffscreenTarget()) {
            SDL_ShowCursor(SDL_DISABLE);
            fullScreenNow_ = true;
        } else {
            reportPlatformError("cannot open a full-screen window");
            destroyOffscreenTarget();
            if (context_) SDL_GL_DeleteContext(context_);
            if (window_) SDL_DestroyWindow(window_);
            context_ = nullptr;
            window_ = nullptr;
            if (!askYesNo(title_.c_str(), kModeQuestion, true)) raise(errors::graphicsMode);
            mode_ = kWindowed;
        }
    }
    if (mode_ == kWindowed) {
        switch (create(0, currentWidth_, currentHeight_)) {
            case Created::ok: break;
            case Created::noWindow:
                reportPlatformError("cannot create the window");
                raise(errors::couldntCreateWindow);
            case Created::noContext:
                reportPlatformError("cannot create an OpenGL context");
                raise(errors::couldntCreateRC);
        }
        if (SDL_GL_MakeCurrent(window_, context_) != 0) {
            reportPlatformError("cannot make the OpenGL context current");
            raise(errors::couldntCreateRC);
        }
        // Without an offscreen picture the window still shows it 1:1, it just cannot scale it.
        if (!createOffscreenTarget()) destroyOffscreenTarget();
    }

    // Live frames wait for the display's refresh, adaptively where the driver can; the demo
    // clock runs on its own either way.
    if (showFlag == 1 && !headless_ && SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(1);
    SDL_DisableScreenSaver();
    if (showFlag == 1) SDL_RaiseWindow(window_);
}

bool KWindow::createOffscreenTarget() {
    if (!g_fb.load()) return false;
    g_fb.genFramebuffers(1, &framebuffer_);
    g_fb.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    g_fb.genRenderbuffers(1, &colorBuffer_);
    g_fb.bindRenderbuffer(GL_RENDERBUFFER, colorBuffer_);
    g_fb.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
    g_fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer_);
    g_fb.genRenderbuffers(1, &depthBuffer_);
    g_fb.bindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    for (GLenum format : {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT24}) {
        g_fb.renderbufferStorage(GL_RENDERBUFFER, format, width_, height_);
        g_fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
        if (g_fb.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
    }
    return false;
}

void KWindow::destroyOffscreenTarget() {
    if (!framebuffer_ && !colorBuffer_ && !depthBuffer_) return;
    g_fb.bindFramebuffer(GL_FRAMEBUFFER, 0);
    g_fb.deleteRenderbuffers(1, &colorBuffer_);
    g_fb.deleteRenderbuffers(1, &depthBuffer_);
    g_fb.deleteFramebuffers(1, &framebuffer_);
    framebuffer_ = colorBuffer_ = depthBuffer_ = 0;
}

void KWindow::close() {
    if (!opened_) return;
    destroyOffscreenTarget();
    if (fullScreenNow_) SDL_ShowCursor(SDL_ENABLE);
    fullScreenNow_ = false;
    if (context_) {
        if (SDL_GL_MakeCurrent(window_, nullptr) != 0) throw 0;
        SDL_GL_DeleteContext(context_);
        context_ = nullptr;
    }
    if (window_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    SDL_EnableScreenSaver();
    opened_ = false;
}

void KWindow::swapBuffers() {
    if (framebuffer_) {
        presentOffscreen();
        return;
    }
    SDL_GL_SwapWindow(window_);
}

// Scales the offscreen picture onto the whole drawable with its aspect kept and black borders,
// leaving every GL state the show sees as it was.
void KWindow::presentOffscreen() {
    int screenW = 0, screenH = 0;
    SDL_GL_GetDrawableSize(window_, &screenW, &screenH);
    double scale = std::min(double(screenW) / width_, double(screenH) / height_);
    int w = int(width_ * scale), h = int(height_ * scale);
    int x = (screenW - w) / 2, y = (screenH - h) / 2;

    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    GLboolean mask[4];
    GLfloat clearColor[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    g_fb.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    g_fb.blitFramebuffer(0, 0, width_, height_, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    SDL_GL_SwapWindow(window_);
    g_fb.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);

    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

void KWindow::pumpMessages() {
    SDL_Event event;
    if (SDL_PollEvent(&event)) handleEvent(&event);
}

void KWindow::handleEvent(const void* raw) {
    const SDL_Event& event = *static_cast<const SDL_Event*>(raw);
    switch (event.type) {
        case SDL_QUIT:  // the close box, Alt-F4 and Ctrl-C all end here
            quit_ = true;
            break;
        case SDL_KEYDOWN:
            if (!event.key.repeat && (event.key.keysym.sym == SDLK_F11 ||
                                      (event.key.keysym.sym == SDLK_RETURN && (event.key.keysym.mod & KMOD_ALT))))
                toggleFullScreen();
            [[fallthrough]];
        case SDL_KEYUP:
            if (int key = virtualKey(event.key.keysym.sym))
                keyState_[key] = event.type == SDL_KEYDOWN ? 1 : 0;
            break;
        default:
            break;
    }
}

void KWindow::toggleFullScreen() {
    if (!window_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_HIDDEN)) return;
    const bool toFullScreen = !fullScreenNow_;
    if (SDL_SetWindowFullscreen(window_, toFullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        reportPlatformError(toFullScreen ? "cannot switch to full screen" : "cannot leave full screen");
        return;
    }
    fullScreenNow_ = toFullScreen;
    SDL_ShowCursor(toFullScreen ? SDL_DISABLE : SDL_ENABLE);
}

bool KWindow::startDisplayForLiveShow(std::string& reason) {
    // SDL_VIDEODRIVER=offscreen asks for drawing without a display by name (tests, timing); SDL
    // may also end up offscreen by itself when no display driver works.
    if (initVideo(false) &&
        (!isOffscreenDriver(SDL_GetCurrentVideoDriver()) || isOffscreenDriver(std::getenv("SDL_VIDEODRIVER"))))
        return true;
    const char* display = namedDisplay();
    reason = display ? std::string("the display '") + display + "' cannot be opened"
                     : "neither DISPLAY nor WAYLAND_DISPLAY is set";
    return false;
}

bool KWindow::desktopSize(int& width, int& height) {
    if (!initVideo() || isOffscreenDriver(SDL_GetCurrentVideoDriver())) return false;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) return false;
    width = mode.w;
    height = mode.h;
    return true;
}

void KWindow::hide() {
    if (!window_) return;
    SDL_HideWindow(window_);
    SDL_GL_SetSwapInterval(0);  // nobody watches: the recording never waits for a refresh
    // A hidden window's own pixels need not be kept, so the picture moves offscreen where the
    // read-backs can rely on it; the viewport and every other state stay as they are. Without
    // that target every picture read back would be undefined.
    if (opened_ && !framebuffer_ && !createOffscreenTarget()) {
        reportPlatformError("cannot create an offscreen framebuffer");
        destroyOffscreenTarget();
        raise(errors::couldntCreateRC);
    }
}
