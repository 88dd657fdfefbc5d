#include "platform/audio.h"

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/mp3_decoder.h"

namespace {

class SdlAudio final : public Audio {
public:
    explicit SdlAudio(AudioMode mode) : mode_(mode) {}
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

    ~SdlAudio() override {
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        if (sdlStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool init() override {
        if (ready_) return fail("audio is already initialised");
        if (mode_ == AudioMode::decodeOnly) return ready_ = true;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(SDL_GetError());
        sdlStarted_ = true;
        SDL_AudioSpec want{};
        want.freq = kSampleRate;
        want.format = AUDIO_S16SYS;
        want.channels = kChannels;
        want.samples = kDeviceFrames;
        want.callback = &SdlAudio::deviceCallback;
        want.userdata = this;
        // No allowed changes: SDL converts and resamples if the hardware runs at another rate.
        SDL_AudioSpec have{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) {
            fail(SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            sdlStarted_ = false;
            return false;
        }
        return ready_ = true;
    }

    bool createStream(const uint8_t* mp3, size_t size) override {
        if (!ready_) return fail("audio is not initialised");
        if (!mp3 || size == 0) return fail("no MP3 data");
        Lock lock(device_);
        playing_ = false;
        active_ = false;
        markHeard(HeardMark{});
        return decoder_.open(mp3, size, error_) || fail();
    }

    bool start() override {
        if (!ready_) return fail("audio is not initialised");
        if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    bool play() override {
        if (!decoder_.loaded()) return fail("no stream to play");
        Lock lock(device_);
        if (!decoder_.rewind(error_)) return fail();
        playing_ = true;
        active_ = true;
        handedFrames_ = 0;
        markHeard(HeardMark{true, false, 0, 0, HeardMark::Clock::now()});
        return true;
    }

    bool stop() override {
        if (!ready_) return fail("audio is not initialised");
        {
            Lock lock(device_);
            playing_ = false;
            active_ = false;
            markHeard(HeardMark{});
        }
        if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
        return true;
    }

    void setCapture(AudioCapture capture) override {
        Lock lock(device_);
        capture_ = std::move(capture);
    }

    bool isActive() const override { return active_.load(); }

    bool pump() override {
        if (mode_ == AudioMode::live) return isActive();
        if (!playing_) return false;
        decodeBlock(block_, sizeof block_);
        return playing_;
    }

    double heardSeconds() const override {
        HeardMark mark;
        {
            std::lock_guard<std::mutex> lock(heardMutex_);
            mark = heard_;
        }
        if (!mark.playing) return -1.0;
        const double handed = static_cast<double>(mark.handedAfter) / kSampleRate;
        if (mode_ == AudioMode::decodeOnly) return mark.ended ? -1.0 : handed;
        const double since = std::chrono::duration<double>(HeardMark::Clock::now() - mark.at).count();
        // A device that stopped asking says nothing about what is heard; let the clock run alone.
        // Gaps shorter than that (a sound server starting its stream, underruns) hold the heard
        // position, so the picture waits for the sound.
        if (since > kStalledSeconds) return -1.0;
        const double heard = static_cast<double>(mark.handedBefore) / kSampleRate + since;
        if (heard < handed) return heard;
        return mark.ended ? -1.0 : handed;
    }

    const char* error() const override { return error_.c_str(); }

private:
    // What the last request for audio handed out. The device asks for a buffer as the previous one
    // has been played out, so what is heard now is about where the buffer just filled starts:
    // handedBefore, plus the time since the request.
    struct HeardMark {
        using Clock = std::chrono::steady_clock;
        bool playing = false;
        bool ended = false;
        uint64_t handedBefore = 0;  // stream frames handed out before the last request
        uint64_t handedAfter = 0;   // ... and after it
        Clock::time_point at;       // when the last request was served
    };
    static constexpr double kStalledSeconds = 3.0;

    static constexpr int kDeviceFrames = 1024;  // about 23 ms per device buffer
    static constexpr size_t kBlockBytes = 2048 * kBytesPerFrame;

    // Holds the device's lock (so its thread is not inside the callback) for one scope.
    class Lock {
    public:
        explicit Lock(SDL_AudioDeviceID device) : device_(device) {
            if (device_ != 0) SDL_LockAudioDevice(device_);
        }
        ~Lock() {
            if (device_ != 0) SDL_UnlockAudioDevice(device_);
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        SDL_AudioDeviceID device_;
    };

    static void SDLCALL deviceCallback(void* self, Uint8* out, int bytes) {
        auto* audio = static_cast<SdlAudio*>(self);
        size_t decoded = 0;
        // Nothing may leave the device's thread (that would be std::terminate): a block that cannot
        // be decoded, out of memory for one, ends the play and the show goes on in silence.
        try {
            if (audio->playing_) decoded = audio->decodeBlock(out, static_cast<size_t>(bytes));
        } catch (...) {
            audio->playing_ = false;
            audio->active_ = false;
            audio->markHeard(HeardMark{});
        }
        // Signed 16-bit silence is all zeros.
        std::memset(out + decoded, 0, static_cast<size_t>(bytes) - decoded);
    }

    // Decodes the next block into out and shows it to the capture; ends the play at the end.
    size_t decodeBlock(uint8_t* out, size_t bytes) {
        bool ended = false;
        size_t decoded = decoder_.read(out, bytes, ended);
        if (decoded > 0 && capture_) capture_(out, decoded);
        if (ended) {
            playing_ = false;
            active_ = false;
        }
        uint64_t before = handedFrames_;
        handedFrames_ += decoded / kBytesPerFrame;
        markHeard(HeardMark{true, ended, before, handedFrames_, HeardMark::Clock::now()});
        return decoded;
    }

    void markHeard(const HeardMark& mark) {
        std::lock_guard<std::mutex> lock(heardMutex_);
        heard_ = mark;
    }

    bool fail(const char* why) {
        error_ = why;
        return false;
    }
    bool fail() { return false; }

    AudioMode mode_;
    bool ready_ = false;
    bool sdlStarted_ = false;
    SDL_AudioDeviceID device_ = 0;
    Mp3Decoder decoder_;
    bool playing_ = false;  // written under the device lock, read by the device's thread
    std::atomic<bool> active_{false};
    AudioCapture capture_;
    uint64_t handedFrames_ = 0;  // stream frames decoded since play(); the decoding thread's
    mutable std::mutex heardMutex_;
    HeardMark heard_;  // guarded by heardMutex_
    std::string error_;
    alignas(4) uint8_t block_[kBlockBytes];
};

}  // namespace

std::unique_ptr<Audio> makeAudio(AudioMode mode) { return std::make_unique<SdlAudio>(mode); }
