// The whole show recorded as the README's users get it: 40 frames per second, sound on, ffv1;
// and in Matroska, whose FLAC sound must be the soundtrack exactly. Minutes of rendering, so they
// stay out of the sanitizer run.
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

// The first difference between the recording's sound and the soundtrack, in sample frames, or
// the recording's length when there is none.
size_t firstDifference(const std::vector<uint8_t>& recorded, const std::vector<uint8_t>& soundtrack) {
    size_t at = 0;
    while (at < recorded.size() && at < soundtrack.size() && recorded[at] == soundtrack[at]) ++at;
    return at / 4;
}

TEST_F(ProgramRecording, WholeShowInMatroskaKeepsTheSoundtrackSampleForSample) {
    const Outcome run = runProgram({"video", "out=show.mkv", "fps", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string file = (dir / "show.mkv").string();
    const int frames = std::atoi(probeStream(file, "v:0")["nb_read_frames"].c_str());
    EXPECT_EQ(frames, framesInWholeShow(2));
    EXPECT_EQ(decodeErrors(file), "");
    const std::vector<uint8_t> recorded = decodedAudio(file);
    ASSERT_EQ(recorded.size(), size_t(frames) * 22050 * 4);
    EXPECT_EQ(firstDifference(recorded, decodedSoundtrack()), recorded.size() / 4);
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
    EXPECT_EQ(firstDifference(recorded, soundtrack), recorded.size() / 4);
}

}  // namespace
