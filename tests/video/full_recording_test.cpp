// The whole show recorded as the README's users get it: 40 frames per second, sound on, ffv1.
// About a minute of rendering, so it stays out of the sanitizer run.
#include <cstdlib>

#include "video/program_runner.h"
#include "video/video_test_support.h"

namespace {

// The soundtrack as the mpg123 player decodes it from the bytes the build packed: the reference
// the recording's audio must match sample for sample.
std::vector<uint8_t> decodedSoundtrack() {
    const std::string out = runCommand("mpg123 -q -s '" GLIMMER_BINARY_DIR "/data/glimmertide1.mp3'");
    return std::vector<uint8_t>(out.begin(), out.end());
}

TEST_F(ProgramRecording, WholeShowAtFortyFramesDecodesCleanlyWithTheSoundtrackIntact) {
    deadlineSeconds = 1800;  // far slower than real time would still finish
    const Outcome run = runProgram({"video", "codec=ffv1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Video was rendered in 40 fps."), std::string::npos) << run.err;

    int streams = 0;
    auto all = probeAll(avi, &streams);
    EXPECT_EQ(streams, 2);
    EXPECT_EQ(all["video"]["codec_name"], "ffv1");
    EXPECT_EQ(all["video"]["r_frame_rate"], "40/1");
    const int frames = std::atoi(all["video"]["nb_read_frames"].c_str());
    EXPECT_EQ(frames, framesInWholeShow(40));
    EXPECT_EQ(decodeErrors(avi), "");

    const std::vector<uint8_t> recorded = decodedAudio(avi);
    const std::vector<uint8_t> soundtrack = decodedSoundtrack();
    ASSERT_EQ(recorded.size(), size_t(frames) * 44100 / 40 * 4);
    ASSERT_GE(soundtrack.size(), recorded.size()) << "the soundtrack outlasts the show";
    size_t firstDifference = recorded.size();
    for (size_t i = 0; i < recorded.size() && firstDifference == recorded.size(); ++i)
        if (recorded[i] != soundtrack[i]) firstDifference = i;
    EXPECT_EQ(firstDifference, recorded.size()) << "first different sample frame: " << firstDifference / 4;
}

}  // namespace
