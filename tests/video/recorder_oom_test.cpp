// Running out of memory while recording ends like every recorder failure: the file closed with
// the frames written so far, the catalogue's out-of-memory text, exit status 1. This program
// replaces operator new so that the encoder thread's allocations can be made to fail.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

#include "video/avi_recorder.h"
#include "video/video_test_support.h"

namespace {

std::atomic<bool> failOffTheMainThread{false};
std::thread::id mainThread = std::this_thread::get_id();

// Sound whose decoding runs out of memory at a given block, as the decoder's allocations would.
class ExhaustedSound : public SyntheticSound {
public:
    explicit ExhaustedSound(int failingBlock) : SyntheticSound(10'000'000), left_(failingBlock) {}
    void advance() override {
        if (left_-- == 0) throw std::bad_alloc();
        SyntheticSound::advance();
    }

private:
    int left_;
};

// Records up to 40 raw frames with sound; armFrame: from this frame on, the worker cannot allocate.
void recordUntilItFails(const char* file, CaptureSource& sound, int armFrame) {
    SyntheticFrames frames(320, 240);
    AviRecorder recorder(quietUi(), file, 320, 240, true, 40, 44100, 16, "raw");
    recorder.attachFrameSource(&frames, &sound);
    for (int frame = 0; frame < 40; ++frame) {
        failOffTheMainThread = frame >= armFrame;
        recorder.frameDone(frame * 100 / 40);
    }
}

void expectPlayableWithSomeFrames(const char* file) {
    EXPECT_EQ(decodeErrors(file), "");
    const int frames = std::atoi(probeStream(file, "v:0")["nb_read_frames"].c_str());
    EXPECT_GE(frames, 3);
    EXPECT_LT(frames, 40);
    std::remove(file);
}

TEST(RecorderOutOfMemoryDeathTest, OnTheEncoderThreadOrInTheSoundClosesTheFileAndExitsWithOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Names without the process id: the death test's child runs in a process of its own.
    EXPECT_EXIT(
        {
            // The worker may still write frame 3 once armed, but only grows its index at frame 4.
            SyntheticSound sound(10'000'000);
            recordUntilItFails("video_test_oom_worker.avi", sound, 4);
        },
        ::testing::ExitedWithCode(1), "Error!: Error - out of memory! Aborting...");
    expectPlayableWithSomeFrames("video_test_oom_worker.avi");

    EXPECT_EXIT(
        {
            ExhaustedSound sound(5);
            recordUntilItFails("video_test_oom_sound.avi", sound, 40);
        },
        ::testing::ExitedWithCode(1), "Error!: Error - out of memory! Aborting...");
    expectPlayableWithSomeFrames("video_test_oom_sound.avi");
}

}  // namespace

void* operator new(std::size_t size) {
    if (failOffTheMainThread && std::this_thread::get_id() != mainThread) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The pair to it (the sanitizer's own would not accept malloc's memory); GCC cannot see that they
// belong together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
