#pragma once
// The libavformat containers (see container.h): .mp4, .mkv and .webm.
#include "video/container.h"
#include "video/video_encoder.h"

struct AVFormatContext;
struct AVStream;
struct AVFrame;
struct AVAudioFifo;
struct SwrContext;

class AvContainer final : public Container {
public:
    static std::unique_ptr<Container> make(const ContainerFormat& format, const ContainerSettings& settings,
                                           int* error);
    ~AvContainer() override;

    int open(const char* path) override;
    int writeAudio(const uint8_t* samples, uint32_t bytes) override;
    int writeVideo(const uint8_t* bgrBottomUp) override;
    int close() override;
    Whole whole() const override { return whole_; }
    bool hasFinalLayout() const override { return fragmented_; }
    int writeFinalLayout(const char* from, const char* to) override;

private:
    explicit AvContainer(const ContainerSettings& settings);
    int setUp(const char* muxer);
    int setUpSound(const char* encoderName, int64_t bitRate);
    int start();
    int flush();
    int writePacket(AVPacket& packet, AVStream* stream, const AVCodecContext& codec);
    int convertSound(const uint8_t* samples, int count);
    int encodeSound(int count);
    int drainSound();
    int finishSound();
    int copyInto(AVFormatContext& out, AVFormatContext& in);

    ContainerSettings settings_;
    AVFormatContext* format_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::unique_ptr<VideoEncoder> video_;
    AVStream* videoStream_ = nullptr;
    AVCodecContext* audio_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;  // converted sound not yet a whole encoder frame
    uint8_t* converted_[2] = {};   // the resampler's output, one plane per channel if planar
    int convertedCapacity_ = 0;
    int frameSize_ = 0;
    int64_t soundPts_ = 0;
    int64_t soundShift_ = 0;  // added to the sound's time stamps (see setUpSound)
    bool started_ = false;
    bool fragmented_ = false;        // MP4: written as fragments, laid out as one movie on close
    int64_t lastSoundDuration_ = 0;  // of the last sound packet, in the sound stream's time base
    uint64_t headerLength_ = 0;
    Whole whole_;
};
