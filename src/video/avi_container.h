#pragma once
// The .avi container (see container.h): AviWriter with PCM sound, frames raw or through libavcodec.
#include "video/avi_writer.h"
#include "video/container.h"
#include "video/video_encoder.h"

class AviContainer final : public Container {
public:
    static std::unique_ptr<Container> make(const ContainerSettings& settings, uint64_t riffLimit, int* error);

    int open(const char* path) override;
    int writeAudio(const uint8_t* samples, uint32_t bytes) override;
    int writeVideo(const uint8_t* bgrBottomUp) override;
    int close() override;
    Whole whole() const override;

private:
    AviContainer(const ContainerSettings& settings, uint64_t riffLimit);
    void addVideoStream();
    void addAudioStream();
    int writeEncoded(AVPacket& packet);

    ContainerSettings settings_;
    AviWriter writer_;
    std::unique_ptr<VideoEncoder> encoder_;  // null for raw frames
    int videoStream_ = -1;
    int audioStream_ = -1;
};
