#pragma once
// The recording's progress on a text stream: a bar redrawn in place on a terminal, or one line per
// percent elsewhere (logs stay short). Driven from the main thread after every frame.
#include <chrono>
#include <cstdio>
#include <functional>

class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;

    // Also told every update (the percent and the text after the bar), for a window that shows it.
    using Listener = std::function<void(int percent, const char* detail)>;

    ProgressBar(std::FILE* out, bool terminal, Listener listener = {})
        : out_(out), terminal_(terminal), listener_(std::move(listener)) {}
    ~ProgressBar() { finish(); }

    // percent of the show done (negative: unknown, nothing shown), frames recorded so far.
    void update(int percent, int frames) { update(percent, frames, Clock::now()); }
    void update(int percent, int frames, Clock::time_point now);
    // Ends the bar's line on a terminal; called once the recording stops.
    void finish();

private:
    std::FILE* out_;
    bool terminal_;
    Listener listener_;
    bool started_ = false;
    bool drawn_ = false;
    Clock::time_point start_{};
    Clock::time_point lastDraw_{};
    int lastPercent_ = -1;
};

// "[#####.....]  42%  frame 3080  118.3 fps  ETA 0:47" without a line end; exposed for tests.
int formatProgress(char* out, int size, int percent, int frames, double seconds);
// The same after the percent: "frame 3080  118.3 fps  ETA 0:47".
int formatProgressDetail(char* out, int size, int percent, int frames, double seconds);
