// Where a recording's bytes go and what survives when it goes wrong: a file cut off at any moment
// plays, a recording without a frame never replaces the earlier file, a write error leaves what
// was written whole, and a finished file takes the target's place.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "video/container.h"
#include "video/video_test_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kExtensions[] = {".mp4", ".mkv", ".webm", ".avi"};

void writeText(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

// A frame as the recorder hands it on: BGR, bottom row first, changing with k.
std::vector<uint8_t> pictureOf(int k, int width, int height) {
    std::vector<uint8_t> bgr(size_t(width * height * 3));
    for (size_t i = 0; i < bgr.size(); i += 3) {
        const size_t x = i / 3 % size_t(width), y = i / 3 / size_t(width);
        bgr[i] = uint8_t(x + size_t(k) * 7);
        bgr[i + 1] = uint8_t(y);
        bgr[i + 2] = uint8_t(k * 3);
    }
    return bgr;
}

TEST(RecordingFile, AFileCutOffWhileRecordingPlaysUpToShortlyBeforeTheCut) {
    // Five seconds at 40 frames per second: what the encoder holds back and the piece being
    // gathered (a second) must leave at least half of it.
    constexpr int kFrames = 200;
    for (const char* extension : kExtensions) {
        SCOPED_TRACE(extension);
        const std::string file = scratchFile(std::string("cut") + extension);
        const ContainerFormat& format = *containerFormatFor(file);
        ContainerSettings settings;
        settings.width = 160;  // small frames keep the test quick; the format is what counts
        settings.height = 120;
        settings.codec = format.avi() ? "ffv1" : format.defaultCodec;
        int error = 0;
        std::unique_ptr<Container> container = makeContainer(format, settings, 1ull << 30, &error);
        ASSERT_TRUE(container) << error;
        ASSERT_EQ(container->open(file.c_str()), 0);
        std::vector<uint8_t> sound(44100 / 40 * 4);
        for (int k = 0; k < kFrames; ++k) {
            for (size_t i = 0; i < sound.size(); ++i) sound[i] = SyntheticSound::byteAt(size_t(k) * sound.size() + i);
            ASSERT_EQ(container->writeAudio(sound.data(), uint32_t(sound.size())), 0);
            ASSERT_EQ(container->writeVideo(pictureOf(k, settings.width, settings.height).data()), 0);
        }
        // The file as a kill would leave it.
        const std::string cut = scratchFile(std::string("cut-copy") + extension);
        fs::copy_file(file, cut, fs::copy_options::overwrite_existing);
        EXPECT_EQ(decodeErrors(cut), "");
        EXPECT_GE(decodedFrames(cut), kFrames / 2);
        const Container::Whole whole = container->whole();
        EXPECT_TRUE(whole.frames);
        EXPECT_EQ(whole.length, fs::file_size(file));
        container.reset();
        std::remove(file.c_str());
        std::remove(cut.c_str());
    }
}

TEST(RecordingFile, ARecordingThatEndsWithoutAFrameLeavesTheEarlierFileAsItWas) {
    const std::string before = std::string("an earlier recording") + '\0' + "kept whole";
    for (const char* extension : kExtensions) {
        SCOPED_TRACE(extension);
        const std::string file = scratchFile(std::string("kept") + extension);
        writeText(file, before);
        SyntheticSound sound(100000);
        {
            // Failing, or stopped, between start-up and the first frame.
            AviRecorder recorder(quietUi(), file.c_str(), 320, 240, true, 40, 44100, 16, "");
            recorder.attachSound(&sound);
            EXPECT_TRUE(fs::exists(file + ".part"));
        }
        EXPECT_EQ(readText(file), before);
        EXPECT_FALSE(fs::exists(file + ".part"));
        std::remove(file.c_str());
    }
}

TEST(RecordingFileDeathTest, AWriteErrorLeavesWhatWasWrittenWholeInTheTargetsPlace) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Room for two or three seconds of the five: each format stops part way, on a write error.
    const struct {
        const char* extension;
        const char* codec;
        rlim_t room;
    } cases[] = {{".mp4", "", 60 << 10}, {".mkv", "", 3 << 20}, {".webm", "", 40 << 10}, {".avi", "raw", 2 << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        // Names without the process id: the death test's child runs in a process of its own.
        const std::string file = std::string("video_test_room") + c.extension;
        writeText(file, "an earlier recording");
        const auto recordPastTheRoom = [&] {
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
            const rlimit limit = {c.room, c.room};
            setrlimit(RLIMIT_FSIZE, &limit);
            Recording r;
            r.codec = c.codec;
            r.frames = 200;
            r.sound = false;
            record(file, r);
        };
        EXPECT_EXIT(recordPastTheRoom(), ::testing::ExitedWithCode(1),
                    std::string("to ") + (c.extension + 1) + " stream - 'File too large'");
        EXPECT_FALSE(fs::exists(file + ".part"));
        EXPECT_LE(fs::file_size(file), c.room);
        EXPECT_EQ(decodeErrors(file), "");
        EXPECT_GT(decodedFrames(file), 0);
        std::remove(file.c_str());
    }
}

TEST(RecordingFile, ThroughALinkAndTwoAtOnceTheTargetIsReplacedWhole) {
    const fs::path folder = scratchFile("linked");
    fs::create_directories(folder / "videos");
    const fs::path target = folder / "videos" / "show.mkv";
    const fs::path link = folder / "latest.mkv";
    fs::create_symlink("videos/show.mkv", link);
    std::FILE* notes = std::tmpfile();
    RecorderUi ui = quietUi();
    ui.progressOut = notes;
    SyntheticFrames frames(320, 240);
    // The second starts while the first records and ends after it; neither writes into the
    // other's file, and the target is whole after each.
    auto first = std::make_unique<AviRecorder>(ui, link.c_str(), 320, 240, false, 40, 44100, 16, "");
    auto second = std::make_unique<AviRecorder>(quietUi(), link.c_str(), 320, 240, false, 40, 44100, 16, "");
    first->attachFrameSource(&frames, nullptr);
    second->attachFrameSource(&frames, nullptr);
    for (int k = 0; k < 5; ++k) {
        first->frameDone(-1);
        second->frameDone(-1);
    }
    second->frameDone(-1);
    first.reset();
    EXPECT_EQ(decodedFrames(target.string()), 5);
    second.reset();
    EXPECT_EQ(decodedFrames(target.string()), 6);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(decodeErrors(target.string()), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator()), 1);
    std::rewind(notes);
    char line[512] = {};
    ASSERT_TRUE(std::fgets(line, sizeof line, notes));
    EXPECT_EQ(std::string(line), "glimmertide: " + link.string() + " is a link to " + target.string() +
                                     ": the recording goes there\n");
    std::fclose(notes);
    fs::remove_all(folder);
}

TEST(RecordingFile, ANameWithAColonIsAFileNotAProtocol) {
    for (const char* name : {"at-12:30.mkv", "at-12:30.mp4"}) {
        const std::string file = scratchFile(name);
        Recording r;
        r.codec = "";
        r.frames = 3;
        r.sound = false;
        EXPECT_EQ(record(file, r), 3);
        EXPECT_EQ(decodedFrames("./" + file), 3) << name;  // ffprobe too reads "x:" as a protocol
        std::remove(file.c_str());
    }
}

TEST(RecordingFileDeathTest, WhenTheRecordingCannotTakeTheTargetsPlaceItSaysWhereItIs) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string file = "video_test_taken.mp4";
    fs::remove_all(file);
    EXPECT_EXIT(
        {
            SyntheticFrames frames(320, 240);
            AviRecorder recorder(quietUi(), file.c_str(), 320, 240, false, 40, 44100, 16, "");
            recorder.attachFrameSource(&frames, nullptr);
            recorder.frameDone(-1);
            // Meanwhile something took the name that a file cannot replace.
            fs::create_directories(file + "/inside");
        },
        ::testing::ExitedWithCode(1),
        "Couldn't write to mp4 stream - 'Is a directory'\nThe recording is in " + file + ".part");
    EXPECT_EQ(decodedFrames(file + ".part"), 1);
    fs::remove_all(file);
    std::remove((file + ".part").c_str());
}

}  // namespace
