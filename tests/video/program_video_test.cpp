// Records with the built program, headless, in a scratch directory next to the build's archive.
// At 2 frames per second the whole show is a few hundred frames.
#include "support/archive_with_soundtrack.h"
#include "video/program_runner.h"
#include "video/video_test_support.h"

namespace fs = std::filesystem;

namespace {

TEST_F(ProgramRecording, WholeShowWithSoundAtTheCodecAndRateNamed) {
    // "codec=ffv1" carries a digit: taken out first, the frame rate is 2, not 1.
    const Outcome run = runProgram({"video", "codec=ffv1", "fps", "2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Video was rendered in 2 fps."), std::string::npos) << run.err;
    int streams = 0;
    auto all = probeAll(avi, &streams);
    EXPECT_EQ(streams, 2);
    EXPECT_EQ(all["video"]["codec_name"], "ffv1");
    EXPECT_EQ(all["video"]["width"], "320");
    EXPECT_EQ(all["video"]["height"], "240");
    EXPECT_EQ(all["video"]["r_frame_rate"], "2/1");
    const int frames = std::atoi(all["video"]["nb_read_frames"].c_str());
    EXPECT_EQ(frames, framesInWholeShow(2));
    EXPECT_EQ(all["audio"]["sample_fmt"], "s16");
    EXPECT_EQ(decodedAudio(avi).size(), size_t(frames) * 22050 * 4);
    EXPECT_EQ(decodeErrors(avi), "");
}

TEST_F(ProgramRecording, SoundOffGivesOnlyTheVideoStream) {
    const Outcome run = runProgram({"video", "no", "sound", "codec=mjpeg", "fps", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(streamCount(avi), 1);
    EXPECT_EQ(probeStream(avi, "v:0")["codec_name"], "mjpeg");
}

TEST_F(ProgramRecording, TerminatedRecordingIsCompleteWithoutTheFinishedBox) {
    // An .mp4 plays only once its index is written: stopping writes it too.
    struct Case {
        std::string out, codec;
        uintmax_t grown;  // bytes in the file before it is stopped
    };
    for (const Case& c : {Case{"glimmertide.avi", "raw", 4'000'000}, Case{"stopped.mp4", "h264", 100'000}}) {
        SCOPED_TRACE(c.out);
        const std::string file = (dir / c.out).string();
        const pid_t pid = start({"video", "codec=" + c.codec, "out=" + c.out});
        // Wait until some frames are in, then stop it the way a shell or a service manager would.
        const std::string part = file + ".part";
        for (int i = 0; i < 600 && (!fs::exists(part) || fs::file_size(part) < c.grown); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(pid, SIGTERM);
        const Outcome run = wait(pid);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_FALSE(fs::exists(part)) << "the stopped recording took its name";
        EXPECT_EQ(run.err.find("Video was rendered"), std::string::npos) << run.err;
        const int frames = std::atoi(probeStream(file, "v:0")["nb_read_frames"].c_str());
        EXPECT_GT(frames, 0);
        EXPECT_EQ(decodeErrors(file), "");
        if (c.out.ends_with(".avi")) {
            EXPECT_EQ(decodedAudio(file).size(), size_t(frames) * 44100 / 40 * 4);
        }
    }
}

TEST_F(ProgramRecording, FullDiskEndsWithTheWriteErrorAndStatusOne) {
    fs::create_symlink("/dev/full", avi);
    fs::create_symlink("/dev/full", dir / "full.mkv");
    Outcome run = runProgram({"video", "codec=raw", "fps", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Couldn't write to avi stream - 'No space left on device'"), std::string::npos) << run.err;
    run = runProgram({"video", "out=full.mkv", "fps", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Couldn't write to mkv stream - 'No space left on device'"), std::string::npos) << run.err;
}

TEST_F(ProgramRecording, UnknownCodecFileTypeOrTooHighARateIsRefusedBeforeTheFileIsTouched) {
    std::ofstream(avi) << "an earlier recording";
    Outcome run = runProgram({"video", "codec=divx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("avi dialog was aborted!"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("ffv1, raw, mjpeg"), std::string::npos) << run.err;

    // Far past what the clock's arithmetic holds.
    run = runProgram({"video", "fps", "99999999999"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glimmertide: cannot record at 99999999999 frames per second (at most 1000)\n");
    EXPECT_EQ(readText(avi), "an earlier recording");

    // The file type and a codec that does not go into it are refused before the scenes load.
    run = runProgram({"video", "out=show.mov"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glimmertide: unknown file type of 'show.mov': recordings are .avi, .mp4, .mkv or .webm\n");
    EXPECT_FALSE(fs::exists(dir / "show.mov"));
    run = runProgram({"video", "out=show.webm", "codec=h264"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glimmertide: codec=h264 does not go into .webm files, which take: vp9\n");
    EXPECT_FALSE(fs::exists(dir / "show.webm"));
}

// The earlier file is byte for byte what it was and nothing was left beside it.
void expectUntouched(const fs::path& file, const std::string& before) {
    EXPECT_EQ(readText(file), before) << file;
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 3)
        << "the archive, the error log and " << file;
}

TEST_F(ProgramRecording, ADamagedSoundtrackOrUnknownCodecLeavesTheEarlierFileByteForByte) {
    const std::string before = std::string("an earlier recording") + '\0' + "with every byte kept";
    fs::remove(dir / "Glimmertide.dat");
    const std::vector<uint8_t> damaged(64 * 1024, 0);
    ASSERT_EQ(writeArchiveWithSoundtrack(dir / "Glimmertide.dat", &damaged), "");
    for (const char* name : {"keep.mp4", "keep.mkv", "keep.webm", "keep.avi"}) {
        SCOPED_TRACE(name);
        std::ofstream(dir / name, std::ios::binary) << before;
        // The recorder is ready and the file open before the soundtrack is found damaged.
        Outcome run = runProgram({"video", "fps", "1", std::string("out=") + name});
        EXPECT_EQ(run.status, 255) << run.err;
        EXPECT_NE(run.err.find("soundtrack stream failed"), std::string::npos) << run.err;
        expectUntouched(dir / name, before);

        run = runProgram({"video", "fps", "1", "codec=divx", std::string("out=") + name});
        EXPECT_EQ(run.status, 1) << run.err;
        expectUntouched(dir / name, before);
        fs::remove(dir / name);
    }
}

TEST_F(ProgramRecording, AFolderThatCannotBeWrittenLeavesTheEarlierFileByteForByte) {
    // The file may be written, its folder not; root writes any folder, so the program runs as
    // nobody then.
    const fs::path folder = dir / "closed";
    fs::create_directories(folder);
    const std::string before = "an earlier recording";
    std::ofstream(folder / "keep.mkv") << before;
    fs::permissions(folder / "keep.mkv", fs::perms::all);
    fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::permissions(dir, fs::perms::all);  // for the error log
    const Outcome run = runProgram({"video", "fps", "1", "no audio", "out=closed/keep.mkv"}, [] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(126);
    });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Couldn't open mkv file! - 'Permission denied'"), std::string::npos) << run.err;
    EXPECT_EQ(readText(folder / "keep.mkv"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
