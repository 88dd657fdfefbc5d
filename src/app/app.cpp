#include "app/app.h"

#include <cstdio>
#include <new>
#include <string>

#include "app/debug_server.h"
#include "app/exception.h"
#include "app/information.h"
#include "app/options.h"
#include "app/stages.h"
#include "archive/file_server.h"
#include "math/ktable.h"
#include "math/projection.h"
#include "platform/clock.h"
#include "platform/data_folder.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace {

constexpr const char* kFatalCaption = "Fatal error!";
constexpr int kShowLength = 13100;

// Process-wide objects: created once and never destroyed, so that nothing running at process exit
// can log into a server that is already gone.
DebugServer* g_log = nullptr;
ExceptionServer* g_exceptions = nullptr;
FileServer* g_files = nullptr;
KTable* g_table = nullptr;
KWindow* g_window = nullptr;

const char* kCredits =
    "Glimmertide\n"
    "a real-time demo\n\n"
    "made by the Glimmertide crew\n"
    "code: the Glimmertide engineers\n"
    "music: the Glimmertide soundtrack team\n\n"
    "contact: crew@glimmertide.example\n"
    "         https://glimmertide.example\n";

int serverFailed(const char* text) {
    showMessageBox(kFatalCaption, text, BoxIcon::error);
    return 3;
}

void openWindow(const std::string& commandLine, const RunState& run) {
    g_window = new KWindow("Glimmertide", 640, 480, KWindow::kWindowed);
    fileServer().openArchive(findDataFile("Glimmertide.dat", programFolder()).c_str());
    if (run.videoMode || windowOption(commandLine))
        g_window->open(1, " ", projection::kWindowWidth, projection::kWindowHeight, KWindow::kWindowed);
    else
        g_window->open(1, " ", projection::kPictureWidth, projection::kPictureHeight, KWindow::kFullScreen);
    if (run.videoMode) g_window->hide();
}

void startUp(const std::string& commandLine, RunState& run) {
    run.soundOn = soundOption(commandLine);
    run.videoMode = videoOption(commandLine);
    g_table = new KTable(65536, projection::kPictureWidth, projection::kPictureHeight, 32, projection::kFov);
    openWindow(commandLine, run);
    setUpShow();

    // A rate of 0 would make the video clock and the recorder's audio arithmetic undefined.
    int fps = framesPerSecondOption(commandLine);
    run.framesPerSecond = static_cast<float>(fps > 0 ? fps : 40);
    if (run.videoMode) createRecorder(run);
    if (run.soundOn)
        beginSoundtrack(run, *g_window);
    else if (run.videoMode)
        attachSilentRecording(*g_window);

    prepareFirstFrame();
    if (!run.videoMode) startClock(71);
}

// Video mode, after the swap: advance the clock one frame and record the frame just shown.
// False when the recording was cancelled.
bool recordVideoFrame(RunState& run) {
    setTicks(videoFrameTicks(run.framesPerSecond, run.videoFrame));
    if (recordingAborted()) return false;
    recordFrame(static_cast<int>(static_cast<float>(currentTicks()) / kShowLength * 100));
    ++run.videoFrame;
    return true;
}

void runFrames(RunState& run) {
    KWindow& window = *g_window;
    while (!window.quitRequested()) {
        if (run.soundOn && !run.videoMode) keepClockWithSoundtrack();
        if (!renderShowFrame()) break;  // the end cue: nothing more of this frame is done
        window.pumpMessages();
        window.swapBuffers();
        if (run.videoMode && !recordVideoFrame(run)) break;
    }
}

void shutDown(const std::string& commandLine, RunState& run) {
    if (run.videoMode)
        finishRecording(run);
    else
        stopClock();
    if (run.soundOn) endSoundtrack();
    g_window->close();
    if (creditsOption(commandLine)) showMessageBox("Credits...", kCredits, BoxIcon::information);
}

}  // namespace

int runGlimmertide(int argc, char** argv) {
    // --help and --version open nothing, not even the archive.
    if (answeredInformationRequest(argc, argv, "glimmertide", optionHelp(), "help")) return 0;
    std::string commandLine = commandLineText(argc, argv);
    RunState run;
    if (std::string file = takeOutOption(commandLine); !file.empty()) run.videoFile = file;
    run.videoCodec = takeCodecOption(commandLine);
    if (videoOption(commandLine) && !recordingRequestValid(commandLine, run)) return 1;
    installMessageBoxes();

    g_log = new (std::nothrow) DebugServer(11, 0);
    if (!g_log) return serverFailed("Error - Couldn't initialize debug-server! Aborting...");
    installDebugServer(*g_log);
    g_exceptions = new (std::nothrow) ExceptionServer(*g_log);
    if (!g_exceptions) return serverFailed("Error - Couldn't initialize exception-server! Aborting...");
    g_files = new (std::nothrow) FileServer(*g_log, 200);
    if (!g_files) return serverFailed("Error - Couldn't initialize file-server! Aborting...");
    installFileServer(*g_files);
    installOutOfMemoryHandler();
    g_log->setThreshold(0);

    return runCatchingErrors(
        *g_exceptions,
        [&] {
            startUp(commandLine, run);
            runFrames(run);
            shutDown(commandLine, run);
        },
        [] {
            if (g_window) g_window->close();
        });
}

int runCatchingErrors(ExceptionServer& exceptions, const std::function<void()>& body,
                      const std::function<void()>& closeWindow) {
    auto closeQuietly = [&] {
        try {
            closeWindow();
        } catch (...) {
        }
    };
    try {
        body();
        return 0;
    } catch (const ExceptionType& error) {
        closeQuietly();
        exceptions.report(error);
    } catch (...) {
        closeQuietly();
        exceptions.report(errors::undefinedException);
    }
    return -1;
}
