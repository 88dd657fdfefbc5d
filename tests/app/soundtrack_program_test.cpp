// The built program with and without a sound device, run in a scratch directory with an archive
// that holds only the soundtrack (the show's own files are not needed for these runs).
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

#include "support_archive/archive_writer.h"
#include "support_mp3/mp3_maker.h"

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

    void writeArchive(const std::vector<PackEntry>& entries) {
        std::string error;
        ASSERT_TRUE(::writeArchive((dir_ / "Glimmertide.dat").string(), entries, error)) << error;
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
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int status = 0;
        bool asked = false;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                return {};
            }
            if (quit && !asked && catchesInterrupt(pid)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                kill(pid, SIGINT);
                asked = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        Outcome run;
        if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
        std::ifstream in(dir_ / "err.txt");
        run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return run;
    }

    static bool catchesInterrupt(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("SigCgt:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16) & 2;
        return false;
    }

    static constexpr const char* kProgram = GLIMMER_BINARY_DIR "/glimmertide";
    static constexpr const char* kUndefined = "Error - an undefined exception was thrown! Aborting...";
    fs::path dir_;
};

TEST_F(SoundtrackProgram, PlaysOnADeviceAndEndsNormally) {
    writeArchive({{"data/glimmertide1.mp3", makeMp3({2.0, 44100, 2, 128, false})}});
    Outcome run = finish(spawn("dummy", {"window"}), true);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("soundtrack"), std::string::npos) << run.err;
}

TEST_F(SoundtrackProgram, NoDeviceEndsInTheUndefinedExceptionWithTheReasonUnlessSoundIsOff) {
    writeArchive({{"data/glimmertide1.mp3", makeMp3({0.5, 44100, 2, 128, false})}});
    Outcome run = finish(spawn("no-such-driver", {"window"}), false);
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find(kUndefined), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("soundtrack init failed: "), std::string::npos) << run.err;

    // Sound off opens no device at all, so the same machine runs the show.
    run = finish(spawn("no-such-driver", {"window", "no audio"}), true);
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(SoundtrackProgram, MissingOrMalformedSoundtrackFailsAtTheStream) {
    writeArchive({{"data/other.bin", {1, 2, 3}}});
    Outcome run = finish(spawn("dummy", {"window"}), false);
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find(kUndefined), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("soundtrack stream failed"), std::string::npos) << run.err;

    writeArchive({{"data/glimmertide1.mp3", std::vector<uint8_t>(4096, 0x55)}});
    run = finish(spawn("dummy", {"window"}), false);
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find("soundtrack stream failed"), std::string::npos) << run.err;
}

}  // namespace
