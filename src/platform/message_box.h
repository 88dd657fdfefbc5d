#pragma once
// Message boxes. With no display to show them on, the caption and text go to stderr instead and a
// question gets the answer that keeps the program going safely; nothing ever blocks then. While a
// box waits, Ctrl-C and SIGTERM end the program.
#include <string>
#include <vector>

enum class BoxIcon { error, information };

// An OK box; returns when the user closes it.
void showMessageBox(const char* caption, const char* text, BoxIcon icon);

// A Yes/No question; true for Yes. Without a display the answer is safeAnswer.
bool askYesNo(const char* caption, const char* text, bool safeAnswer);

// A box with one button per choice and Cancel, the first choice the Enter button. Returns the
// index chosen, or -1 for Cancel, a closed box or a box that cannot be shown. Only with a display
// (boxesCanBeShown).
int chooseInBox(const char* caption, const char* text, const std::vector<std::string>& choices);

// The display the environment names (DISPLAY, else WAYLAND_DISPLAY; an empty one names none), or
// null.
const char* namedDisplay();

// True when boxes can be shown on a display: a display is named in the environment, SDL is not
// told to run without one, and the window (if open) did not fall back to offscreen rendering.
bool boxesCanBeShown();

// Makes the log's fatal-error boxes SDL message boxes (stderr without a display).
void installMessageBoxes();
