#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "video/avi_recorder.h"
#include "video/video_test_support.h"

namespace {

class RecorderTest : public ::testing::Test {
protected:
    void TearDown() override { std::remove(file.c_str()); }
    std::string file = scratchFile("rec.avi");
};

TEST_F(RecorderTest, EveryCodecGives320x240AtTheFrameRateWithExactAudio) {
    for (const std::string& codec : availableVideoCodecs()) {
        SCOPED_TRACE(codec);
        Recording r;
        r.codec = codec;
        r.fps = 25;
        r.frames = 13;
        record(file, r);
        int streams = 0;
        auto all = probeAll(file, &streams);
        EXPECT_EQ(streams, 2);
        auto& v = all["video"];
        const std::string expected = codec == "raw" ? "rawvideo" : codec;
        EXPECT_EQ(v["codec_name"], expected);
        EXPECT_EQ(v["width"], "320");
        EXPECT_EQ(v["height"], "240");
        EXPECT_EQ(v["r_frame_rate"], "25/1");
        EXPECT_EQ(v["nb_read_frames"], "13");
        auto& a = all["audio"];
        EXPECT_EQ(a["codec_name"], "pcm_s16le");
        EXPECT_EQ(a["sample_rate"], "44100");
        EXPECT_EQ(a["channels"], "2");
        EXPECT_EQ(a["sample_fmt"], "s16");
        EXPECT_EQ(decodedAudio(file).size(), size_t(13 * 44100 / 25) * 4);
        EXPECT_EQ(decodeErrors(file), "");
    }
}

TEST_F(RecorderTest, AudioIsTheSoundtrackSampleForSampleAndAlternatesChunkSizes) {
    Recording r;
    r.frames = 41;
    record(file, r);
    const std::vector<uint8_t> audio = decodedAudio(file);
    ASSERT_EQ(audio.size(), size_t(41 * 44100 / 40) * 4);
    size_t mismatches = 0;
    for (size_t i = 0; i < audio.size(); ++i) mismatches += audio[i] != SyntheticSound::byteAt(i);
    EXPECT_EQ(mismatches, 0u);

    // 44100 / 40 = 1102.5: frames carry 1102 and 1103 samples in turn.
    const std::vector<uint8_t> bytes = readFile(file);
    std::vector<uint32_t> audioChunks;
    for (const RiffChunk& c : walkRiff(bytes))
        if (c.id == "01wb") audioChunks.push_back(c.size / 4);
    ASSERT_EQ(audioChunks.size(), 41u);
    for (size_t k = 0; k < audioChunks.size(); ++k) EXPECT_EQ(audioChunks[k], k % 2 ? 1103u : 1102u) << k;
}

TEST_F(RecorderTest, HeadersCarryTheFixedStreamValues) {
    Recording r;
    r.fps = 30;
    r.frames = 3;
    record(file, r);
    const std::vector<uint8_t> b = readFile(file);
    std::vector<RiffChunk> strh, strf;
    for (const RiffChunk& c : walkRiff(b)) {
        if (c.id == "strh") strh.push_back(c);
        if (c.id == "strf") strf.push_back(c);
    }
    ASSERT_EQ(strh.size(), 2u);
    ASSERT_EQ(strf.size(), 2u);

    const uint64_t v = strh[0].offset;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[v]), 4), "vids");
    EXPECT_EQ(le32(b, v + 4), 0u);    // handler of uncompressed frames
    EXPECT_EQ(le32(b, v + 20), 1u);   // scale
    EXPECT_EQ(le32(b, v + 24), 30u);  // rate
    EXPECT_EQ(le32(b, v + 32), 3u);   // length
    EXPECT_EQ(le32(b, v + 36), 0u);   // suggested buffer size
    EXPECT_EQ(le16(b, v + 52), 320u);
    EXPECT_EQ(le16(b, v + 54), 240u);
    const uint64_t bi = strf[0].offset;
    EXPECT_EQ(strf[0].size, 44u);
    EXPECT_EQ(le32(b, bi), 44u);
    EXPECT_EQ(le32(b, bi + 4), 320u);
    EXPECT_EQ(le32(b, bi + 8), 240u);
    EXPECT_EQ(le16(b, bi + 12), 1u);
    EXPECT_EQ(le16(b, bi + 14), 24u);
    EXPECT_EQ(le32(b, bi + 16), 0u);
    EXPECT_EQ(le32(b, bi + 20), 320u * 240 * 3);
    for (uint64_t o = 24; o < 44; o += 4) EXPECT_EQ(le32(b, bi + o), 0u) << o;

    const uint64_t a = strh[1].offset;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[a]), 4), "auds");
    EXPECT_EQ(le32(b, a + 4), 0u);
    EXPECT_EQ(le16(b, a + 12), 7u);       // priority
    EXPECT_EQ(le32(b, a + 16), 33075u);   // initial frames
    EXPECT_EQ(le32(b, a + 20), 4u);       // scale
    EXPECT_EQ(le32(b, a + 24), 176400u);  // rate
    EXPECT_EQ(le32(b, a + 32), uint32_t(3 * 44100 / 30));
    EXPECT_EQ(le32(b, a + 36), 176400u);  // suggested buffer size
    EXPECT_EQ(le32(b, a + 44), 4u);       // sample size
    const uint64_t wf = strf[1].offset;
    EXPECT_EQ(strf[1].size, 18u);
    EXPECT_EQ(le16(b, wf), 1u);
    EXPECT_EQ(le16(b, wf + 2), 2u);
    EXPECT_EQ(le32(b, wf + 4), 44100u);
    EXPECT_EQ(le32(b, wf + 8), 176400u);
    EXPECT_EQ(le16(b, wf + 12), 4u);
    EXPECT_EQ(le16(b, wf + 14), 16u);
    EXPECT_EQ(le16(b, wf + 16), 0u);
}

TEST_F(RecorderTest, CompressedStreamsDeclareTheirFourcc) {
    Recording r;
    r.codec = "mjpeg";
    r.frames = 2;
    r.sound = false;
    record(file, r);
    const std::vector<uint8_t> b = readFile(file);
    for (const RiffChunk& c : walkRiff(b))
        if (c.id == "strf") {
            EXPECT_EQ(le32(b, c.offset), c.size);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[c.offset + 16]), 4), "MJPG");
        }
    EXPECT_EQ(probeStream(file, "v:0")["codec_tag_string"], "MJPG");
}

TEST_F(RecorderTest, CancelledAtFrameKHoldsKFramesAndDecodesCleanly) {
    // An .mp4 plays only once its index is written: stopping must write it too.
    for (const char* name : {"cancelled.avi", "cancelled.mp4"}) {
        SCOPED_TRACE(name);
        const std::string stopped = scratchFile(name);
        Recording r;
        r.codec = stopped.ends_with(".avi") ? "ffv1" : "";
        r.frames = 30;
        r.cancelAt = 7;
        EXPECT_EQ(record(stopped, r), 7);
        EXPECT_EQ(probeStream(stopped, "v:0")["nb_read_frames"], "7");
        EXPECT_EQ(decodeErrors(stopped), "");
        if (stopped.ends_with(".avi")) {
            EXPECT_EQ(decodedAudio(stopped).size(), size_t(7 * 44100 / 40) * 4);
        }
        std::remove(stopped.c_str());
    }
}

TEST_F(RecorderTest, SoundOffGivesOneVideoStream) {
    Recording r;
    r.sound = false;
    r.frames = 5;
    record(file, r);
    EXPECT_EQ(streamCount(file), 1);
    EXPECT_EQ(probeStream(file, "v:0")["nb_read_frames"], "5");
}

TEST_F(RecorderTest, SoundEndingEarlyLeavesSilenceAndFullLength) {
    Recording r;
    r.frames = 20;
    r.soundBytes = 5 * 4410 + 100;  // a little over five frames' worth
    record(file, r);
    const std::vector<uint8_t> audio = decodedAudio(file);
    ASSERT_EQ(audio.size(), size_t(20 * 44100 / 40) * 4);
    for (size_t i = 0; i < r.soundBytes; ++i) ASSERT_EQ(audio[i], SyntheticSound::byteAt(i)) << i;
    for (size_t i = r.soundBytes; i < audio.size(); ++i) ASSERT_EQ(audio[i], 0) << i;
}

TEST_F(RecorderTest, CaptureNeverWritesPastTheBufferAndReadsSilenceBeyondIt) {
    Recording r;
    r.frames = 20;
    r.limits.captureBytes = 3 * 4410;  // far less than the sound delivered
    record(file, r);
    const std::vector<uint8_t> audio = decodedAudio(file);
    ASSERT_EQ(audio.size(), size_t(20 * 44100 / 40) * 4);
    for (size_t i = 0; i < r.limits.captureBytes; ++i) ASSERT_EQ(audio[i], SyntheticSound::byteAt(i)) << i;
    for (size_t i = r.limits.captureBytes; i < audio.size(); ++i) ASSERT_EQ(audio[i], 0) << i;
}

TEST(RecorderCapture, LiveOutputIsSilencedWhileRecording) {
    const std::string file = scratchFile("silence.avi");
    SyntheticFrames frames(320, 240);
    SyntheticSound sound(100000);
    {
        AviRecorder recorder(quietUi(), file.c_str(), 320, 240, true, 40, 44100, 16, "raw");
        recorder.attachFrameSource(&frames, &sound);
        recorder.frameDone(0);
    }
    EXPECT_TRUE(sound.silenced());
    std::remove(file.c_str());
}

TEST_F(RecorderTest, LongRecordingsContinueInOpenDmlPieces) {
    Recording r;
    r.frames = 30;
    r.limits.riffLimit = 2 << 20;  // about eight raw frames per piece
    record(file, r);
    const std::vector<uint8_t> b = readFile(file);
    int avix = 0, indx = 0, ix = 0, dmlh = 0;
    for (const RiffChunk& c : walkRiff(b)) {
        avix += c.id == "RIFF:AVIX";
        indx += c.id == "indx";
        ix += c.id.rfind("ix", 0) == 0;
        if (c.id == "dmlh") {
            ++dmlh;
            EXPECT_EQ(le32(b, c.offset), 30u);
        }
    }
    EXPECT_GE(avix, 3);
    EXPECT_EQ(indx, 2);
    EXPECT_EQ(ix, 2 * (avix + 1));
    EXPECT_EQ(dmlh, 1);
    EXPECT_EQ(probeStream(file, "v:0")["nb_read_frames"], "30");
    EXPECT_EQ(decodedAudio(file).size(), size_t(30 * 44100 / 40) * 4);
    EXPECT_EQ(decodeErrors(file), "");
}

TEST(RecorderFatal, MessagesUseTheSystemTextOrAnExclamationMark) {
    EXPECT_EQ(AviRecorder::fatalText("Couldn't write to avi stream", ENOSPC),
              "Couldn't write to avi stream - 'No space left on device'");
    EXPECT_EQ(AviRecorder::fatalText("avi dialog was aborted", 666), "avi dialog was aborted!");
    EXPECT_EQ(AviRecorder::fatalText("Couldn't open avi file!", 0), "Couldn't open avi file!!");
}

TEST(RecorderFatalDeathTest, FullDeviceEndsWithWriteErrorAndStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A name without the process id: the death test's child runs in a process of its own.
    const char* full = "video_test_full.avi";
    std::remove(full);
    ASSERT_EQ(symlink("/dev/full", full), 0);
    EXPECT_EXIT(
        {
            Recording r;
            r.frames = 3;
            record(full, r);
        },
        ::testing::ExitedWithCode(1), "Error!: Couldn't write to avi stream - 'No space left on device'");
    // Frames are written a frame behind: the failure of the only frame surfaces when the file closes.
    EXPECT_EXIT(
        {
            Recording r;
            r.frames = 1;
            record(full, r);
        },
        ::testing::ExitedWithCode(1), "Error!: Couldn't write to avi stream - 'No space left on device'");
    std::remove(full);
}

TEST(RecorderFatalDeathTest, UnopenableFileEndsWithOpenError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(AviRecorder(quietUi(), "no-such-dir/x.avi", 320, 240, false, 40, 44100, 16, "raw"),
                ::testing::ExitedWithCode(1), "Couldn't open avi file! - 'No such file or directory'");
}

TEST(RecorderFatalDeathTest, RefusedCodecsAndFileTypesLeaveTheFileAsItWas) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string before = "an earlier recording";
    // Names without the process id: the death test's child runs in a process of its own.
    auto expectRefused = [&](const char* file, const RecorderUi& ui, const char* codec, const char* message) {
        SCOPED_TRACE(file);
        std::FILE* earlier = std::fopen(file, "wb");
        ASSERT_TRUE(earlier);
        std::fputs(before.c_str(), earlier);
        std::fclose(earlier);
        EXPECT_EXIT(AviRecorder(ui, file, 320, 240, true, 40, 44100, 16, codec), ::testing::ExitedWithCode(1), message);
        const std::vector<uint8_t> after = readFile(file);
        EXPECT_EQ(std::string(after.begin(), after.end()), before);
        std::remove(file);
    };
    expectRefused("video_test_kept.avi", quietUi(), "divx",
                  "avi dialog was aborted!\nUnknown codec 'divx'; codecs: ffv1, raw, mjpeg");
    RecorderUi cancelling = quietUi();
    cancelling.chooseCodec = [](const std::vector<std::string>&) { return -1; };
    expectRefused("video_test_kept.avi", cancelling, "", "avi dialog was aborted!\nCodecs: ffv1, raw, mjpeg");
    expectRefused("video_test_kept.webm", quietUi(), "h264",
                  "Error!: codec=h264 does not go into .webm files, which take: vp9");
    expectRefused("video_test_kept.mov", quietUi(), "",
                  "unknown file type of 'video_test_kept.mov': recordings are .avi, .mp4, .mkv or .webm");
}

TEST(RecorderCodecChoice, MenuPickOrDefaultWhenNobodyCanBeAsked) {
    const std::string file = scratchFile("choice.avi");
    RecorderUi ui = quietUi();
    std::vector<std::string> offered;
    ui.chooseCodec = [&](const std::vector<std::string>& codecs) {
        offered = codecs;
        return 1;
    };
    {
        AviRecorder recorder(ui, file.c_str(), 320, 240, false, 40, 44100, 16, "");
        EXPECT_EQ(recorder.codec(), "raw");
    }
    // The codec used without a display comes first, where the box puts its Enter button.
    EXPECT_EQ(offered, containerCodecs(*containerFormatFor(file)));
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered.front(), defaultVideoCodec);
    EXPECT_NE(std::find(offered.begin(), offered.end(), "raw"), offered.end());
    {
        AviRecorder recorder(quietUi(), file.c_str(), 320, 240, false, 40, 44100, 16, "");
        EXPECT_EQ(recorder.codec(), defaultVideoCodec);
    }
    std::remove(file.c_str());
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool hugeAllocationsFail = false;  // the sanitizer aborts instead of returning null
#else
constexpr bool hugeAllocationsFail = true;
#endif

TEST(RecorderLowMemoryDeathTest, DecliningTheSmallerBufferEndsWithStatusZero) {
    if (!hugeAllocationsFail) GTEST_SKIP() << "allocation failure aborts under the sanitizer";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string file = scratchFile("lowmem.avi");
    RecorderUi ui = quietUi();
    ui.askYesNo = [](const char* caption, const char* text) {
        std::fprintf(stderr, "[%s|%s]", caption, text);
        return false;
    };
    RecorderLimits limits;
    limits.captureBytes = size_t(1) << 62;
    EXPECT_EXIT(AviRecorder(ui, file.c_str(), 320, 240, true, 40, 44100, 16, "raw", limits),
                ::testing::ExitedWithCode(0),
                "\\[Oups. Low memory detected!\\|Your system doesn't seem to have enough memory for allocating "
                "soundbuffers.\nWould you like to use a smaller buffer\\? \\(This might not work though :\\)\n\\]");
    std::remove(file.c_str());
}

TEST(RecorderLowMemory, AcceptingTheSmallerBufferRecordsWithIt) {
    if (!hugeAllocationsFail) GTEST_SKIP() << "allocation failure aborts under the sanitizer";
    const std::string file = scratchFile("lowmem2.avi");
    RecorderUi ui = quietUi();
    std::string boxes;
    ui.askYesNo = [](const char*, const char*) { return true; };
    ui.message = [&](RecorderUi::Box, const char* caption, const char* text) {
        boxes += std::string(caption) + "|" + text;
    };
    RecorderLimits limits;
    limits.captureBytes = size_t(1) << 62;
    limits.reducedCaptureBytes = 1 << 20;
    {
        AviRecorder recorder(ui, file.c_str(), 320, 240, true, 40, 44100, 16, "raw", limits);
        EXPECT_EQ(recorder.captureBytes(), size_t(1) << 20);
    }
    EXPECT_EQ(boxes, "Ehhh.. |Ok, let's see if this will crash or not then :)");
    std::remove(file.c_str());
}

}  // namespace
