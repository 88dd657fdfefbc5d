#pragma once
// The program's one window with its OpenGL context: SDL2 on the desktop (window.cpp), the page's
// canvas with WebGL in a browser (window_web.cpp). On the desktop the picture is drawn at the
// requested size into an offscreen framebuffer and, on every swap, scaled onto the window or the
// screen with its aspect kept and black borders: 1:1 in a window of its own size, which the user
// may resize or maximise, and filling the screen full screen; the display mode is never changed.
// In the browser the canvas holds the picture at its size and the page scales it the same way.
// F11 and Alt+Enter switch between window and full screen. Every GL state and every read-back
// (the feedback copy, recording) sees the same picture in every mode. Without framebuffer objects
// the picture is drawn into the window itself, at its lower left. Main thread only.
#include <array>
#include <cstdint>
#include <deque>
#include <string>

struct SDL_Window;

class KWindow {
public:
    static constexpr int kWindowed = 1;
    static constexpr int kFullScreen = 2;
    static constexpr int kEscape = 27;  // keyState index of the Escape key

    KWindow(const char* title, int width, int height, int windowMode);
    virtual ~KWindow();
    KWindow(const KWindow&) = delete;
    KWindow& operator=(const KWindow&) = delete;

    // Creates the window and its context and sets the initial GL state and projection. A title,
    // a size above 0 and a mode of 1 or 2 replace the stored ones; on an opened window only those
    // are updated. Raises the catalogue's window errors; a refused full screen asks whether to run
    // windowed and raises errors::graphicsMode on No.
    void open(int showFlag, const char* title, int width, int height, int windowMode);
    // Destroys context and window; harmless when not opened. Raises the integer 0 on failure.
    void close();

    void clear();
    void swapBuffers();
    // Handles at most one pending event, so a burst of events is worked off over several frames.
    void pumpMessages();
    // True while Escape is held or once a quit request (close box, Alt-F4, Ctrl-C) was taken.
    bool quitRequested() const;
    // Viewport and projection for the given size (also used by open).
    void resize(int width, int height);
    // Hides the window for good (video mode); the picture is then drawn offscreen. Raises
    // errors::couldntCreateRC when the offscreen target cannot be made.
    void hide();
    // Between window and full screen, as F11 and Alt+Enter do; the picture itself is unchanged.
    void toggleFullScreen();

    // Starts SDL's video on the display for a live show, without the offscreen fallback recording
    // uses; false, with the reason, when there is no display to show it on. Drawing offscreen that
    // SDL_VIDEODRIVER=offscreen asks for by name counts as a display.
    static bool startDisplayForLiveShow(std::string& reason);
    // The size of the desktop the window opens on, starting SDL's video if needed; false without a
    // display (rendering offscreen).
    static bool desktopSize(int& width, int& height);

    SDL_Window* handle() const { return window_; }
    bool opened() const { return opened_; }
    int windowMode() const { return mode_; }
    // True when no display was available and the picture is rendered offscreen.
    bool headless() const { return headless_; }
    uint8_t keyState(int key) const { return keyState_[static_cast<uint8_t>(key)]; }

    // The colour depth asked for at construction (32); full screen keeps the desktop's own.
    int bitsPerPixel() const { return bitsPerPixel_; }

private:
    // Shared by every platform (window_common.cpp): stores what open was asked for; once the
    // context exists, sets the viewport, projection and initial GL state and marks it opened.
    void storeRequest(const char* title, int width, int height, int windowMode);
    void startDrawing();

    // The SDL window's own (window.cpp).
    void createWindowAndContext(int showFlag);
    bool createOffscreenTarget();
    void destroyOffscreenTarget();
    void presentOffscreen();
    void handleEvent(const void* event);

    std::string title_;
    int bitsPerPixel_ = 32;
    int width_ = 0, height_ = 0;                 // requested size
    int currentWidth_ = 0, currentHeight_ = 0;   // used by resize
    int mode_ = kWindowed;
    SDL_Window* window_ = nullptr;  // none in the browser, which draws into the page's canvas
    void* context_ = nullptr;       // the OpenGL or WebGL context
    // The offscreen picture of full screen and hidden windows.
    unsigned framebuffer_ = 0, colorBuffer_ = 0, depthBuffer_ = 0;
    std::array<uint8_t, 256> keyState_{};
    // The browser's input, queued as it arrives between frames (SDL keeps its own queue).
    std::deque<uint32_t> pendingInput_;
    bool opened_ = false;
    bool fullScreenNow_ = false;
    bool quit_ = false;
    bool headless_ = false;
};
