#include <gtest/gtest.h>

#include <cstdio>

#include "video/avi_recorder.h"
#include "video/video_test_support.h"

namespace {

// A full-size uncompressed recording past 1 GiB: the second piece must be found by any reader.
TEST(OpenDmlRecording, UncompressedRecordingOverOneGibDecodes) {
    const std::string file = scratchFile("big.avi");
    constexpr int frames = 4800;  // about 1.13 GB of raw frames and sound
    SyntheticFrames pictures(320, 240);
    SyntheticSound sound(size_t(frames) * 4410 + 100000);
    {
        AviRecorder recorder(quietUi(), file.c_str(), 320, 240, true, 40, 44100, 16, "raw");
        recorder.attachFrameSource(&pictures, &sound);
        for (int i = 0; i < frames; ++i) recorder.frameDone(i * 100 / frames);
    }
    // Walk the top-level pieces without loading the file.
    int pieces = 0;
    uint64_t total = 0;
    if (std::FILE* in = std::fopen(file.c_str(), "rb")) {
        unsigned char head[12];
        while (fseeko(in, off_t(total), SEEK_SET) == 0 && std::fread(head, 1, 12, in) == 12) {
            const uint32_t size = uint32_t(head[4] | head[5] << 8 | head[6] << 16) | uint32_t(head[7]) << 24;
            EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 4), "RIFF");
            EXPECT_EQ(std::string(reinterpret_cast<char*>(head + 8), 4), pieces ? "AVIX" : "AVI ");
            EXPECT_LE(size, 1u << 31);
            total += 8 + size;
            ++pieces;
        }
        std::fclose(in);
    }
    EXPECT_GT(total, uint64_t(1) << 30);
    EXPECT_EQ(pieces, 2);
    auto v = probeStream(file, "v:0");
    EXPECT_EQ(v["nb_read_frames"], std::to_string(frames));
    EXPECT_EQ(decodedAudio(file).size(), size_t(frames) * 44100 / 40 * 4);
    EXPECT_EQ(decodeErrors(file), "");
    std::remove(file.c_str());
}

}  // namespace
