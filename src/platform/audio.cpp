#include "platform/audio.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>
#include <sys/types.h>

namespace {

// The MP3 bytes as libmpg123 reads them: a file that lives in memory.
struct MemoryFile {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
};

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t bytes) {
    auto* file = static_cast<MemoryFile*>(handle);
    size_t left = file->position < file->size ? file->size - file->position : 0;
    size_t n = bytes < left ? bytes : left;
    if (n > 0) std::memcpy(buffer, file->data + file->position, n);
    file->position += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t seekMemory(void* handle, off_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    off_t base = whence == SEEK_SET ? 0
               : whence == SEEK_CUR ? static_cast<off_t>(file->position)
               : whence == SEEK_END ? static_cast<off_t>(file->size)
                                    : -1;
    // Like lseek, a position past the end is allowed; reads there find nothing.
    if (base < 0 || offset < -base || offset > std::numeric_limits<off_t>::max() - base) return -1;
    file->position = static_cast<size_t>(base + offset);
    return static_cast<off_t>(file->position);
}

// Linear-interpolation resampler for stereo 16-bit audio to 44100 Hz. Output frame k sits at
// input position k * rate / 44100, computed exactly in integers, so a long stream never drifts:
// n input frames always give ceil(n * 44100 / rate) output frames.
class Resampler {
public:
    explicit Resampler(long rate) : rate_(static_cast<uint64_t>(rate)) {}

    void put(const int16_t* samples, size_t frames) {
        pending_.insert(pending_.end(), samples, samples + frames * Audio::kChannels);
    }

    // Writes up to maxFrames; at the end of the input the last frame stands in for its successor.
    size_t get(int16_t* out, size_t maxFrames, bool inputEnded) {
        size_t made = 0;
        uint64_t available = first_ + pending_.size() / Audio::kChannels;
        while (made < maxFrames) {
            uint64_t position = next_ * rate_;
            uint64_t index = position / kOut;
            int64_t fraction = static_cast<int64_t>(position % kOut);
            if (index >= available || (index + 1 >= available && !inputEnded)) break;
            const int16_t* a = &pending_[(index - first_) * Audio::kChannels];
            const int16_t* b = index + 1 < available ? a + Audio::kChannels : a;
            for (int c = 0; c < Audio::kChannels; ++c)
                *out++ = static_cast<int16_t>(a[c] + (b[c] - a[c]) * fraction / static_cast<int64_t>(kOut));
            ++next_;
            ++made;
        }
        // Keep from the frame the next output starts at.
        uint64_t keep = std::min<uint64_t>(next_ * rate_ / kOut, available);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>((keep - first_) * Audio::kChannels));
        first_ = keep;
        return made;
    }

private:
    static constexpr uint64_t kOut = Audio::kSampleRate;
    uint64_t rate_;
    uint64_t next_ = 0;   // index of the next output frame
    uint64_t first_ = 0;  // input index of pending_'s first frame
    std::vector<int16_t> pending_;
};

// One MP3 stream decoded to 44100 Hz 16-bit stereo. libmpg123 decodes at the stream's own rate
// (its own resampler costs time in proportion to the length a header claims, which hostile data
// can make huge) and doubles mono to stereo; the Resampler converts other rates.
class Mp3Decoder {
public:
    Mp3Decoder() = default;
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;
    ~Mp3Decoder() {
        close();
        if (handle_) mpg123_delete(handle_);
    }

    // A stream was opened successfully and can be played (again) from its beginning.
    bool loaded() const { return loaded_; }

    // Opens the bytes and decodes up to the first frame, so data without an MP3 in it fails here.
    bool open(const uint8_t* data, size_t size, std::string& error) {
        close();
        loaded_ = false;
        if (!handle_ && !makeHandle(error)) return false;
        file_ = MemoryFile{data, size, 0};
        if (!check(mpg123_open_handle(handle_, &file_), error)) return false;
        int channels = 0, encoding = 0;
        int found = mpg123_getformat(handle_, &rate_, &channels, &encoding);
        if (found == MPG123_DONE) error = "no MPEG audio frame in the data";
        if (found == MPG123_DONE || !check(found, error)) {
            mpg123_close(handle_);
            return false;
        }
        if (rate_ != Audio::kSampleRate) converter_ = std::make_unique<Resampler>(rate_);
        decoderEnded_ = false;
        open_ = loaded_ = true;
        return true;
    }

    // Back to the first sample: reopening repeats exactly what the first decode did.
    bool rewind(std::string& error) { return open(file_.data, file_.size, error); }

    void close() {
        if (open_) mpg123_close(handle_);
        converter_.reset();
        open_ = false;
    }

    // Fills up to `bytes` (a whole number of stereo frames) of out; fewer only when the stream
    // ends, which sets `ended`.
    size_t read(uint8_t* out, size_t bytes, bool& ended) {
        size_t total = !open_ ? 0 : converter_ ? readConverted(out, bytes) : readNative(out, bytes);
        ended = total < bytes;
        if (ended) close();
        return total;
    }

private:
    static constexpr int kIdleReads = 64;

    // Decodes at the stream's own rate straight into out; fewer bytes than asked only at the end.
    // A decoding error mid-stream ends the stream rather than the program, and so does a change
    // of sample rate (the soundtrack is one piece). The guard against reads that make no
    // progress keeps hostile data from spinning forever.
    size_t readNative(uint8_t* out, size_t bytes) {
        size_t total = 0;
        int idle = 0;
        while (total < bytes && idle < kIdleReads) {
            size_t done = 0;
            int result = mpg123_read(handle_, out + total, bytes - total, &done);
            total += done;
            idle = done > 0 ? 0 : idle + 1;
            if (result == MPG123_NEW_FORMAT && sameRate()) continue;
            if (result != MPG123_OK) break;
        }
        return total;
    }

    // Pulls resampled audio, decoding more whenever the resampler runs dry.
    size_t readConverted(uint8_t* out, size_t bytes) {
        size_t total = 0;
        while (total < bytes) {
            size_t frames = converter_->get(reinterpret_cast<int16_t*>(out + total),
                                            (bytes - total) / Audio::kBytesPerFrame, decoderEnded_);
            total += frames * Audio::kBytesPerFrame;
            if (total == bytes || decoderEnded_) break;
            size_t decoded = readNative(scratch_, sizeof scratch_);
            converter_->put(reinterpret_cast<const int16_t*>(scratch_), decoded / Audio::kBytesPerFrame);
            decoderEnded_ = decoded < sizeof scratch_;
        }
        return total;
    }

    bool sameRate() {
        long rate = 0;
        int channels = 0, encoding = 0;
        return mpg123_getformat(handle_, &rate, &channels, &encoding) == MPG123_OK && rate == rate_;
    }

    bool makeHandle(std::string& error) {
        mpg123_init();
        int result = MPG123_OK;
        handle_ = mpg123_new(nullptr, &result);
        if (!handle_) {
            error = mpg123_plain_strerror(result);
            return false;
        }
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i) mpg123_format(handle_, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
        if (!check(mpg123_replace_reader_handle(handle_, readMemory, seekMemory, nullptr), error)) {
            mpg123_delete(handle_);
            handle_ = nullptr;
            return false;
        }
        return true;
    }

    bool check(int result, std::string& error) {
        if (result == MPG123_OK) return true;
        error = result == MPG123_ERR && handle_ ? mpg123_strerror(handle_) : mpg123_plain_strerror(result);
        return false;
    }

    mpg123_handle* handle_ = nullptr;
    MemoryFile file_;
    long rate_ = 0;
    std::unique_ptr<Resampler> converter_;
    bool decoderEnded_ = false;
    bool loaded_ = false;
    bool open_ = false;
    alignas(4) uint8_t scratch_[1152 * Audio::kBytesPerFrame];
};

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
