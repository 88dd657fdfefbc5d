#include "platform/mp3_decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>
#include <sys/types.h>

namespace {

using MemoryFile = Mp3Decoder::MemoryFile;

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

}  // namespace

// Linear-interpolation resampler for stereo 16-bit audio to 44100 Hz. Output frame k sits at
// input position k * rate / 44100, computed exactly in integers, so a long stream never drifts:
// n input frames always give ceil(n * 44100 / rate) output frames.
class Mp3Decoder::Resampler {
public:
    explicit Resampler(long rate) : rate_(static_cast<uint64_t>(rate)) {}

    void put(const int16_t* samples, size_t frames) {
        pending_.insert(pending_.end(), samples, samples + frames * kChannels);
    }

    // Writes up to maxFrames; at the end of the input the last frame stands in for its successor.
    size_t get(int16_t* out, size_t maxFrames, bool inputEnded) {
        size_t made = 0;
        uint64_t available = first_ + pending_.size() / kChannels;
        while (made < maxFrames) {
            uint64_t position = next_ * rate_;
            uint64_t index = position / kOut;
            int64_t fraction = static_cast<int64_t>(position % kOut);
            if (index >= available || (index + 1 >= available && !inputEnded)) break;
            const int16_t* a = &pending_[(index - first_) * kChannels];
            const int16_t* b = index + 1 < available ? a + kChannels : a;
            for (int c = 0; c < kChannels; ++c)
                *out++ = static_cast<int16_t>(a[c] + (b[c] - a[c]) * fraction / static_cast<int64_t>(kOut));
            ++next_;
            ++made;
        }
        // Keep from the frame the next output starts at.
        uint64_t keep = std::min<uint64_t>(next_ * rate_ / kOut, available);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>((keep - first_) * kChannels));
        first_ = keep;
        return made;
    }

private:
    static constexpr uint64_t kOut = kSampleRate;
    uint64_t rate_;
    uint64_t next_ = 0;   // index of the next output frame
    uint64_t first_ = 0;  // input index of pending_'s first frame
    std::vector<int16_t> pending_;
};

// libmpg123 decodes at the stream's own rate (its own resampler costs time in proportion to the
// length a header claims, which hostile data can make huge) and doubles mono to stereo; the
// Resampler converts other rates.
Mp3Decoder::Mp3Decoder() = default;

Mp3Decoder::~Mp3Decoder() {
    close();
    if (handle_) mpg123_delete(handle_);
}

bool Mp3Decoder::open(const uint8_t* data, size_t size, std::string& error) {
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
    if (rate_ != kSampleRate) converter_ = std::make_unique<Resampler>(rate_);
    decoderEnded_ = false;
    open_ = loaded_ = true;
    return true;
}

void Mp3Decoder::close() {
    if (open_) mpg123_close(handle_);
    converter_.reset();
    open_ = false;
}

size_t Mp3Decoder::read(uint8_t* out, size_t bytes, bool& ended) {
    size_t total = !open_ ? 0 : converter_ ? readConverted(out, bytes) : readNative(out, bytes);
    ended = total < bytes;
    if (ended) close();
    return total;
}

// Decodes at the stream's own rate straight into out; fewer bytes than asked only at the end.
// A decoding error mid-stream ends the stream rather than the program, and so does a change of
// sample rate (the soundtrack is one piece). The guard against reads that make no progress keeps
// hostile data from spinning forever.
size_t Mp3Decoder::readNative(uint8_t* out, size_t bytes) {
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
size_t Mp3Decoder::readConverted(uint8_t* out, size_t bytes) {
    size_t total = 0;
    while (total < bytes) {
        size_t frames = converter_->get(reinterpret_cast<int16_t*>(out + total), (bytes - total) / kBytesPerFrame,
                                        decoderEnded_);
        total += frames * kBytesPerFrame;
        if (total == bytes || decoderEnded_) break;
        size_t decoded = readNative(scratch_, sizeof scratch_);
        converter_->put(reinterpret_cast<const int16_t*>(scratch_), decoded / kBytesPerFrame);
        decoderEnded_ = decoded < sizeof scratch_;
    }
    return total;
}

bool Mp3Decoder::sameRate() {
    long rate = 0;
    int channels = 0, encoding = 0;
    return mpg123_getformat(handle_, &rate, &channels, &encoding) == MPG123_OK && rate == rate_;
}

bool Mp3Decoder::makeHandle(std::string& error) {
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

bool Mp3Decoder::check(int result, std::string& error) {
    if (result == MPG123_OK) return true;
    error = result == MPG123_ERR && handle_ ? mpg123_strerror(handle_) : mpg123_plain_strerror(result);
    return false;
}
