#pragma once
// The browser page the program runs in (web/page.js), as the platform layer talks to it: the
// program's Module carries a `page` object with one method for each call here. Without it (the
// program run outside the page) each call does nothing and answers "no".
#include <cstdint>

namespace page {

// A message box on the page: the error panel for errors, a notice otherwise. It never waits.
void showBox(const char* caption, const char* text, bool error);
// The size the page can show the canvas at, in device pixels (the window's inner size times the
// device pixel ratio); false when it cannot be told.
bool screenSize(int& width, int& height);
// The canvas's own size (the picture's pixels); the page fits it to the window at its aspect.
void setCanvasSize(int width, int height);
// The canvas goes out of sight (video mode: nobody watches the frames).
void hideCanvas();
// Between the page's full screen and the window; must run inside the user's input event.
void toggleFullScreen();
// A frame is done and the browser is about to show it.
void framePresented();
// Video mode's progress, 0 to 100.
void showProgress(int percent);
// The frame shown at tick: width x height RGBA pixels, bottom row first, as GL reads them.
void showShot(int tick, int width, int height, const uint8_t* rgba);

}  // namespace page
