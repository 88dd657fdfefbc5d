// Recordings cut off the hard way, in every format: killed outright, or stopped by a full disk.
// What the program managed to write plays, and an earlier file of the same name is never lost.
// Seconds of rendering at 40 frames per second each, so they stay out of the sanitizer run.
#include <cstdlib>

#include "video/program_runner.h"
#include "video/small_disk.h"
#include "video/video_test_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kFormats[] = {".mp4", ".mkv", ".webm", ".avi"};

// The frame count of the last progress line ("frame N"), 0 before the first.
int lastReportedFrame(const std::string& err) {
    const size_t at = err.rfind("frame ");
    return at == std::string::npos ? 0 : std::atoi(err.c_str() + at + 6);
}

TEST_F(ProgramRecording, AKilledRecordingPlaysFromItsPartFileAndTheEarlierFileStays) {
    // A file may lose its last two seconds (80 frames): stopped past 1000 frames, that stays
    // under a tenth.
    constexpr int kFramesBeforeKill = 1000;
    for (const char* extension : kFormats) {
        SCOPED_TRACE(extension);
        const fs::path target = dir / (std::string("killed") + extension);
        std::ofstream(target) << "an earlier recording";
        fs::remove(dir / "err.txt");  // the last run's progress
        const pid_t pid = start({"video", "out=" + target.filename().string()});
        for (int i = 0; i < 3000 && lastReportedFrame(readText(dir / "err.txt")) < kFramesBeforeKill; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, SIGKILL);
        const int reported = lastReportedFrame(wait(pid).err);
        ASSERT_GE(reported, kFramesBeforeKill);

        const std::string part = target.string() + ".part";
        EXPECT_EQ(decodeErrors(part), "");
        EXPECT_GE(decodedFrames(part), reported * 9 / 10) << "of " << reported;
        EXPECT_EQ(readText(target), "an earlier recording");
    }
}

TEST_F(ProgramRecording, AFullDiskLeavesAFileThatPlaysUpToItsLastSecond) {
    // Room for four to six hundred frames of each, without sound.
    const struct {
        const char* extension;
        uint64_t room;
    } cases[] = {{".mp4", 24 << 10}, {".mkv", 768 << 10}, {".webm", 24 << 10}, {".avi", 768 << 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        SmallDisk disk(dir / "disk", c.room);
        const std::string name = std::string("full") + c.extension;
        const std::string file = (dir / "disk" / name).string();
        std::ofstream(file) << "an earlier recording";
        const Outcome run = runProgram({"video", "no audio", "out=disk/" + name}, [&] { disk.limitChild(); });
        EXPECT_EQ(run.status, 1) << run.err;
        const std::string message =
            std::string("Couldn't write to ") + (c.extension + 1) + " stream - '" + disk.errorText() + "'";
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;

        // The recording took the earlier file's place, cut back to what was written whole.
        EXPECT_FALSE(fs::exists(file + ".part"));
        EXPECT_LE(fs::file_size(file), c.room);
        EXPECT_EQ(decodeErrors(file), "");
        const int reported = lastReportedFrame(run.err);
        EXPECT_GT(reported, 0);
        EXPECT_GE(decodedFrames(file), reported - 2 * 40) << "of " << reported;
    }
}

}  // namespace
