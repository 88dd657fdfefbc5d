#pragma once
// AviRecorder: writes every presented frame and its share of the soundtrack into the recording's
// file, an AVI or one of the containers its extension picks (container.h). After frame k exactly
// k × sampleRate / fps samples (truncated) have been written, so picture and sound stay aligned to
// within one sample.
//
// The file is written beside its target and takes the target's place when the recording ends with
// at least one frame in it, also when a write error stopped it; a recording that fails before its
// first frame leaves the target as it was (see platform/output_file.h).
//
// The frame loop only reads the picture back; compressing and writing run on a worker thread one
// frame behind, so the next frame renders while this one is encoded. A write error is reported at
// the next frame (or when the file is closed).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/output_file.h"
#include "video/avi_writer.h"
#include "video/container.h"
#include "video/progress.h"
#include "video/video_encoder.h"

// A soundtrack the recorder listens to. The source hands every block of decoded audio to the
// capture callback (which keeps it and may silence it in place), and says when it has ended.
class CaptureSource {
public:
    using Capture = std::function<void(uint8_t* block, size_t bytes)>;
    virtual ~CaptureSource() = default;
    virtual void setCapture(Capture capture) = 0;
    virtual bool active() = 0;
    // Lets more audio arrive: a decode-only source decodes its next block here, so recording is
    // bound by rendering alone; a playing stream just yields while its thread delivers.
    virtual void advance() = 0;
};

// Frames handed out by an object instead of read from OpenGL: top row first, RGB.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual const uint8_t* acquireFrame() = 0;
    virtual void releaseFrame() = 0;
};

// What the recorder needs from the user interface. Every member may stay empty: boxes then go to
// stderr, questions take their default, no codec menu is shown, nothing cancels.
struct RecorderUi {
    enum class Box { error, warning, information };
    std::function<void(Box kind, const char* caption, const char* text)> message;
    std::function<bool(const char* caption, const char* text)> askYesNo;  // empty: yes
    // Offers the codecs; returns the chosen index or -1 for Cancel. Empty: no display.
    std::function<int(const std::vector<std::string>& codecs)> chooseCodec;
    // Polled by aborted(): true once the user confirmed stopping the recording.
    std::function<bool()> cancelRequested;
    std::FILE* progressOut = stderr;  // progress and notes; null: none shown
    bool progressOnTerminal = false;
};

// Tunables the program leaves at their defaults; tests shrink them.
struct RecorderLimits {
    size_t captureBytes = 100'000'000;
    size_t reducedCaptureBytes = 35'000'000;
    uint64_t riffLimit = AviWriter::defaultRiffLimit;
};

class AviRecorder {
public:
    // codec: a name from containerCodecs() for the file's extension, or empty for the container's
    // default (an AVI may ask with chooseCodec instead).
    AviRecorder(RecorderUi ui, const char* fileName, int width, int height, bool sound, int framesPerSecond,
                int sampleRate, int bitsPerSample, const std::string& codec, RecorderLimits limits = {});
    ~AviRecorder();  // closes the file
    AviRecorder(const AviRecorder&) = delete;
    AviRecorder& operator=(const AviRecorder&) = delete;

    // Frames come from the current OpenGL read buffer; audio from source (null: no audio).
    void attachSound(CaptureSource* source);
    void attachFrameSource(FrameSource* frames, CaptureSource* source);

    // Records the frame just presented and its audio. percent ≥ 0 moves the progress bar.
    void frameDone(int percent);
    bool aborted();
    // Whether a cancel was confirmed, without asking again.
    bool cancelled() const { return ended_; }

    int framesWritten() const { return framesWritten_; }
    int samplesWritten() const { return samplesWritten_; }
    bool sound() const { return sound_; }
    const std::string& codec() const { return codec_; }
    const uint8_t* captureBuffer() const { return captureBuffer_; }
    size_t captureBytes() const { return captureSize_; }

    // Completes the file with every frame written so far, shows "<message> - '<error text>'" (or
    // "<message>!" when code has no text) and exits with 1.
    [[noreturn]] void fatal(const char* message, int code, const std::string& detail = {});
    static std::string fatalText(const char* message, int code);

private:
    // A failure to report: code is an errno or libav code; with code 0 the message is shown as it
    // is (the catalogue's out-of-memory text).
    struct Failure {
        Failure() = default;
        Failure(const char* message, int code) : message(message), code(code) {}
        const char* message = nullptr;
        int code = 0;
        std::string detail;  // a line shown below the message
    };
    static Failure outOfMemory();
    [[noreturn]] void fatal(const Failure& failure);
    [[noreturn]] void fail(const char* text);
    Failure closeFile();
    void openFile(const char* fileName);
    void settleFile(Failure& failure);
    void writeFinalLayout();
    void note(const std::string& text);

    std::string chosenCodec(const std::string& requested);
    void makeContainerFor(const std::string& codec);
    void allocateCaptureBuffer();
    void capture(uint8_t* block, size_t bytes);
    void waitForAudio();
    void readFrameBuffer(std::vector<uint8_t>& out);
    void flipRows(const uint8_t* topDownRgb, std::vector<uint8_t>& out);
    void show(RecorderUi::Box kind, const char* caption, const char* text);

    // One frame's share of the file: its audio (a range of the capture buffer) and its picture.
    struct Job {
        int buffer = 0;  // index into frameBuffers_
        size_t audioFrom = 0;
        size_t audioBytes = 0;
    };
    void recordFrame(int percent);
    void post(const Job& job);
    void waitForWorker();
    void stopWorker();
    void workerLoop();
    void runJob(const Job& job);
    int writeAudio(size_t from, size_t bytes);

    RecorderUi ui_;
    RecorderLimits limits_;
    const ContainerFormat* format_ = nullptr;
    std::unique_ptr<Container> container_;
    OutputFile output_;
    bool fileOpen_ = false;
    std::string codec_;
    int framesPerSecond_;
    int width_, height_;
    int framesWritten_ = 0;
    int sampleRate_;
    int bitsPerSample_;
    int samplesWritten_ = 0;
    int blockAlign_;
    bool sound_;
    size_t captureReadPos_ = 0;
    CaptureSource* soundSource_ = nullptr;
    FrameSource* frameSource_ = nullptr;
    int attachMode_ = 0;

    // Written by the capture callback (possibly on the audio thread), read by the main thread.
    uint8_t* captureBuffer_ = nullptr;
    size_t captureSize_ = 0;
    std::atomic<size_t> captureWritePos_{0};
    std::atomic<uint32_t> capturedSinceWait_{0};

    // Two pictures: the loop fills one while the worker encodes the other.
    std::vector<uint8_t> frameBuffers_[2];
    std::vector<uint8_t> readBack_;  // the frame as GL hands it out: BGRA, bottom row first
    int nextBuffer_ = 0;
    std::vector<uint8_t> silence_;  // worker only
    ProgressBar progress_;
    bool ended_ = false;
    bool failed_ = false;  // a fatal error was reported; closing stays quiet

    std::thread worker_;
    std::mutex jobMutex_;
    std::condition_variable jobChanged_;
    std::optional<Job> job_;  // posted and not yet written
    bool stopping_ = false;
    Failure jobFailure_;  // the worker's first failure
};
