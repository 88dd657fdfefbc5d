#pragma once
// Runs the built program headless in a scratch directory next to the build's archive, with
// stderr kept, and waits for it with a deadline.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "support/child_process.h"

// The frames a whole recording at fps holds: frame n ≥ 1 shows the clock of n − 1 frames, and the
// first frame whose clock reaches the end cue at 13100 ticks ends the loop unrecorded.
inline int framesInWholeShow(int fps) {
    int shown = 0;
    while (static_cast<int>(videoFrameTicks(static_cast<float>(fps), shown)) < 13100) ++shown;
    return shown + 1;
}

struct Outcome {
    int status = -1;  // exit status; -1 when killed or hung
    std::string err;
};

class ProgramRecording : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("glimmer-video-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        std::filesystem::create_symlink(GLIMMER_BINARY_DIR "/Glimmertide.dat", dir / "Glimmertide.dat");
        avi = (dir / "glimmertide.avi").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // inChild runs in the child before the program starts (limits, signal dispositions).
    pid_t start(const std::vector<std::string>& args, const std::function<void()>& inChild = {}) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (inChild) inChild();
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
        run.status = waitForExit(pid, std::chrono::seconds(deadlineSeconds));
        std::ifstream in(dir / "err.txt");
        run.err.assign(std::istreambuf_iterator<char>(in), {});
        return run;
    }
    Outcome runProgram(const std::vector<std::string>& args, const std::function<void()>& inChild = {}) {
        return wait(start(args, inChild));
    }

    std::filesystem::path dir;
    std::string avi;
    int deadlineSeconds = 240;
};

