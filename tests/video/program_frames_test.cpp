// The program's recording holds the very frames glimmershot and the golden test render: both run
// the show's one frame, and what lies around it (the start-up order, the video clock, the
// recorder's read-back) must not change a pixel.
#include <cstring>

#include "headless_show.h"
#include "video/program_runner.h"
#include "video/video_test_support.h"

namespace {

TEST_F(ProgramRecording, RecordedFramesAreTheHeadlessShowsPixelForPixel) {
    // One frame a second still passes through every scene; ffv1 keeps the pixels exactly.
    const Outcome run = runProgram({"video", "no", "sound", "codec=ffv1", "fps", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string recorded = runCommand("ffmpeg -v error -i '" + avi + "' -f rawvideo -pix_fmt rgb24 -");
    constexpr size_t kFrameBytes = size_t(HeadlessShow::kWidth) * HeadlessShow::kHeight * 3;

    HeadlessShow show(GLIMMER_BINARY_DIR "/Glimmertide.dat", 1.0f);
    size_t frames = 0;
    while (show.nextFrame()) {
        ASSERT_LE((frames + 1) * kFrameBytes, recorded.size()) << "the recording ends before frame " << frames;
        const RgbImage image = show.readBack();
        ASSERT_EQ(std::memcmp(image.pixels.data(), recorded.data() + frames * kFrameBytes, kFrameBytes), 0)
            << "frame " << frames << " (tick " << show.frameTick() << ") differs";
        ++frames;
    }
    EXPECT_GT(frames, 180u);
    EXPECT_EQ(recorded.size(), frames * kFrameBytes);
}

}  // namespace
