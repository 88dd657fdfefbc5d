// The recorder's steps: video mode writes every presented frame, with the soundtrack pulled from
// the decode-only player, into "glimmertide.avi" or the out= file. Ctrl-C (or SIGTERM) stops the
// recording.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/stages.h"
#include "math/projection.h"
#include "platform/audio.h"
#include "platform/message_box.h"
#include "platform/terminal.h"
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

// The capture source is declared first so that it outlives the recorder, whose destructor
// (also run by the exit handlers after a fatal error) detaches from it.
std::unique_ptr<SoundtrackCapture> g_capture;
std::unique_ptr<AviRecorder> g_recorder;

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
        showMessageBox(caption, text, kind == RecorderUi::Box::error ? BoxIcon::error : BoxIcon::information);
    };
    // Without a display the smaller buffer is tried: the show needs far less than it holds.
    ui.askYesNo = [](const char* caption, const char* text) { return askYesNo(caption, text, true); };
    if (boxesCanBeShown())
        ui.chooseCodec = [file](const std::vector<std::string>& codecs) { return chooseCodecInBox(file, codecs); };
    ui.cancelRequested = [] { return terminal::cancelRequested(); };
    ui.progressOut = stderr;
    ui.progressOnTerminal = terminal::isTerminal(stderr);
    return ui;
}

}  // namespace

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
                                               static_cast<int>(run.framesPerSecond), 44100, 16, run.videoCodec);
}

void attachSilentRecording(KWindow&) { g_recorder->attachSound(nullptr); }

void attachRecordedSoundtrack(KWindow&, Audio& audio) {
    g_capture = std::make_unique<SoundtrackCapture>(audio);
    g_recorder->attachSound(g_capture.get());
}

bool recordingAborted() { return g_recorder->aborted(); }

void recordFrame(int progressPercent) { g_recorder->frameDone(progressPercent); }

void finishRecording(RunState& run) {
    // The file is complete before the box says so.
    const bool cancelled = g_recorder->cancelled();
    g_recorder.reset();
    terminal::releaseInterrupts();
    if (cancelled) return;
    char text[64];
    std::snprintf(text, sizeof text, "Video was rendered in %d fps.", static_cast<int>(run.framesPerSecond));
    showMessageBox("Finished!", text, BoxIcon::information);
}
