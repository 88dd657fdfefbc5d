// The program's recording holds the very frames glimmershot and the golden test render: both run
// the show's one frame, and what lies around it (the start-up order, the video clock, the
// recorder's read-back) must not change a pixel.
#include <cstring>

#include "headless_show.h"
#include "video/program_runner.h"
#include "video/video_test_support.h"

namespace {

// Records the whole show at one frame a second (still every scene; ffv1 keeps the pixels exactly)
// and compares it with the headless show at the same scale, frame by frame.
void expectRecordingIsTheHeadlessShow(const std::string& avi, int scale) {
    const std::string recorded = runCommand("ffmpeg -v error -i '" + avi + "' -f rawvideo -pix_fmt rgb24 -");
    const size_t frameBytes = size_t(HeadlessShow::kWidth) * HeadlessShow::kHeight * 3 * size_t(scale * scale);

    HeadlessShow show(GLIMMER_BINARY_DIR "/Glimmertide.dat", 1.0f, scale);
    ASSERT_EQ(show.scale(), scale);
    size_t frames = 0;
    while (show.nextFrame()) {
        ASSERT_LE((frames + 1) * frameBytes, recorded.size()) << "the recording ends before frame " << frames;
        const RgbImage image = show.readBack();
        ASSERT_EQ(std::memcmp(image.pixels.data(), recorded.data() + frames * frameBytes, frameBytes), 0)
            << "frame " << frames << " (tick " << show.frameTick() << ") differs";
        ++frames;
    }
    EXPECT_GT(frames, 180u);
    EXPECT_EQ(recorded.size(), frames * frameBytes);
}

TEST_F(ProgramRecording, RecordedFramesAreTheHeadlessShowsPixelForPixel) {
    const Outcome run = runProgram({"video", "no", "sound", "codec=ffv1", "fps", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    expectRecordingIsTheHeadlessShow(avi, 1);
}

TEST_F(ProgramRecording, AtScaleTwoEveryHeaderFieldOfTheSizeFollowsIt) {
    // The scale's digit is taken out first: the frame rate stays 1.
    const Outcome run = runProgram({"video", "no", "sound", "codec=ffv1", "scale=2", "fps", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<uint8_t> bytes = readFile(avi);
    for (const RiffChunk& c : walkRiff(bytes)) {
        if (c.id == "avih") {
            EXPECT_EQ(le32(bytes, c.offset + 32), 640u);
            EXPECT_EQ(le32(bytes, c.offset + 36), 480u);
        } else if (c.id == "strh") {
            EXPECT_EQ(le16(bytes, c.offset + 52), 640u);  // the frame rectangle's right and bottom
            EXPECT_EQ(le16(bytes, c.offset + 54), 480u);
        } else if (c.id == "strf") {
            EXPECT_EQ(le32(bytes, c.offset + 4), 640u);
            EXPECT_EQ(le32(bytes, c.offset + 8), 480u);
            EXPECT_EQ(le32(bytes, c.offset + 20), 640u * 480u * 3u);  // the image size
        }
    }
    expectRecordingIsTheHeadlessShow(avi, 2);
}

}  // namespace
