#include "video/progress.h"

#include <cstring>

int formatProgressDetail(char* out, int size, int percent, int frames, double seconds) {
    const int shown = percent > 100 ? 100 : percent;
    const double fps = seconds > 0 ? frames / seconds : 0;
    if (shown <= 0 || seconds <= 0) return std::snprintf(out, size_t(size), "frame %d  %.1f fps  ETA --:--", frames, fps);
    const long left = long(seconds * (100 - shown) / shown + 0.5);
    return std::snprintf(out, size_t(size), "frame %d  %.1f fps  ETA %ld:%02ld", frames, fps, left / 60, left % 60);
}

int formatProgress(char* out, int size, int percent, int frames, double seconds) {
    const int shown = percent > 100 ? 100 : percent;
    constexpr int width = 30;
    char bar[width + 1];
    const int filled = shown * width / 100;
    std::memset(bar, '#', size_t(filled));
    std::memset(bar + filled, '.', size_t(width - filled));
    bar[width] = 0;
    char detail[128];
    formatProgressDetail(detail, sizeof detail, percent, frames, seconds);
    return std::snprintf(out, size_t(size), "[%s] %3d%%  %s", bar, shown, detail);
}

void ProgressBar::update(int percent, int frames, Clock::time_point now) {
    if (percent < 0) return;
    if (!started_) {
        started_ = true;
        start_ = now;
    }
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (listener_) {
        char detail[128];
        formatProgressDetail(detail, sizeof detail, percent, frames, seconds);
        listener_(percent > 100 ? 100 : percent, detail);
    }
    if (!out_) return;
    // On a terminal redraw at most ten times a second; elsewhere once per new percent.
    if (terminal_) {
        if (drawn_ && percent == lastPercent_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    } else if (percent == lastPercent_) {
        return;
    }
    char line[160];
    formatProgress(line, sizeof line, percent, frames, seconds);
    std::fprintf(out_, terminal_ ? "\r%s" : "%s\n", line);
    std::fflush(out_);
    drawn_ = true;
    lastDraw_ = now;
    lastPercent_ = percent;
}

void ProgressBar::finish() {
    if (out_ && terminal_ && drawn_) std::fputc('\n', out_);
    drawn_ = false;
}
