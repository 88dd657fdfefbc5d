// Runs the built program as a user would: in a scratch directory, headless (SDL's offscreen driver).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace fs = std::filesystem;

namespace {

const char* kProgram = GLIMMER_BINARY_DIR "/glimmertide";

struct Scratch {
    fs::path dir;
    Scratch() {
        dir = fs::temp_directory_path() /
              (std::string("glimmer-program-") + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    ~Scratch() { fs::remove_all(dir); }
    void writeEmptyArchive() const {
        std::ofstream(dir / "Glimmertide.dat", std::ios::binary)
            << "@@QuillbankPackUtilitySignatureFieldMarkV2001" << "@@@";
    }
    // The show's own data, as the build generates it.
    void copyGeneratedArchive() const {
        fs::copy_file(GLIMMER_BINARY_DIR "/Glimmertide.dat", dir / "Glimmertide.dat",
                      fs::copy_options::overwrite_existing);
    }
    std::string read(const char* name) const {
        std::ifstream in(dir / name);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

struct Outcome {
    int status = -1;  // exit status, or -1 when killed by a signal or hung
    std::string out, err;
};

// Changes to the environment the child starts with: NAME=VALUE sets, NAME alone unsets.
using Environment = std::vector<std::string>;

pid_t spawn(const Scratch& s, const std::vector<std::string>& args, const Environment& environment = {}) {
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& change : environment) {
            const size_t equals = change.find('=');
            if (equals == std::string::npos) unsetenv(change.c_str());
            else setenv(change.substr(0, equals).c_str(), change.substr(equals + 1).c_str(), 1);
        }
        if (chdir(s.dir.c_str()) != 0) _exit(127);
        if (!freopen("out.txt", "w", stdout) || !freopen("err.txt", "w", stderr)) _exit(127);
        std::vector<char*> argv{const_cast<char*>(kProgram)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(kProgram, argv.data());
        _exit(127);
    }
    return pid;
}

Outcome finish(const Scratch& s, pid_t pid, std::chrono::seconds limit = std::chrono::seconds(60)) {
    Outcome run;
    run.status = waitForExit(pid, limit);
    run.out = s.read("out.txt");
    run.err = s.read("err.txt");
    return run;
}

Outcome runProgram(const Scratch& s, const std::vector<std::string>& args, const Environment& environment = {}) {
    return finish(s, spawn(s, args, environment));
}

// A machine without a display, as a server or an ssh session has it.
const Environment kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};

}  // namespace

TEST(Program, WithoutTheArchiveItReportsTheMissingMetadata) {
    Scratch s;
    Outcome run = runProgram(s, {"window"});
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, "Fatal error!\nError - couldn't read metadata! Aborting...\n");

    // A file that is no archive ends the same way.
    std::ofstream(s.dir / "Glimmertide.dat") << "not an archive";
    run = runProgram(s, {});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find("Error - couldn't read metadata! Aborting..."), std::string::npos);
}

TEST(Program, AScaleOutsideOneToEightIsRefusedBeforeAnythingOpens) {
    Scratch s;  // no archive: the refusal comes first
    for (const char* value : {"9", ""}) {  // the values themselves: Options tests
        const Outcome run = runProgram(s, {"window", std::string("SCALE=") + value});
        EXPECT_EQ(run.status, 1) << value;
        EXPECT_EQ(run.err, std::string("glimmertide: scale=") + value + " is not a scale from 1 to 8\n");
    }
}

TEST(Program, AShotIsThePagesWordAndRefusedHere) {
    Scratch s;  // no archive: the refusal comes first
    const Outcome run = runProgram(s, {"window", "shot=7000"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "glimmertide: shot= is a word of the browser page; glimmershot --at TICK takes a frame here\n");
}

TEST(Program, AnUnknownWayOfDrawingLinesIsRefusedBeforeAnythingOpens) {
    Scratch s;  // no archive: the refusal comes first
    for (const char* value : {"wide", "", "native2"}) {
        const Outcome run = runProgram(s, {"window", std::string("lines=") + value});
        EXPECT_EQ(run.status, 1) << value;
        EXPECT_EQ(run.err, std::string("glimmertide: lines=") + value + " is not a way of drawing lines: native or quads\n");
    }
    // A known way goes on, as far as the missing archive.
    const Outcome run = runProgram(s, {"window", "Lines=QUADS"});
    EXPECT_EQ(run.status, 255);
    EXPECT_NE(run.err.find("couldn't read metadata"), std::string::npos);
}

TEST(Program, HelpAndVersionOpenNothing) {
    Scratch s;  // no archive: answering must not need one
    for (const char* word : {"--help", "help"}) {
        Outcome run = runProgram(s, {word});
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find("no sound"), std::string::npos);
        EXPECT_NE(run.out.find("fps"), std::string::npos);
        EXPECT_NE(run.out.find("lines=WAY"), std::string::npos);
        EXPECT_NE(run.out.find("GLIMMERTIDE_LINE_WIDTH_LIMIT"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
    Outcome run = runProgram(s, {"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("glimmertide ", 0), 0u);
}

TEST(Program, QuitRequestEndsTheShowNormally) {
    Scratch s;
    s.copyGeneratedArchive();
    // Windowed and full screen (drawn offscreen and scaled); credits print at the end headless.
    // Sound off: the empty archive has no soundtrack.
    for (std::vector<std::string> args : {std::vector<std::string>{"window", "credits", "no", "audio"},
                                          std::vector<std::string>{"no", "audio"}}) {
        pid_t pid = spawn(s, args);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!catchesInterrupt(pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, SIGINT);
        Outcome run = finish(s, pid);
        EXPECT_EQ(run.status, 0) << run.err;
        if (args.size() > 2) {
            EXPECT_NE(run.err.find("Credits...\n"), std::string::npos);
        }
    }
}

TEST(Program, ALiveShowWithoutADisplayStopsAtOnceAndPointsToVideo) {
    Scratch s;
    s.copyGeneratedArchive();
    const std::string advice = "; 'glimmertide video' records it without one\n";
    const struct {
        Environment environment;
        std::string reason;
    } cases[] = {
        {kNoDisplay, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
        // SDL asked for a display driver by name still needs a display.
        {{"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER=x11"}, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
        // A display that points nowhere: SDL would end up offscreen by itself.
        {{"DISPLAY=:9999", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, "the display ':9999' cannot be opened"},
    };
    for (const auto& c : cases) {
        for (std::vector<std::string> args : {std::vector<std::string>{"window", "no", "audio"},
                                              std::vector<std::string>{"hd", "credits"}}) {
            // Within seconds, where the show would run three minutes with nothing to see.
            const Outcome run = finish(s, spawn(s, args, c.environment), std::chrono::seconds(30));
            EXPECT_EQ(run.status, 1) << c.reason;
            EXPECT_NE(run.err.find("glimmertide: no display to play the show on (" + c.reason + ")" + advice),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(run.err.find("Credits..."), std::string::npos) << "nothing ran";
        }
    }
}

TEST(Program, WithoutADisplayVideoRecordsIntoAPathWithBlanks) {
    Scratch s;
    s.copyGeneratedArchive();
    fs::create_directories(s.dir / "with space");
    const fs::path file = s.dir / "with space" / "x.mkv";
    const Outcome run = runProgram(s, {"video", "out=" + file.string(), "fps", "5", "no", "audio"}, kNoDisplay);
    EXPECT_EQ(run.status, 0) << run.err;
    std::ifstream in(file, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    EXPECT_EQ(std::string(magic, 4), "\x1a\x45\xdf\xa3") << "a Matroska file";
    EXPECT_GT(fs::file_size(file), 100000u);
    EXPECT_FALSE(fs::exists(s.dir / "with")) << "no file named after the path's first word";
    EXPECT_FALSE(fs::exists(s.dir / "glimmertide.avi"));
}
