// Records with the built program, headless, in a scratch directory next to the build's archive.
// At 2 frames per second the whole show is a few hundred frames.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "video/video_test_support.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;  // exit status; -1 when killed or hung
    std::string err;
};

class ProgramRecording : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("glimmer-video-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        fs::create_symlink(GLIMMER_BINARY_DIR "/Glimmertide.dat", dir / "Glimmertide.dat");
        avi = (dir / "glimmertide.avi").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    pid_t start(const std::vector<std::string>& args) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            if (!freopen("/dev/null", "r", stdin) || !freopen("err.txt", "w", stderr)) _exit(127);
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
            unsetenv("DISPLAY");
            std::vector<char*> argv{const_cast<char*>(GLIMMER_BINARY_DIR "/glimmertide")};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }
    Outcome wait(pid_t pid) {
        Outcome run;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return run;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
        std::ifstream in(dir / "err.txt");
        run.err.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }
    Outcome runProgram(const std::vector<std::string>& args) { return wait(start(args)); }

    fs::path dir;
    std::string avi;
};

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
    EXPECT_NEAR(frames, 13100 * 2 / 71.42857, 3);  // the show's length
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
    const pid_t pid = start({"video", "codec=raw"});
    // Wait until some frames are in, then stop it the way a shell or a service manager would.
    for (int i = 0; i < 600 && (!fs::exists(avi) || fs::file_size(avi) < 4'000'000); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, SIGTERM);
    const Outcome run = wait(pid);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Video was rendered"), std::string::npos) << run.err;
    const int frames = std::atoi(probeStream(avi, "v:0")["nb_read_frames"].c_str());
    EXPECT_GT(frames, 0);
    EXPECT_EQ(decodedAudio(avi).size(), size_t(frames) * 44100 / 40 * 4);
    EXPECT_EQ(decodeErrors(avi), "");
}

TEST_F(ProgramRecording, FullDiskEndsWithTheWriteErrorAndStatusOne) {
    fs::create_symlink("/dev/full", avi);
    const Outcome run = runProgram({"video", "codec=raw", "fps", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Couldn't write to avi stream - 'No space left on device'"), std::string::npos) << run.err;
}

TEST_F(ProgramRecording, UnknownCodecEndsAsAnAbortedDialog) {
    const Outcome run = runProgram({"video", "codec=divx"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("avi dialog was aborted!"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("raw, mjpeg, ffv1"), std::string::npos) << run.err;
}

}  // namespace
