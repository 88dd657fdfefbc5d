#pragma once
// One MP3 stream decoded from memory to 44100 Hz 16-bit stereo with libmpg123: the same decoder,
// and so the same samples, for every audio output (SDL on the desktop, Web Audio in the browser).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct mpg123_handle_struct;

class Mp3Decoder {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kBytesPerFrame = 4;  // two 16-bit samples

    // The MP3 bytes as libmpg123 reads them: a file that lives in memory.
    struct MemoryFile {
        const uint8_t* data = nullptr;
        size_t size = 0;
        size_t position = 0;
    };

    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // A stream was opened successfully and can be played (again) from its beginning.
    bool loaded() const { return loaded_; }

    // Opens the bytes (which must outlive the stream) and decodes up to the first frame, so data
    // without an MP3 in it fails here, with the reason in error.
    bool open(const uint8_t* data, size_t size, std::string& error);
    // Back to the first sample: reopening repeats exactly what the first decode did.
    bool rewind(std::string& error) { return open(file_.data, file_.size, error); }
    void close();

    // Fills up to `bytes` (a whole number of stereo frames) of out; fewer only when the stream
    // ends, which sets `ended`.
    size_t read(uint8_t* out, size_t bytes, bool& ended);

private:
    class Resampler;
    static constexpr int kIdleReads = 64;

    size_t readNative(uint8_t* out, size_t bytes);
    size_t readConverted(uint8_t* out, size_t bytes);
    bool sameRate();
    bool makeHandle(std::string& error);
    bool check(int result, std::string& error);

    mpg123_handle_struct* handle_ = nullptr;
    MemoryFile file_;
    long rate_ = 0;
    std::unique_ptr<Resampler> converter_;
    bool decoderEnded_ = false;
    bool loaded_ = false;
    bool open_ = false;
    alignas(4) uint8_t scratch_[1152 * kBytesPerFrame];
};
