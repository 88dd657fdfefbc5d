#pragma once
// The file a recording goes into, chosen by its name's extension: the program's own AVI writer
// makes .avi; libavformat makes .mp4, .mkv and .webm, the formats browsers, phones and video
// sites play. Nothing touches the file before open(), so a refusal leaves it as it was.
// Each frame reaches the file before the next one is taken, in pieces that a player can read on
// their own (AVI chunks, Matroska clusters and MP4 fragments of about a second), so a file cut off
// at any point plays up to shortly before the cut.
// Errors are returned as errno values or negative libav codes (0 = fine).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ContainerFormat {
    const char* extension;      // ".avi"
    const char* defaultCodec;   // when codec= names none; for AVI the recorder may ask instead
    // The recorder's failure messages for this container.
    const char* openFailed;     // "Couldn't open avi file!"
    const char* encoderFailed;  // "Couldn't create compressed avi stream"
    const char* videoFailed;    // "Couldn't write to avi stream"
    const char* audioFailed;    // "Couldn't write audio to avi stream"
    bool avi() const;
};

// Every format, .avi first.
std::vector<const ContainerFormat*> containerFormats();
// The format for a file name (its extension in any letter case), or null.
const ContainerFormat* containerFormatFor(const std::string& fileName);
// "unknown file type of 'x.mov': recordings are .avi, .mp4, .mkv or .webm".
std::string unknownFormatText(const std::string& fileName);
// The video codecs this build can put into the format, its default first (for AVI the codec
// used without a display).
std::vector<std::string> containerCodecs(const ContainerFormat& format);
// Why codec= cannot go into the format ("" when it can, or when none is named). AVI answers
// unknown names with its codec menu's refusal, so it always gets "".
std::string codecRefusal(const ContainerFormat& format, const std::string& codec);
// "raw, mjpeg, ffv1"
std::string listed(const std::vector<std::string>& names);

struct ContainerSettings {
    int width = 320;
    int height = 240;
    int framesPerSecond = 40;
    bool sound = true;
    int sampleRate = 44100;
    int bitsPerSample = 16;  // the sound arrives as interleaved stereo samples of this size
    std::string codec;       // one of containerCodecs(format)
};

class Container {
public:
    virtual ~Container() = default;
    // Creates the file and, where they come first, writes its headers.
    virtual int open(const char* path) = 0;
    // Sound: interleaved 16-bit stereo samples at the sample rate.
    virtual int writeAudio(const uint8_t* samples, uint32_t bytes) = 0;
    // One frame of width × height × 3 bytes, BGR, bottom row first; it reaches the file before
    // this returns, so a failing device shows up at once.
    virtual int writeVideo(const uint8_t* bgrBottomUp) = 0;
    // What the encoders still hold, then the index: the file is complete and plays to its last
    // frame. Called once.
    virtual int close() = 0;

    // How much of the file is whole: its length after the last write that reached it complete,
    // and whether a frame lies within that length. After a failed write the rest is cut off.
    struct Whole {
        uint64_t length = 0;
        bool frames = false;
    };
    virtual Whole whole() const = 0;
    // Whether the complete file is laid out differently from the one that survives being cut off
    // (MP4: its fragments become one movie with the index first, as players expect of a finished
    // file), and writing that layout of the closed file at from into to.
    virtual bool hasFinalLayout() const { return false; }
    virtual int writeFinalLayout(const char* /*from*/, const char* /*to*/) { return 0; }
};

// Sets up the encoders for format; null with *error set (-1: codec not available) on failure.
std::unique_ptr<Container> makeContainer(const ContainerFormat& format, const ContainerSettings& settings,
                                         uint64_t aviRiffLimit, int* error);
