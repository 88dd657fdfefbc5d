// Records synthetic frames and sound through the recorder and prints how fast it went:
//   bench_video_record CODEC|FILE FRAMES [FPS [SCALE]]   (frames of SCALE x 320 x 240)
// An AVI codec name records bench_video.avi with it; a file name (bench.mp4) records into that
// container with its default codec.
// The recorder alone, without rendering: the cost recording adds to every frame.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "video/avi_recorder.h"

namespace {

class Frames : public FrameSource {
public:
    explicit Frames(size_t pixels) : count_(pixels) {}
    const uint8_t* acquireFrame() override {
        pixels_.resize(count_ * 3);
        for (size_t i = 0; i < pixels_.size(); ++i) pixels_[i] = uint8_t((i * 7 + size_t(frame_) * 13) >> 3);
        ++frame_;
        return pixels_.data();
    }
    void releaseFrame() override {}

private:
    size_t count_;
    std::vector<uint8_t> pixels_;
    int frame_ = 0;
};

class Sound : public CaptureSource {
public:
    void setCapture(Capture capture) override { capture_ = std::move(capture); }
    bool active() override { return true; }
    void advance() override {
        for (size_t i = 0; i < block_.size(); ++i) block_[i] = uint8_t(i * 31 + n_);
        ++n_;
        if (capture_) capture_(block_.data(), block_.size());
    }

private:
    Capture capture_;
    std::vector<uint8_t> block_ = std::vector<uint8_t>(4608);
    int n_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "ffv1";
    const int frames = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int fps = argc > 3 ? std::atoi(argv[3]) : 40;
    const int scale = argc > 4 ? std::atoi(argv[4]) : 1;
    const bool container = what.find('.') != std::string::npos;
    const std::string codec = container ? "" : what;
    const std::string file = container ? what : "bench_video.avi";
    Frames pictures(size_t(320 * scale) * size_t(240 * scale));
    Sound sound;
    RecorderUi ui;
    ui.progressOut = nullptr;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    {
        AviRecorder recorder(ui, file.c_str(), 320 * scale, 240 * scale, true, fps, 44100, 16, codec);
        recorder.attachFrameSource(&pictures, &sound);
        for (int i = 0; i < frames; ++i) recorder.frameDone(-1);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // CPU time too: on a shared machine it says more than the wall clock.
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-8s %6d frames in %7.2f s wall, %7.2f s CPU: %.2f ms CPU per frame (%.0f frames per CPU second)\n",
                what.c_str(), frames, seconds, cpu, cpu * 1000 / frames, frames / cpu);
    std::remove(file.c_str());
    return 0;
}
