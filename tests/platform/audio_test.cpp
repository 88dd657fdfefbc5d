#include "platform/audio.h"

#include "support_mp3/mp3_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// What the mpg123 command-line player decodes from the same bytes: the reference length and content.
Bytes referenceDecode(const Bytes& mp3, const char* options = "") {
    std::string path = "audio_test_" + std::to_string(mp3.size()) + ".mp3";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(mp3.data()),
                                                 static_cast<std::streamsize>(mp3.size()));
    std::string command = std::string("mpg123 -q -s ") + options + " " + path;
    Bytes pcm;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return pcm;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) pcm.insert(pcm.end(), buffer, buffer + n);
    pclose(pipe);
    std::remove(path.c_str());
    return pcm;
}

// Collects what the capture sees; safe to read while the device's thread appends.
class Recorder {
public:
    AudioCapture capture() {
        return [this](uint8_t* block, size_t bytes) {
            std::lock_guard<std::mutex> lock(mutex_);
            bytes_.insert(bytes_.end(), block, block + bytes);
            blocks_.push_back(bytes);
        };
    }
    Bytes bytes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_;
    }
    size_t size() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_.size();
    }
    std::vector<size_t> blocks() {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocks_;
    }

private:
    std::mutex mutex_;
    Bytes bytes_;
    std::vector<size_t> blocks_;
};

std::unique_ptr<Audio> readyAudio(AudioMode mode, const Bytes& mp3) {
    auto audio = makeAudio(mode);
    EXPECT_TRUE(audio->init()) << audio->error();
    EXPECT_TRUE(audio->createStream(mp3.data(), mp3.size())) << audio->error();
    EXPECT_TRUE(audio->start()) << audio->error();
    return audio;
}

Bytes decodeAll(Audio& audio, Recorder& recorder) {
    EXPECT_TRUE(audio.play()) << audio.error();
    int guard = 0;
    while (audio.pump() && ++guard < 100000) {
    }
    return recorder.bytes();
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(AudioDecodeOnly, CaptureSeesExactlyWhatMpg123DecodesInOrder) {
    struct Case {
        const char* name;
        Mp3Format format;
        const char* options;
    };
    const Case cases[] = {
        {"stereo cbr", {0.7, 44100, 2, 128, false}, ""},
        {"stereo vbr", {0.5, 44100, 2, 0, true}, ""},
        {"mono doubled", {0.3, 44100, 1, 64, false}, "--stereo"},
        {"shorter than a block", {0.02, 44100, 2, 96, false}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes mp3 = makeMp3(c.format);
        Bytes expected = referenceDecode(mp3, c.options);
        ASSERT_GT(expected.size(), 0u);
        Recorder recorder;
        auto audio = readyAudio(AudioMode::decodeOnly, mp3);
        audio->setCapture(recorder.capture());
        Bytes got = decodeAll(*audio, recorder);
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
        EXPECT_FALSE(audio->isActive());
        EXPECT_FALSE(audio->pump()) << "an ended stream hands out nothing more";
        EXPECT_EQ(recorder.size(), expected.size());
        EXPECT_TRUE(audio->stop());
    }
}

// Other rates are resampled without drift: n frames at rate r give exactly ceil(n * 44100 / r).
TEST(AudioDecodeOnly, OtherRatesComeOutAt44100StereoWithoutDrift) {
    const Mp3Format formats[] = {{0.5, 22050, 1, 32, false}, {3.0, 48000, 2, 64, false}, {1.0, 8000, 1, 8, false}};
    for (const Mp3Format& format : formats) {
        SCOPED_TRACE(format.sampleRate);
        Bytes mp3 = makeMp3(format);
        size_t native = referenceDecode(mp3).size() / (2 * format.channels);
        ASSERT_GT(native, 0u);
        Recorder recorder;
        auto audio = readyAudio(AudioMode::decodeOnly, mp3);
        audio->setCapture(recorder.capture());
        Bytes got = decodeAll(*audio, recorder);
        EXPECT_EQ(got.size() % Audio::kBytesPerFrame, 0u);
        size_t expected = (native * 44100 + format.sampleRate - 1) / format.sampleRate;
        EXPECT_EQ(got.size() / Audio::kBytesPerFrame, expected);
        // The tone survives: the output is not silence.
        EXPECT_NE(std::count(got.begin(), got.end(), 0), static_cast<long>(got.size()));
    }
}

TEST(AudioDecodeOnly, PlayRestartsStopStopsAndActivityFollows) {
    Bytes mp3 = makeMp3({0.4, 44100, 2, 128, false});
    Bytes expected = referenceDecode(mp3);
    Recorder recorder;
    auto audio = readyAudio(AudioMode::decodeOnly, mp3);
    EXPECT_FALSE(audio->isActive()) << "not active before play";
    EXPECT_FALSE(audio->pump());

    // Half a play, then play again: the capture sees the start twice, then the whole stream.
    audio->setCapture(recorder.capture());
    ASSERT_TRUE(audio->play());
    EXPECT_TRUE(audio->isActive());
    ASSERT_TRUE(audio->pump());
    size_t firstBlock = recorder.size();
    ASSERT_TRUE(audio->play());
    while (audio->pump()) {
    }
    Bytes got = recorder.bytes();
    ASSERT_EQ(got.size(), firstBlock + expected.size());
    EXPECT_TRUE(Bytes(got.begin(), got.begin() + firstBlock) == Bytes(expected.begin(), expected.begin() + firstBlock));
    EXPECT_TRUE(Bytes(got.begin() + firstBlock, got.end()) == expected);

    // Stopping mid-stream ends the activity and the blocks.
    ASSERT_TRUE(audio->play());
    ASSERT_TRUE(audio->pump());
    ASSERT_TRUE(audio->stop());
    size_t atStop = recorder.size();
    EXPECT_FALSE(audio->isActive());
    EXPECT_FALSE(audio->pump());
    EXPECT_EQ(recorder.size(), atStop);

    // The capture may rewrite blocks in place (the recorder silences them) without harm to what
    // follows, and it can be removed.
    Recorder copy;
    auto record = copy.capture();
    audio->setCapture([&](uint8_t* block, size_t bytes) {
        record(block, bytes);
        std::fill(block, block + bytes, 0);
    });
    EXPECT_TRUE(decodeAll(*audio, copy) == expected);
    audio->setCapture({});
    ASSERT_TRUE(audio->play());
    while (audio->pump()) {
    }
    EXPECT_EQ(recorder.size(), atStop);
}

TEST(AudioDecodeOnly, EachCallReportsFailure) {
    Bytes mp3 = makeMp3({0.1, 44100, 2, 128, false});
    auto audio = makeAudio(AudioMode::decodeOnly);
    EXPECT_FALSE(audio->createStream(mp3.data(), mp3.size())) << "stream before init";
    EXPECT_FALSE(audio->start()) << "start before init";
    EXPECT_FALSE(audio->stop()) << "stop before init";
    EXPECT_FALSE(audio->play()) << "play without a stream";
    EXPECT_STRNE(audio->error(), "");
    ASSERT_TRUE(audio->init());
    EXPECT_FALSE(audio->init()) << "init twice";
    EXPECT_FALSE(audio->play()) << "play without a stream";

    Bytes noise(5000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 % 251);
    Bytes truncated(mp3.begin(), mp3.begin() + 3);
    Bytes zeros(100000, 0);
    for (const Bytes* bad : {&noise, &truncated, &zeros}) {
        EXPECT_FALSE(audio->createStream(bad->data(), bad->size()));
        EXPECT_STRNE(audio->error(), "");
        EXPECT_FALSE(audio->play()) << "a failed stream does not play";
    }
    EXPECT_FALSE(audio->createStream(nullptr, 0));
    EXPECT_FALSE(audio->createStream(mp3.data(), 0));

    // A good stream after bad ones works.
    EXPECT_TRUE(audio->createStream(mp3.data(), mp3.size())) << audio->error();
    EXPECT_TRUE(audio->play());
}

TEST(AudioDecodeOnly, CutStreamDecodesWhatIsThereAndEnds) {
    Bytes mp3 = makeMp3({0.5, 44100, 2, 128, false});
    Bytes cut(mp3.begin(), mp3.begin() + static_cast<long>(mp3.size() / 2));
    Recorder recorder;
    auto audio = readyAudio(AudioMode::decodeOnly, cut);
    audio->setCapture(recorder.capture());
    Bytes got = decodeAll(*audio, recorder);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), referenceDecode(mp3).size());
    EXPECT_FALSE(audio->isActive());
}

// Decode-only, the position heard is exactly the audio decoded so far; nothing plays before
// play(), after the end or after stop().
TEST(AudioDecodeOnly, HeardPositionIsTheAudioDecodedSoFar) {
    Bytes mp3 = makeMp3({0.5, 44100, 2, 128, false});
    Recorder recorder;
    auto audio = readyAudio(AudioMode::decodeOnly, mp3);
    audio->setCapture(recorder.capture());
    EXPECT_LT(audio->heardSeconds(), 0);
    ASSERT_TRUE(audio->play());
    EXPECT_EQ(audio->heardSeconds(), 0.0);
    double last = 0;
    while (audio->pump()) {
        double heard = audio->heardSeconds();
        EXPECT_DOUBLE_EQ(heard, double(recorder.size() / Audio::kBytesPerFrame) / Audio::kSampleRate);
        EXPECT_GT(heard, last);
        last = heard;
    }
    EXPECT_LT(audio->heardSeconds(), 0) << "the end was decoded";
    ASSERT_TRUE(audio->play());
    ASSERT_TRUE(audio->pump());
    EXPECT_GT(audio->heardSeconds(), 0) << "playing again starts over";
    ASSERT_TRUE(audio->stop());
    EXPECT_LT(audio->heardSeconds(), 0);
}

// SDL's dummy driver (set for every test) plays in real time with no sound card.
TEST(AudioLive, DummyDevicePlaysEverySampleOnceAndTurnsInactive) {
    Bytes mp3 = makeMp3({0.3, 44100, 2, 128, false});
    Bytes expected = referenceDecode(mp3);
    Recorder recorder;
    auto audio = readyAudio(AudioMode::live, mp3);
    audio->setCapture(recorder.capture());
    ASSERT_TRUE(audio->play()) << audio->error();
    EXPECT_TRUE(audio->pump()) << "live pump only reports activity";
    ASSERT_TRUE(waitUntil([&] { return !audio->isActive(); }, std::chrono::seconds(10)));
    Bytes got = recorder.bytes();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_TRUE(audio->stop());
}

// Live, the position heard moves on smoothly between the device's requests but never passes what
// was handed out, and lags it by about one device buffer (1024 frames); once the end has been
// heard nothing plays.
TEST(AudioLive, HeardPositionFollowsTheAudioHandedToTheDevice) {
    Bytes mp3 = makeMp3({0.6, 44100, 2, 128, false});
    const double length = double(referenceDecode(mp3).size() / Audio::kBytesPerFrame) / Audio::kSampleRate;
    Recorder recorder;
    auto audio = readyAudio(AudioMode::live, mp3);
    audio->setCapture(recorder.capture());
    EXPECT_LT(audio->heardSeconds(), 0);
    ASSERT_TRUE(audio->play());
    double last = 0, highest = 0;
    int backwards = 0, ahead = 0, behind = 0, betweenBuffers = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        size_t before = recorder.size() / Audio::kBytesPerFrame;
        double heard = audio->heardSeconds();
        size_t after = recorder.size() / Audio::kBytesPerFrame;
        if (heard < 0) break;
        if (heard < last) ++backwards;
        // Requests hand out whole buffers of 1024 frames until the last one.
        if (std::fmod(heard * Audio::kSampleRate, 1024.0) > 1.0) ++betweenBuffers;
        if (heard > double(after) / Audio::kSampleRate + 1e-9) ++ahead;
        // At most the buffer just filled and the one being filled while we looked.
        if (heard < double(before) / Audio::kSampleRate - 2 * 1024.0 / Audio::kSampleRate - 0.001) ++behind;
        last = heard;
        highest = std::max(highest, heard);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(ahead, 0);
    EXPECT_EQ(behind, 0);
    EXPECT_GT(betweenBuffers, 0) << "it moves on between the device's requests";
    EXPECT_GT(highest, length - 0.25);
    EXPECT_LE(highest, length + 1e-9);
    EXPECT_LT(audio->heardSeconds(), 0) << "the end was heard";
    EXPECT_FALSE(audio->isActive());

    ASSERT_TRUE(audio->play());
    ASSERT_TRUE(waitUntil([&] { return audio->heardSeconds() > 0.05; }, std::chrono::seconds(5)));
    ASSERT_TRUE(audio->stop());
    EXPECT_LT(audio->heardSeconds(), 0);
}

TEST(AudioLive, StopStopsTheCapture) {
    Bytes mp3 = makeMp3({2.0, 44100, 2, 128, false});
    Recorder recorder;
    auto audio = readyAudio(AudioMode::live, mp3);
    audio->setCapture(recorder.capture());
    ASSERT_TRUE(audio->play());
    ASSERT_TRUE(waitUntil([&] { return recorder.size() > 0; }, std::chrono::seconds(5)));
    ASSERT_TRUE(audio->stop());
    EXPECT_FALSE(audio->isActive());
    size_t atStop = recorder.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(recorder.size(), atStop);
    EXPECT_LT(atStop, referenceDecode(mp3).size());
}

TEST(AudioLive, FailuresCarryThePlatformsReason) {
    auto audio = makeAudio(AudioMode::live);
    EXPECT_FALSE(audio->start());
    EXPECT_FALSE(audio->stop());
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    bool opened = audio->init();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_FALSE(opened);
    EXPECT_STRNE(audio->error(), "");
    // A failed init leaves the layer usable for another try.
    EXPECT_TRUE(audio->init()) << audio->error();
}

}  // namespace
