// The soundtrack player in a browser: the same MP3 decoder as the desktop's, its blocks scheduled
// back to back on the page's Web Audio context (audio_web.js) a little ahead of what is heard.
// Decode-only, nothing is scheduled and the owner pulls blocks with pump(), as on the desktop.
#include <emscripten.h>
#include <emscripten/eventloop.h>

#include <string>

#include "platform/audio.h"
#include "platform/mp3_decoder.h"

namespace {

// clang-format off
EM_JS(int, jsAudioBegin, (), { return Module.webAudioOutput.begin(); });
EM_JS(void, jsAudioProblem, (char* out, int size), {
    stringToUTF8(Module.webAudioOutput.problem || "Web Audio is not available", out, size);
});
EM_JS(double, jsAudioAhead, (), { return Module.webAudioOutput.ahead(); });
EM_JS(void, jsAudioSchedule, (const int16_t* samples, int frames), {
    Module.webAudioOutput.schedule(samples, frames);
});
EM_JS(double, jsAudioHeard, (int ended), { return Module.webAudioOutput.heard(!!ended); });
EM_JS(void, jsAudioStop, (), { Module.webAudioOutput.stop(); });
// clang-format on

class WebAudio final : public Audio {
public:
    explicit WebAudio(AudioMode mode) : mode_(mode) {}
    WebAudio(const WebAudio&) = delete;
    WebAudio& operator=(const WebAudio&) = delete;
    ~WebAudio() override { stopFeeding(); }

    bool init() override {
        if (ready_) return fail("audio is already initialised");
        if (mode_ == AudioMode::live && !jsAudioBegin()) {
            char problem[256];
            jsAudioProblem(problem, sizeof problem);
            return fail(problem);
        }
        return ready_ = true;
    }

    bool createStream(const uint8_t* mp3, size_t size) override {
        if (!ready_) return fail("audio is not initialised");
        if (!mp3 || size == 0) return fail("no MP3 data");
        playing_ = active_ = false;
        return decoder_.open(mp3, size, error_);
    }

    // The page resumed its context with the user's click.
    bool start() override { return ready_ || fail("audio is not initialised"); }

    bool play() override {
        if (!decoder_.loaded()) return fail("no stream to play");
        if (!decoder_.rewind(error_)) return false;
        playing_ = active_ = true;
        ended_ = false;
        decodedFrames_ = 0;
        if (mode_ == AudioMode::live) {
            jsAudioStop();
            feed();
            timer_ = emscripten_set_interval([](void* self) { static_cast<WebAudio*>(self)->feed(); }, kFeedMs, this);
        }
        return true;
    }

    bool stop() override {
        if (!ready_) return fail("audio is not initialised");
        playing_ = active_ = false;
        stopFeeding();
        if (mode_ == AudioMode::live) jsAudioStop();
        return true;
    }

    void setCapture(AudioCapture capture) override { capture_ = std::move(capture); }
    bool isActive() const override { return active_; }

    bool pump() override {
        if (mode_ == AudioMode::live) return isActive();
        if (!playing_) return false;
        decodeBlock();
        return playing_;
    }

    double heardSeconds() const override {
        if (mode_ == AudioMode::decodeOnly)
            return playing_ ? double(decodedFrames_) / kSampleRate : -1.0;
        if (!timer_ && !ended_) return -1.0;  // not playing
        return jsAudioHeard(ended_);
    }

    const char* error() const override { return error_.c_str(); }

private:
    static constexpr int kBlockFrames = 8192;     // about 0.19 s a block
    static constexpr double kAheadSeconds = 1.5;  // what is scheduled beyond what is heard
    static constexpr double kFeedMs = 100;

    // Decodes the next block into block_ and shows it to the capture; ends the play at the end.
    size_t decodeBlock() {
        bool ended = false;
        const size_t bytes = decoder_.read(block_, sizeof block_, ended);
        if (bytes > 0 && capture_) capture_(block_, bytes);
        decodedFrames_ += bytes / kBytesPerFrame;
        if (ended) {
            playing_ = active_ = false;
            ended_ = true;
        }
        return bytes;
    }

    // Keeps kAheadSeconds of the stream scheduled, block by block, until it ends.
    void feed() {
        while (playing_ && jsAudioAhead() < kAheadSeconds) {
            const size_t bytes = decodeBlock();
            if (bytes > 0) jsAudioSchedule(reinterpret_cast<const int16_t*>(block_), int(bytes / kBytesPerFrame));
        }
        if (!playing_) stopFeeding();
    }

    void stopFeeding() {
        if (timer_) emscripten_clear_interval(timer_);
        timer_ = 0;
    }

    bool fail(const char* why) {
        error_ = why;
        return false;
    }

    AudioMode mode_;
    bool ready_ = false;
    bool playing_ = false;  // blocks are still to be decoded
    bool active_ = false;
    bool ended_ = false;    // the last block has been decoded and scheduled
    long timer_ = 0;
    uint64_t decodedFrames_ = 0;
    Mp3Decoder decoder_;
    AudioCapture capture_;
    std::string error_;
    alignas(4) uint8_t block_[kBlockFrames * kBytesPerFrame];
};

}  // namespace

std::unique_ptr<Audio> makeAudio(AudioMode mode) { return std::make_unique<WebAudio>(mode); }
