#pragma once
// Helpers for the recorder tests: synthetic pictures and sound, ffprobe/ffmpeg readers and a small
// RIFF walker for checking header fields byte by byte.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "video/avi_recorder.h"

// Top-down RGB frames whose colour changes with the frame number.
class SyntheticFrames : public FrameSource {
public:
    SyntheticFrames(int width, int height) : width_(width), height_(height) {}
    const uint8_t* acquireFrame() override;
    void releaseFrame() override {}

private:
    int width_, height_;
    int frame_ = 0;
    std::vector<uint8_t> pixels_;
};

// A decode-only soundtrack: each advance() delivers one block of 16-bit stereo samples whose
// values count up, so the file's audio can be compared sample for sample.
class SyntheticSound : public CaptureSource {
public:
    explicit SyntheticSound(size_t totalBytes, size_t blockBytes = 4608) : total_(totalBytes), block_(blockBytes) {}
    void setCapture(Capture capture) override { capture_ = std::move(capture); }
    bool active() override { return delivered_ < total_; }
    void advance() override;
    // The bytes the source produced, before the capture silenced them.
    static uint8_t byteAt(size_t offset);
    bool silenced() const { return silenced_; }

private:
    Capture capture_;
    size_t total_, block_;
    size_t delivered_ = 0;
    bool silenced_ = true;
};

// Output of a command (stdout only) and its exit status.
std::string runCommand(const std::string& command, int* status = nullptr);
// ffprobe's stream fields for one stream selector ("v:0", "a:0"), with frames counted.
std::map<std::string, std::string> probeStream(const std::string& file, const std::string& stream);
// Every stream's fields at once, indexed by codec_type ("video", "audio"), plus the stream count.
std::map<std::string, std::map<std::string, std::string>> probeAll(const std::string& file, int* streams);
int streamCount(const std::string& file);
// The video frames ffprobe reads from the file (0 when it reads none).
int decodedFrames(const std::string& file);
// What `ffmpeg -v error` prints while decoding the whole file (empty when it decodes cleanly).
std::string decodeErrors(const std::string& file);
// The decoded audio as 16-bit little-endian stereo bytes.
std::vector<uint8_t> decodedAudio(const std::string& file);

// A RIFF chunk found by path.
struct RiffChunk {
    std::string id;  // "avih", "strh", "LIST:strl"...
    uint64_t offset;  // of the payload
    uint32_t size;
};
std::vector<uint8_t> readFile(const std::string& path);
std::string readText(const std::string& path);
// Every chunk in file order (lists as "LIST:<type>"/"RIFF:<type>", then their contents).
std::vector<RiffChunk> walkRiff(const std::vector<uint8_t>& bytes);
uint32_t le32(const std::vector<uint8_t>& bytes, uint64_t offset);
uint16_t le16(const std::vector<uint8_t>& bytes, uint64_t offset);

// A scratch file name in the test's working directory, removed by the caller.
std::string scratchFile(const std::string& name);

// A short recording of synthetic frames and sound through a frame loop like the program's: check
// for a cancel, then hand the frame over.
struct Recording {
    std::string codec = "raw";  // "": the container's default
    int fps = 40;
    int frames = 10;
    bool sound = true;
    size_t soundBytes = 10'000'000;
    int cancelAt = -1;  // the frame loop's check reports a cancel before this frame
    RecorderLimits limits = {};
};
// Returns the frames written.
int record(const std::string& file, const Recording& r);

// The time of a stream's ("v", "a") first decoded frame, as ffprobe prints it.
std::string firstFrameTime(const std::string& file, const std::string& stream);

// A quiet user interface: boxes to stderr, no progress output.
RecorderUi quietUi();
