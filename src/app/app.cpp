#include "app/app.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/debug_server.h"
#include "base/exception.h"
#include "app/information.h"
#include "app/options.h"
#include "app/stages.h"
#include "archive/file_server.h"
#include "math/ktable.h"
#include "math/projection.h"
#include "platform/clock.h"
#include "platform/data_folder.h"
#include "platform/frame_loop.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "show/show.h"

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

bool windowed(const std::string& commandLine, const RunState& run) {
    return run.videoMode || windowOption(commandLine);
}

int screenScale(bool windowed) {
    int width = 0, height = 0;
    if (!KWindow::desktopSize(width, height)) return 1;  // no screen to fit
    return scaleFittingScreen(width, height, windowed);
}

int serverFailed(const char* text) {
    showMessageBox(kFatalCaption, text, BoxIcon::error);
    return 3;
}

// The frame at scale 1: a window's whole client area, or the picture when full screen was asked
// for (also when it was refused and runs in a window).
int frameWidth(bool inWindow) { return inWindow ? projection::kWindowWidth : projection::kPictureWidth; }
int frameHeight(bool inWindow) { return inWindow ? projection::kWindowHeight : projection::kPictureHeight; }

void openWindowAtScale(bool inWindow, int mode, int scale) {
    g_window->open(1, " ", frameWidth(inWindow) * scale, frameHeight(inWindow) * scale, mode);
}

void openWindow(const std::string& commandLine, RunState& run) {
    g_window = new KWindow("Glimmertide", 640, 480, KWindow::kWindowed);
    fileServer().openArchive(findDataFile("Glimmertide.dat", programFolder()).c_str());
    const bool inWindow = windowed(commandLine, run);
    openWindowAtScale(inWindow, inWindow ? KWindow::kWindowed : KWindow::kFullScreen, run.scale);
    // A driver that cannot draw this large gets the largest scale it can, never thinner lines.
    const int usable = Show::scaleTheDriverDraws(run.scale, frameWidth(inWindow), frameHeight(inWindow), "glimmertide");
    if (usable < run.scale) {
        g_window->close();
        run.scale = usable;
        g_table->setResolution(projection::kPictureWidth * usable, projection::kPictureHeight * usable, 32);
        openWindowAtScale(inWindow, g_window->windowMode(), run.scale);
    }
    Show::chooseLines(run.scale, run.lines, "glimmertide");
    if (run.videoMode) g_window->hide();
}

void startUp(const std::string& commandLine, RunState& run) {
    run.soundOn = soundOption(commandLine);
    run.videoMode = videoOption(commandLine) || run.shot.has_value();
    if (run.fitScreen) run.scale = screenScale(windowed(commandLine, run));
    g_table = new KTable(65536, projection::kPictureWidth * run.scale, projection::kPictureHeight * run.scale, 32,
                         projection::kFov);
    openWindow(commandLine, run);
    setUpShow(run.scale);

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

// One turn of the frame loop; false when the loop ends.
bool runFrame(RunState& run) {
    KWindow& window = *g_window;
    if (window.quitRequested()) return false;
    if (run.soundOn && !run.videoMode) keepClockWithSoundtrack();
    if (!renderShowFrame()) return false;  // the end cue: nothing more of this frame is done
    window.pumpMessages();
    window.swapBuffers();
    return !run.videoMode || recordVideoFrame(run);
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

// Start-up, the frames and shutdown, each in the entry point's catch region: an error ends the run
// with -1 once reported. The platform drives the frames (the browser between its own events), so
// what they share lives on the heap.
int playShow(std::string commandLine, const RunState& settings) {
    struct Playing {
        std::string commandLine;
        RunState run;
        int status = 0;
    };
    auto playing = std::make_shared<Playing>(Playing{std::move(commandLine), settings});
    auto guarded = [](const std::function<void()>& body) {
        return runCatchingErrors(*g_exceptions, body, [] {
            if (g_window) g_window->close();
        });
    };
    if (int status = guarded([&] { startUp(playing->commandLine, playing->run); }); status != 0) return status;
    return runFrameLoop(
        !playing->run.videoMode,
        [playing, guarded] {
            bool more = false;
            playing->status = guarded([&] { more = runFrame(playing->run); });
            return more;
        },
        [playing, guarded] {
            if (playing->status != 0) return playing->status;
            return guarded([&] { shutDown(playing->commandLine, playing->run); });
        });
}

}  // namespace

int runGlimmertide(int argc, char** argv) {
    // --help and --version open nothing, not even the archive.
    if (answeredInformationRequest(argc, argv, "glimmertide", optionHelp(), "help")) return 0;
    std::vector<std::string> words = commandLineWords(argc, argv);
    RunState run;
    const std::string out = takeOutOption(words);
    std::string commandLine = commandLineText(words);
    if (videoOption(commandLine) && !placeRecording(out, videosOption(commandLine), run)) return 1;
    run.videoCodec = takeCodecOption(commandLine);
    if (std::optional<std::string> lines = takeLinesOption(commandLine)) {
        run.lines = lineWayNamed(*lines);
        if (!run.lines) {
            std::fprintf(stderr, "glimmertide: lines=%s is not a way of drawing lines: native or quads\n",
                         lines->c_str());
            return 1;
        }
    }
    if (std::optional<std::string> scale = takeScaleOption(commandLine)) {
        run.scale = scaleValue(*scale);
        if (!run.scale) {
            std::fprintf(stderr, "glimmertide: scale=%s is not a scale from 1 to 8\n", scale->c_str());
            return 1;
        }
    } else {
        run.fitScreen = hdOption(commandLine);
    }
    run.shot = takeShotOption(commandLine);
    const bool unseen = videoOption(commandLine) || run.shot;
    if (unseen && !recordingRequestValid(commandLine, run)) return 1;
    if (std::string reason; !unseen && !KWindow::startDisplayForLiveShow(reason)) {
        std::fprintf(stderr, "glimmertide: no display to play the show on (%s); 'glimmertide video' records it without one\n",
                     reason.c_str());
        return 1;
    }
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

    return playShow(std::move(commandLine), run);
}

int scaleFittingScreen(int screenWidth, int screenHeight, bool windowed) {
    int scale = 8;
    if (windowed) {
        while (scale > 1 && (projection::kWindowWidth * scale * 5 > screenWidth * 4 ||
                             projection::kWindowHeight * scale * 5 > screenHeight * 4))
            --scale;
    } else {
        while (scale > 1 && (projection::kPictureWidth * scale > screenWidth ||
                             projection::kPictureHeight * scale > screenHeight))
            --scale;
    }
    return scale;
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
