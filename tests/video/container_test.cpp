// The libavformat containers through the recorder: what each extension gives, every frame and
// every sample, and picture and sound starting together.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "video/container.h"
#include "video/video_test_support.h"

namespace {

constexpr int kFrames = 20;
constexpr int kFps = 25;
constexpr size_t kSamples = kFrames * 44100 / kFps;

size_t offsetOf(const std::vector<uint8_t>& bytes, const char* tag) {
    return size_t(std::search(bytes.begin(), bytes.end(), tag, tag + std::strlen(tag)) - bytes.begin());
}

TEST(Containers, EachExtensionGivesItsStreamsWithEveryFrameAndSample) {
    struct Case {
        const char* file;
        std::string video, audio, rate;
        size_t samples;
    };
    const Case cases[] = {
        {"share.mp4", "h264", "aac", "44100", kSamples},
        {"share.mkv", "ffv1", "flac", "44100", kSamples},
        {"share.webm", "vp9", "opus", "48000", kSamples * 48000 / 44100},  // Opus runs at 48 kHz
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string file = scratchFile(c.file);
        Recording r;
        r.codec = "";
        r.fps = kFps;
        r.frames = kFrames;
        record(file, r);
        int streams = 0;
        auto all = probeAll(file, &streams);
        EXPECT_EQ(streams, 2);
        EXPECT_EQ(all["video"]["codec_name"], c.video);
        EXPECT_EQ(all["video"]["width"], "320");
        EXPECT_EQ(all["video"]["height"], "240");
        EXPECT_EQ(all["video"]["r_frame_rate"], "25/1");
        EXPECT_EQ(all["video"]["nb_read_frames"], std::to_string(kFrames));
        EXPECT_EQ(all["audio"]["codec_name"], c.audio);
        EXPECT_EQ(all["audio"]["sample_rate"], c.rate);
        EXPECT_EQ(all["audio"]["channels"], "2");
        EXPECT_EQ(decodeErrors(file), "");
        // The encoder's priming delay is signalled in the container, not left as an offset.
        EXPECT_EQ(firstFrameTime(file, "a"), firstFrameTime(file, "v"));

        const std::vector<uint8_t> audio = decodedAudio(file);
        if (c.audio == "aac") {
            // ffmpeg decodes the last AAC frame whole; the edit list says where the sound ends.
            EXPECT_EQ(all["audio"]["duration_ts"], std::to_string(c.samples));
            EXPECT_GE(audio.size(), c.samples * 4);
            EXPECT_LT(audio.size(), (c.samples + 1024) * 4);
            // Written in fragments, closed as one movie: the index first, the duration in it.
            const std::vector<uint8_t> bytes = readFile(file);
            EXPECT_LT(offsetOf(bytes, "moov"), offsetOf(bytes, "mdat")) << "+faststart puts the index first";
            EXPECT_EQ(offsetOf(bytes, "moof"), bytes.size()) << "no fragment is left";
            EXPECT_EQ(runCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'"),
                      "0.800000\n");
        } else {
            ASSERT_EQ(audio.size(), c.samples * 4);
        }
        if (c.audio == "flac") {
            size_t mismatches = 0;
            for (size_t i = 0; i < audio.size(); ++i) mismatches += audio[i] != SyntheticSound::byteAt(i);
            EXPECT_EQ(mismatches, 0u) << "FLAC is lossless";
        }
        std::remove(file.c_str());
    }
}

TEST(Containers, NamedCodecsGoIntoTheContainersThatTakeThem) {
    for (const char* name : {"codecs.mp4", "codecs.mkv"}) {
        const std::string file = scratchFile(name);
        for (const std::string& codec : containerCodecs(*containerFormatFor(file))) {
            SCOPED_TRACE(file + " " + codec);
            Recording r;
            r.codec = codec;
            r.frames = 3;
            r.sound = false;
            record(file, r);
            auto video = probeStream(file, "v:0");
            EXPECT_EQ(video["codec_name"], codec);
            EXPECT_EQ(video["nb_read_frames"], "3");
            EXPECT_EQ(decodeErrors(file), "");
        }
        std::remove(file.c_str());
    }
}

TEST(Containers, ExtensionsAreFoundInAnyLetterCaseAndOnlyAtTheEnd) {
    EXPECT_STREQ(containerFormatFor("out/Show.MP4")->extension, ".mp4");
    EXPECT_TRUE(containerFormatFor("glimmertide.avi")->avi());
    EXPECT_EQ(containerFormatFor("show.mp4.txt"), nullptr);
    EXPECT_EQ(containerFormatFor("show"), nullptr);
    EXPECT_EQ(containerFormatFor("dir/.webm"), nullptr);
}

}  // namespace
