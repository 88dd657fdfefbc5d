#include "app/soundtrack.h"

#include "base/debug_server.h"
#include "platform/clock.h"
#include "support/recording_audio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using Calls = std::vector<std::string>;

// A loose "data/glimmertide1.mp3" in the test's working directory; its bytes need not be an MP3
// for the double.
class SoundtrackTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories("data");
        std::ofstream(kSoundtrackFile, std::ios::binary) << "ID3 not really an mp3";
    }
    void TearDown() override { std::filesystem::remove(kSoundtrackFile); }

    DebugServer log{11, 0};
    FileServer files{log, 200};
    FileData bytes;
    RecordingAudio audio;
};

TEST_F(SoundtrackTest, SoundOffMakesNoAudioCallAtAll) {
    bool attached = false;
    startSoundtrack(false, audio, files, bytes, [&] { attached = true; });
    followSoundtrack(false, audio);
    stopSoundtrack(false, audio);
    EXPECT_TRUE(audio.calls.empty());
    EXPECT_FALSE(attached);
    EXPECT_FALSE(bytes);
}

TEST_F(SoundtrackTest, SoundOnRunsTheStepsInOrderWithTheArchiveBytes) {
    startSoundtrack(true, audio, files, bytes, [&] { audio.calls.push_back("attach"); });
    EXPECT_EQ(audio.calls, (Calls{"init", "createStream", "start", "attach", "play"}));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(audio.streamBytes, bytes.get()) << "the stream reads the bytes the run keeps";
    EXPECT_EQ(audio.streamSize, std::string("ID3 not really an mp3").size());
    stopSoundtrack(true, audio);
    EXPECT_EQ(audio.calls.back(), "stop");
}

TEST_F(SoundtrackTest, EachFailingStepThrowsItsIntegerAndGoesNoFurther) {
    const struct {
        const char* call;
        int thrown;
        Calls made;
    } cases[] = {
        {"init", 0, {"init"}},
        {"createStream", 1, {"init", "createStream"}},
        {"start", 2, {"init", "createStream", "start"}},
        {"play", 3, {"init", "createStream", "start", "play"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        RecordingAudio failing;
        failing.failing = c.call;
        FileData kept;
        try {
            startSoundtrack(true, failing, files, kept);
            ADD_FAILURE() << "no throw";
        } catch (int thrown) {
            EXPECT_EQ(thrown, c.thrown);
        }
        EXPECT_EQ(failing.calls, c.made);
    }
    audio.failing = "stop";
    try {
        stopSoundtrack(true, audio);
        ADD_FAILURE() << "no throw";
    } catch (int thrown) {
        EXPECT_EQ(thrown, 4);
    }
}

// Once a frame the demo clock is moved onto the audio being heard, and left alone while nothing plays.
TEST_F(SoundtrackTest, TheClockFollowsTheSoundtrackBeingHeard) {
    startClock(71);
    audio.heard = -1.0;
    followSoundtrack(true, audio);
    EXPECT_LT(currentTicks(), 5) << "nothing heard: the clock runs on its own";
    audio.heard = 10.0;
    followSoundtrack(true, audio);
    EXPECT_NEAR(currentTicks(), 714, 2) << "10 s of 14 ms ticks";
    EXPECT_EQ(audio.calls, (Calls{"heardSeconds", "heardSeconds"}));
    stopClock();
}

TEST_F(SoundtrackTest, MalformedSoundtrackFailsAtTheStreamWithTheRealLayer) {
    auto audio = makeAudio(AudioMode::decodeOnly);
    try {
        startSoundtrack(true, *audio, files, bytes);
        ADD_FAILURE() << "no throw";
    } catch (int thrown) {
        EXPECT_EQ(thrown, 1);
    }
    EXPECT_FALSE(audio->isActive());
}

}  // namespace
