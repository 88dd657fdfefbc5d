// The built program with and without a sound device, run in a scratch directory on the build's
// generated archive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/archive_with_soundtrack.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;  // exit status; -1 when killed
    std::string err;
};

class SoundtrackProgram : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("glimmer-sound-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void useGeneratedArchive() {
        fs::create_symlink(GLIMMER_BINARY_DIR "/Glimmertide.dat", dir_ / "Glimmertide.dat");
    }

    // The generated archive's files with the soundtrack replaced by `soundtrack`, or left out.
    void useArchiveWithSoundtrack(const std::vector<uint8_t>* soundtrack) {
        ASSERT_EQ(writeArchiveWithSoundtrack(dir_ / "Glimmertide.dat", soundtrack), "");
    }

    pid_t spawn(const char* audioDriver, std::vector<std::string> args) {
        pid_t pid = fork();
        if (pid == 0) {
            setenv("SDL_AUDIODRIVER", audioDriver, 1);
            if (chdir(dir_.c_str()) != 0 || !freopen("err.txt", "w", stderr)) _exit(127);
            std::vector<char*> argv{const_cast<char*>(kProgram)};
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(kProgram, argv.data());
            _exit(127);
        }
        return pid;
    }

    // Waits for the end; with quit set, first waits until the show runs (SDL catches Ctrl-C) and
    // asks it to stop the way Ctrl-C does.
    Outcome finish(pid_t pid, bool quit) {
        bool asked = false;
        Outcome run;
        run.status = waitForExit(pid, std::chrono::seconds(60), [&] {
            if (quit && !asked && catchesInterrupt(pid)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                kill(pid, SIGINT);
                asked = true;
            }
        });
        std::ifstream in(dir_ / "err.txt");
        run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return run;
    }

    static constexpr const char* kProgram = GLIMMER_BINARY_DIR "/glimmertide";
    static constexpr const char* kUndefined = "Error - an undefined exception was thrown! Aborting...";
    fs::path dir_;
};

TEST_F(SoundtrackProgram, PlaysOnADeviceAndEndsNormally) {
    useGeneratedArchive();
    Outcome run = finish(spawn("dummy", {"window"}), true);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("soundtrack"), std::string::npos) << run.err;
}

TEST_F(SoundtrackProgram, NoDeviceEndsInTheUndefinedExceptionWithTheReasonUnlessSoundIsOff) {
    useGeneratedArchive();
    Outcome run = finish(spawn("no-such-driver", {"window"}), false);
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find(kUndefined), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("soundtrack init failed: "), std::string::npos) << run.err;

    // Sound off opens no device at all, so the same machine runs the show.
    run = finish(spawn("no-such-driver", {"window", "no audio"}), true);
    EXPECT_EQ(run.status, 0) << run.err;
}

// A missing or broken soundtrack in an otherwise complete archive: the stream cannot be made, and
// the run ends in the undefined-exception box with the decoder's reason, never a crash or hang.
TEST_F(SoundtrackProgram, MissingOrMalformedSoundtrackEndsInTheUndefinedExceptionWithTheReason) {
    std::vector<uint8_t> real = bytesOfFile(GLIMMER_BINARY_DIR "/data/glimmertide1.mp3");
    ASSERT_GT(real.size(), 3u);
    const std::string text = "ID3 this is not an mp3 at all";
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool leftOut;
    } cases[] = {
        {"left out", {}, true},
        {"empty", {}, false},
        {"text", std::vector<uint8_t>(text.begin(), text.end()), false},
        {"first three bytes", std::vector<uint8_t>(real.begin(), real.begin() + 3), false},
        {"zeros", std::vector<uint8_t>(64 * 1024, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        useArchiveWithSoundtrack(c.leftOut ? nullptr : &c.bytes);
        Outcome run = finish(spawn("dummy", {"window"}), false);
        EXPECT_EQ(run.status, 255) << run.err;
        EXPECT_NE(run.err.find(kUndefined), std::string::npos) << run.err;
        const std::string reason = "soundtrack stream failed: ";
        size_t at = run.err.find(reason);
        ASSERT_NE(at, std::string::npos) << run.err;
        EXPECT_NE(run.err[at + reason.size()], '\n') << "the reason is given";
    }
}

}  // namespace
