#include "video/avi_recorder.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/debug_server.h"
#include "base/exception.h"

namespace {

// The errno text for code (a negative libav code counts as its errno), or null if there is none.
const char* systemText(int code) {
    if (code < 0) code = -code;
    if (code <= 0 || code > 4095) return nullptr;
    const char* text = std::strerror(code);
    if (!text || std::strncmp(text, "Unknown error", 13) == 0) return nullptr;
    return text;
}

// Runs step; true when it ran out of memory: std::bad_alloc, or the catalogue's out-of-memory error
// that the program's allocation handler raises (the only ExceptionType the recorder's steps see).
template <class Step>
bool runsOutOfMemory(Step&& step) {
    try {
        step();
        return false;
    } catch (const std::bad_alloc&) {
        return true;
    } catch (const ExceptionType&) {
        return true;
    }
}

}  // namespace

std::string AviRecorder::fatalText(const char* message, int code) {
    const char* text = systemText(code);
    return text ? std::string(message) + " - '" + text + "'" : std::string(message) + "!";
}

void AviRecorder::show(RecorderUi::Box kind, const char* caption, const char* text) {
    if (ui_.message) {
        ui_.message(kind, caption, text);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

void AviRecorder::fatal(const char* message, int code, const std::string& detail) {
    std::string text = fatalText(message, code);
    if (!detail.empty()) text += "\n" + detail;
    fail(text.c_str());
}

void AviRecorder::fatal(const Failure& failure) {
    if (failure.code == 0) fail(failure.message);
    fatal(failure.message, failure.code, failure.detail);
}

// The file is completed before the box appears: it holds every frame written so far.
void AviRecorder::fail(const char* text) {
    failed_ = true;
    progress_.finish();
    const Failure closing = closeFile();
    std::string shown = text;
    if (!closing.detail.empty()) shown += "\n" + closing.detail;
    show(RecorderUi::Box::error, "Error!", shown.c_str());
    std::exit(1);
}

void AviRecorder::note(const std::string& text) {
    if (ui_.progressOut) std::fprintf(ui_.progressOut, "glimmertide: %s\n", text.c_str());
}

AviRecorder::AviRecorder(RecorderUi ui, const char* fileName, int width, int height, bool sound,
                         int framesPerSecond, int sampleRate, int bitsPerSample, const std::string& codec,
                         RecorderLimits limits)
    : ui_(std::move(ui)),
      limits_(limits),
      framesPerSecond_(framesPerSecond),
      width_(width),
      height_(height),
      sampleRate_(sampleRate),
      bitsPerSample_(bitsPerSample),
      blockAlign_(bitsPerSample / 8 * 2),
      sound_(sound),
      progress_(ui_.progressOut, ui_.progressOnTerminal) {
    debugServer().printf(0, "{AviRecorder::AviRecorder()}: Opening %s...", fileName);
    // Whatever can refuse the recording is settled before the file is opened, so that a refusal
    // leaves an existing file as it was.
    format_ = containerFormatFor(fileName);
    if (!format_) fail(unknownFormatText(fileName).c_str());
    makeContainerFor(chosenCodec(codec));
    if (sound_) allocateCaptureBuffer();
    openFile(fileName);
    worker_ = std::thread([this] { workerLoop(); });
}

void AviRecorder::openFile(const char* fileName) {
    if (const int error = output_.open(fileName)) fatal(format_->openFailed, error);
    if (output_.reachedThroughLink())
        note(std::string(fileName) + " is a link to " + output_.target() + ": the recording goes there");
    if (const int error = container_->open(output_.path().c_str())) {
        output_.discard();
        fatal(format_->openFailed, error);
    }
    fileOpen_ = true;
}

std::string AviRecorder::chosenCodec(const std::string& requested) {
    const std::vector<std::string> codecs = containerCodecs(*format_);
    if (!format_->avi()) {
        // These containers have no menu: their default, or a codec they take.
        const std::string refusal = codecRefusal(*format_, requested);
        if (!refusal.empty()) fail(refusal.c_str());
        return requested.empty() ? format_->defaultCodec : requested;
    }
    std::string name = requested;
    if (name.empty()) {
        if (!ui_.chooseCodec) return defaultVideoCodec;
        const int chosen = ui_.chooseCodec(codecs);
        if (chosen < 0 || chosen >= int(codecs.size())) fatal("avi dialog was aborted", 666, "Codecs: " + listed(codecs));
        name = codecs[size_t(chosen)];
    }
    if (std::find(codecs.begin(), codecs.end(), name) == codecs.end())
        fatal("avi dialog was aborted", 666, "Unknown codec '" + name + "'; codecs: " + listed(codecs));
    return name;
}

void AviRecorder::makeContainerFor(const std::string& codec) {
    ContainerSettings settings;
    settings.width = width_;
    settings.height = height_;
    settings.framesPerSecond = framesPerSecond_;
    settings.sound = sound_;
    settings.sampleRate = sampleRate_;
    settings.bitsPerSample = bitsPerSample_;
    settings.codec = codec;
    int error = 0;
    container_ = makeContainer(*format_, settings, limits_.riffLimit, &error);
    if (!container_) fatal(format_->encoderFailed, error);
    codec_ = codec;
}

void AviRecorder::allocateCaptureBuffer() {
    // calloc: zero pages come from the system lazily, so the big buffer costs what it holds.
    captureBuffer_ = static_cast<uint8_t*>(std::calloc(limits_.captureBytes, 1));
    captureSize_ = limits_.captureBytes;
    if (captureBuffer_) return;
    const bool smaller =
        !ui_.askYesNo || ui_.askYesNo("Oups. Low memory detected!",
                                      "Your system doesn't seem to have enough memory for allocating soundbuffers.\n"
                                      "Would you like to use a smaller buffer? (This might not work though :)\n");
    if (!smaller) std::exit(0);
    show(RecorderUi::Box::information, "Ehhh.. ", "Ok, let's see if this will crash or not then :)");
    captureBuffer_ = static_cast<uint8_t*>(std::calloc(limits_.reducedCaptureBytes, 1));
    captureSize_ = limits_.reducedCaptureBytes;
    if (!captureBuffer_) raise(errors::outOfMemory);
}

AviRecorder::~AviRecorder() {
    progress_.finish();
    const Failure failure = closeFile();
    if (soundSource_) soundSource_->setCapture({});
    std::free(captureBuffer_);
    // After a reported failure the file was closed before the box; the user has been told once.
    if (failure.message && !failed_) fatal(failure);
}

// Ends the worker and completes the file with every frame written so far; harmless once done.
// Returns the first failure: the worker's, the encoder's last frames' or the file's own.
AviRecorder::Failure AviRecorder::closeFile() {
    stopWorker();
    if (!fileOpen_) return {};
    fileOpen_ = false;
    Failure failure = jobFailure_;
    const bool exhausted = runsOutOfMemory([&] {
        const int closed = container_->close();
        if (!failure.message && closed) failure = {format_->videoFailed, closed};
    });
    if (exhausted && !failure.message) failure = outOfMemory();
    settleFile(failure);
    return failure;
}

// A recording with a frame in its file takes the target's place, a complete one in its final
// layout; one cut short by a failure first loses what the failed write left half done. Without a
// frame the target stays as it was.
void AviRecorder::settleFile(Failure& failure) {
    const Container::Whole whole = container_->whole();
    const bool worthKeeping = failure.message ? whole.frames : framesWritten_ > 0;
    if (!worthKeeping) {
        output_.discard();
        return;
    }
    if (failure.message)
        output_.truncate(whole.length);
    else if (container_->hasFinalLayout())
        writeFinalLayout();
    if (const int error = output_.keep()) {
        if (!failure.message) failure = {format_->videoFailed, error};
        failure.detail = "The recording is in " + output_.path();
    }
}

// Needs room for a second copy for a moment; without it the file stays as recorded, which plays too.
void AviRecorder::writeFinalLayout() {
    const int error = output_.rewrite([this](const std::string& from, const std::string& to) {
        return container_->writeFinalLayout(from.c_str(), to.c_str());
    });
    if (error)
        note(output_.target() + " stays in the fragments it was recorded in, which play all the same; " +
             fatalText("laying it out with its index first failed", error));
}

AviRecorder::Failure AviRecorder::outOfMemory() { return {errors::outOfMemory.getMessage(), 0}; }

void AviRecorder::attachSound(CaptureSource* source) { attachFrameSource(nullptr, source); }

void AviRecorder::attachFrameSource(FrameSource* frames, CaptureSource* source) {
    attachMode_ = frames ? 1 : 2;
    frameSource_ = frames;
    if (!sound_ || !source) return;
    soundSource_ = source;
    source->setCapture([this](uint8_t* block, size_t bytes) { capture(block, bytes); });
}

void AviRecorder::capture(uint8_t* block, size_t bytes) {
    // The buffer holds the whole soundtrack; anything past its end is dropped, never written.
    const size_t pos = captureWritePos_.load(std::memory_order_relaxed);
    const size_t room = captureSize_ - std::min(pos, captureSize_);
    const size_t kept = std::min(bytes, room);
    std::memcpy(captureBuffer_ + pos, block, kept);
    std::memset(block, 0, bytes);
    captureWritePos_.store(pos + kept, std::memory_order_release);
    capturedSinceWait_.fetch_add(uint32_t(bytes), std::memory_order_release);
}

void AviRecorder::waitForAudio() {
    const int64_t needed =
        ((int64_t(framesWritten_) + 1) * sampleRate_ / framesPerSecond_ - samplesWritten_) * blockAlign_;
    if (soundSource_)
        while (int64_t(capturedSinceWait_.load(std::memory_order_acquire)) <= needed && soundSource_->active())
            soundSource_->advance();
    capturedSinceWait_.store(0, std::memory_order_relaxed);
}

int AviRecorder::writeAudio(size_t from, size_t bytes) {
    const uint8_t* data = captureBuffer_ + std::min(from, captureSize_);
    if (from + bytes > captureSize_) {
        // Past the end of the buffer the soundtrack is silence.
        silence_.assign(bytes, 0);
        if (from < captureSize_) std::memcpy(silence_.data(), captureBuffer_ + from, captureSize_ - from);
        data = silence_.data();
    }
    return container_->writeAudio(data, uint32_t(bytes));
}

void AviRecorder::frameDone(int percent) {
    if (runsOutOfMemory([&] { recordFrame(percent); })) fatal(outOfMemory());
}

void AviRecorder::recordFrame(int percent) {
    Job job;
    job.buffer = nextBuffer_;
    if (sound_) {
        const size_t target = size_t((int64_t(framesWritten_) + 1) * 44100 / framesPerSecond_) * 4;
        waitForAudio();
        const int64_t n = (int64_t(framesWritten_) + 1) * sampleRate_ / framesPerSecond_ - samplesWritten_;
        if (n > 0) {
            job.audioFrom = captureReadPos_;
            job.audioBytes = size_t(n) * size_t(blockAlign_);
            samplesWritten_ += int(n);
        }
        captureReadPos_ = target;
    }
    std::vector<uint8_t>& picture = frameBuffers_[nextBuffer_];
    if (attachMode_ == 1) {
        flipRows(frameSource_->acquireFrame(), picture);
        frameSource_->releaseFrame();
    } else {
        readFrameBuffer(picture);
    }
    post(job);
    nextBuffer_ ^= 1;
    ++framesWritten_;
    if (percent >= 0) progress_.update(percent, framesWritten_);
}

void AviRecorder::readFrameBuffer(std::vector<uint8_t>& out) {
    // The frame buffer's own layout comes back as a plain copy; asking GL for BGR makes the driver
    // convert pixel by pixel, several times slower than repacking here.
    const size_t pixels = size_t(width_) * size_t(height_);
    readBack_.resize(pixels * 4);
    out.resize(pixels * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, readBack_.data());
    const uint8_t* in = readBack_.data();
    uint8_t* bgr = out.data();
    for (size_t i = 0; i < pixels; ++i, in += 4, bgr += 3) {
        bgr[0] = in[0];
        bgr[1] = in[1];
        bgr[2] = in[2];
    }
}

void AviRecorder::flipRows(const uint8_t* topDownRgb, std::vector<uint8_t>& flipped) {
    const size_t stride = size_t(width_) * 3;
    flipped.resize(stride * size_t(height_));
    for (int i = 0; i < height_; ++i) {
        const uint8_t* in = topDownRgb + size_t(height_ - 1 - i) * stride;
        uint8_t* out = flipped.data() + size_t(i) * stride;
        // The source is RGB; the bitmap wants BGR.
        for (size_t x = 0; x < stride; x += 3) {
            out[x] = in[x + 2];
            out[x + 1] = in[x + 1];
            out[x + 2] = in[x];
        }
    }
}

// Hands the frame to the worker once it has finished the one before.
void AviRecorder::post(const Job& job) {
    waitForWorker();
    {
        std::lock_guard lock(jobMutex_);
        job_ = job;
    }
    jobChanged_.notify_all();
}

// Returns once the worker is idle; reports its failure, if any, as a fatal error.
void AviRecorder::waitForWorker() {
    std::unique_lock lock(jobMutex_);
    jobChanged_.wait(lock, [this] { return !job_; });
    if (!jobFailure_.message) return;
    const Failure failure = jobFailure_;
    lock.unlock();
    fatal(failure);
}

// Lets the worker write what it holds, then ends it.
void AviRecorder::stopWorker() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(jobMutex_);
        stopping_ = true;
    }
    jobChanged_.notify_all();
    worker_.join();
}

void AviRecorder::workerLoop() {
    std::unique_lock lock(jobMutex_);
    for (;;) {
        jobChanged_.wait(lock, [this] { return job_ || stopping_; });
        if (!job_) return;
        const Job job = *job_;
        const bool failedBefore = jobFailure_.message != nullptr;
        lock.unlock();
        if (!failedBefore) runJob(job);
        lock.lock();
        job_.reset();
        jobChanged_.notify_all();
    }
}

// Worker thread: the frame's audio, then its picture. The first failure is kept for the loop.
void AviRecorder::runJob(const Job& job) {
    Failure failure;
    const bool exhausted = runsOutOfMemory([&] {
        if (job.audioBytes > 0)
            if (const int error = writeAudio(job.audioFrom, job.audioBytes))
                failure = {format_->audioFailed, error};
        if (!failure.message)
            if (const int error = container_->writeVideo(frameBuffers_[job.buffer].data()))
                failure = {format_->videoFailed, error};
    });
    if (exhausted) failure = outOfMemory();
    if (!failure.message) return;
    std::lock_guard lock(jobMutex_);
    jobFailure_ = failure;
}

bool AviRecorder::aborted() {
    if (!ended_ && ui_.cancelRequested && ui_.cancelRequested()) {
        ended_ = true;
        progress_.finish();
    }
    return ended_;
}
