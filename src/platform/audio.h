#pragma once
// The soundtrack player: one MP3 stream decoded from memory to 44100 Hz 16-bit stereo PCM.
//
// Live, the decoded audio goes to the default output device (SDL2). Decode-only, there is no
// device and no real-time pacing: the owner pulls block after block with pump(), so a recording
// runs as fast as it renders and works on a machine without a sound card.
//
// The entry point and the recorder talk to the Audio interface, so tests can swap in a double.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Sees every decoded block exactly once, in order, before it is played; may change it in place.
// Live it runs on the audio device's thread.
using AudioCapture = std::function<void(uint8_t* block, size_t bytes)>;

class Audio {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kBytesPerFrame = 4;  // two 16-bit samples

    virtual ~Audio() = default;

    // Opens the default output device at 44100 Hz stereo (decode-only: nothing to open).
    virtual bool init() = 0;
    // Makes the stream from an MP3 in memory. The bytes are read while the stream plays, so they
    // must outlive it. Fails on data in which no MP3 frame can be found.
    virtual bool createStream(const uint8_t* mp3, size_t size) = 0;
    // Starts output; the device plays silence until a stream plays.
    virtual bool start() = 0;
    // Plays the stream from its beginning.
    virtual bool play() = 0;
    // Stops output.
    virtual bool stop() = 0;
    // Installs the capture; an empty function removes it.
    virtual void setCapture(AudioCapture capture) = 0;
    // True from play() until the last decoded block has been handed out.
    virtual bool isActive() const = 0;
    // Decode-only: decodes the next block and hands it to the capture; false once the stream
    // has ended (or is not playing). Live: does nothing and returns isActive(), since the
    // device's thread does the decoding.
    virtual bool pump() = 0;
    // The position in the stream being heard now, in seconds, for keeping the picture in step.
    // Live: from the audio handed to the device by its last request, minus the buffer it is still
    // playing out, plus the time since; never ahead of what was handed out. Decode-only: the audio
    // decoded so far. Negative when nothing plays: before play(), after stop(), once the end of
    // the stream has been heard, and while a live device has stopped asking for audio (3 s).
    // Safe to call from any thread.
    virtual double heardSeconds() const = 0;
    // Why the last failed call failed (the platform's or the decoder's text).
    virtual const char* error() const = 0;
};

enum class AudioMode { live, decodeOnly };

// The real player: SDL2 output, libmpg123 decoding.
std::unique_ptr<Audio> makeAudio(AudioMode mode);
