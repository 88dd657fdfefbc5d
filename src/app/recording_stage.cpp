// The recorder's steps: video mode writes every presented frame, with the soundtrack pulled from
// the decode-only player, into "glimmertide.avi" or the out= file. Ctrl-C (or SIGTERM) stops the
// recording, and so does the progress window's Cancel where a display shows one.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/stages.h"
#include "math/projection.h"
#include "platform/audio.h"
#include "platform/message_box.h"
#include "platform/progress_window.h"
#include "platform/terminal.h"
#include "platform/user_folders.h"
#include "video/avi_recorder.h"

namespace {

// The player seen as the recorder's sound source: each advance decodes the next block.
class SoundtrackCapture : public CaptureSource {
public:
    explicit SoundtrackCapture(Audio& audio) : audio_(audio) {}
    void setCapture(Capture capture) override { audio_.setCapture(std::move(capture)); }
    bool active() override { return audio_.isActive(); }
    void advance() override { audio_.pump(); }

private:
    Audio& audio_;
};

// Opened with the first recorded frame, closed when the recording ends or an error box comes;
// declared before the recorder, whose error boxes (also from the exit handlers) close it.
std::unique_ptr<ProgressWindow> g_progressWindow;
bool g_progressWindowTried = false;

// The capture source is declared first so that it outlives the recorder, whose destructor
// (also run by the exit handlers after a fatal error) detaches from it.
std::unique_ptr<SoundtrackCapture> g_capture;
std::unique_ptr<AviRecorder> g_recorder;

constexpr const char* kFolderFileName = "glimmertide.mp4";

void showProgressInWindow(const std::string& file, int percent, const char* detail) {
    if (!g_progressWindowTried) {
        g_progressWindowTried = true;
        // The window's Yes stops the recording as a confirmed Ctrl-C does, and answers a question
        // the terminal may be asking meanwhile.
        g_progressWindow = ProgressWindow::open(file, terminal::requestStop);  // null without a display
    }
    if (g_progressWindow) g_progressWindow->update(percent, detail);
}

// A box with one button per codec, the first the Enter button, and Cancel; -1 for Cancel or a
// closed box.
int chooseCodecInBox(const std::string& file, const std::vector<std::string>& codecs) {
    std::string text = "Video codec for " + file + ":\n";
    for (const std::string& c : codecs) text += "\n" + c + " - " + videoCodecLabel(c);
    return chooseInBox("Video compression", text.c_str(), codecs);
}

RecorderUi recorderUi(const std::string& file) {
    RecorderUi ui;
    ui.message = [](RecorderUi::Box kind, const char* caption, const char* text) {
        if (kind == RecorderUi::Box::error) g_progressWindow.reset();  // the recording has ended
        showMessageBox(caption, text, kind == RecorderUi::Box::error ? BoxIcon::error : BoxIcon::information);
    };
    // Without a display the smaller buffer is tried: the show needs far less than it holds.
    ui.askYesNo = [](const char* caption, const char* text) { return askYesNo(caption, text, true); };
    if (boxesCanBeShown())
        ui.chooseCodec = [file](const std::vector<std::string>& codecs) { return chooseCodecInBox(file, codecs); };
    ui.cancelRequested = [] { return terminal::cancelRequested(); };
    ui.progressOut = stderr;
    ui.progressOnTerminal = terminal::isTerminal(stderr);
    ui.progressShown = [file](int percent, const char* detail) { showProgressInWindow(file, percent, detail); };
    return ui;
}

}  // namespace

bool placeRecording(const std::string& out, bool intoVideosFolder, RunState& run) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    std::string folder;
    if (!out.empty() && (out.back() == '/' || fs::is_directory(out, ignored)))
        folder = out;
    else if (!out.empty())
        run.videoFile = out;
    else if (intoVideosFolder && (folder = videosFolder()).empty()) {
        std::fprintf(stderr, "glimmertide: no videos folder to record into (HOME is not set); name a file with out=\n");
        return false;
    }
    if (folder.empty()) return true;
    run.videoFile = (fs::path(folder) / kFolderFileName).string();
    run.freshVideoName = true;
    return true;
}

bool recordingRequestValid(const std::string& commandLine, const RunState& run) {
    std::string refusal;
    const ContainerFormat* format = containerFormatFor(run.videoFile);
    if (run.shot)
        refusal = "shot= is a word of the browser page; glimmershot --at TICK takes a frame here";
    else if (framesPerSecondOption(commandLine) > kMaxFramesPerSecond)
        refusal = "cannot record at " + framesPerSecondText(commandLine) + " frames per second (at most " +
                  std::to_string(kMaxFramesPerSecond) + ")";
    else if (!format)
        refusal = unknownFormatText(run.videoFile);
    else
        refusal = codecRefusal(*format, run.videoCodec);
    if (refusal.empty()) return true;
    std::fprintf(stderr, "glimmertide: %s\n", refusal.c_str());
    return false;
}

void createRecorder(RunState& run) {
    terminal::catchInterrupts();
    g_recorder = std::make_unique<AviRecorder>(recorderUi(run.videoFile), run.videoFile.c_str(),
                                               projection::kPictureWidth * run.scale,
                                               projection::kPictureHeight * run.scale, run.soundOn,
                                               static_cast<int>(run.framesPerSecond), 44100, 16, run.videoCodec,
                                               RecorderLimits{},
                                               run.freshVideoName ? OutputFile::Replace::nothing
                                                                  : OutputFile::Replace::existing);
}

void attachSilentRecording(KWindow&) { g_recorder->attachSound(nullptr); }

void attachRecordedSoundtrack(KWindow&, Audio& audio) {
    g_capture = std::make_unique<SoundtrackCapture>(audio);
    g_recorder->attachSound(g_capture.get());
}

bool recordingAborted() { return g_recorder->aborted(); }

void recordFrame(int progressPercent) { g_recorder->frameDone(progressPercent); }

void finishRecording(RunState& run) {
    // The window goes with the last frame; the file is complete before the box says so.
    g_progressWindow.reset();
    const bool cancelled = g_recorder->cancelled();
    const std::string kept = g_recorder->close();
    g_recorder.reset();
    terminal::releaseInterrupts();
    if (cancelled) return;
    char text[64];
    std::snprintf(text, sizeof text, "Video was rendered in %d fps.", static_cast<int>(run.framesPerSecond));
    // Named in full: started from a menu, the user has no working directory to look in.
    std::error_code ignored;
    const std::string where = kept.empty() ? "" : std::filesystem::absolute(kept, ignored).string();
    const std::string shown = where.empty() ? text : std::string(text) + "\nSaved as " + where;
    showMessageBox("Finished!", shown.c_str(), BoxIcon::information);
}
