#pragma once
// The recording's progress window, "Rendering video...": a bar from 0 to 100, a line of detail
// (frames, speed, time left) and a Cancel button that asks "Really?" before it stops anything.
//
// It runs its own event loop on a thread of its own, so it repaints, moves and answers Cancel
// while the main thread spends a second on one frame. The main thread talks to it only through
// update() and its destruction; the window calls back only when a Cancel is confirmed, and nothing
// it does waits on the main thread.
#include <functional>
#include <memory>
#include <string>

class ProgressWindow {
public:
    // Opens the window for a recording into fileName; null when no window can be shown (no
    // display, or the toolkit cannot open it). Returns once the window is up or has failed.
    // onCancel runs on the window's thread when the user answers Yes, so it must be safe there.
    static std::unique_ptr<ProgressWindow> open(const std::string& fileName, std::function<void()> onCancel = {});
    // Closes the window and an open question, and waits for its thread to end.
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // The bar's percent (0 to 100) and the detail line; shown at the window's next repaint.
    void update(int percent, const std::string& detail);

    struct Shared;

private:
    explicit ProgressWindow(std::unique_ptr<Shared> shared);
    std::unique_ptr<Shared> shared_;
};
