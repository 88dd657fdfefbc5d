#pragma once
// Turns 24-bit bottom-up BGR frames (the layout OpenGL reads back and uncompressed AVI stores)
// into the chunks of one AVI video stream: as they are for "raw", through libavcodec otherwise.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The codec names this build offers, "raw" first. Codecs the installed libavcodec lacks are left out.
std::vector<std::string> availableVideoCodecs();
// The codec used when none is named and nobody can be asked.
inline constexpr const char* defaultVideoCodec = "ffv1";
// A short description for the codec menu ("Full Frames" for raw).
const char* videoCodecLabel(const std::string& name);

class VideoEncoder {
public:
    // Receives one encoded frame; returns 0 or an errno value, which stops the encoding.
    using Sink = std::function<int(const uint8_t* data, uint32_t size, bool keyframe)>;

    // Opens the named codec; null with *error set (a negative libav code or -1 for an unknown
    // name) when it cannot be opened.
    static std::unique_ptr<VideoEncoder> open(const std::string& name, int width, int height, int fps,
                                              int* error);
    ~VideoEncoder();

    bool compressed() const { return codec_ != nullptr; }
    uint32_t fourcc() const { return fourcc_; }
    // The stream format: the bitmap header, followed by the codec's extra data.
    const std::vector<uint8_t>& bitmapHeader() const { return header_; }

    // Encodes one frame of width × height × 3 bytes; every frame yields exactly one chunk.
    int encode(const uint8_t* bgrBottomUp, const Sink& sink);
    // Hands out whatever the codec still holds back; called once at the end.
    int finish(const Sink& sink);

private:
    VideoEncoder() = default;
    int drain(const Sink& sink);

    int width_ = 0;
    int height_ = 0;
    uint32_t fourcc_ = 0;
    std::vector<uint8_t> header_;
    struct AVCodecContext* codec_ = nullptr;
    struct AVFrame* frame_ = nullptr;
    struct AVPacket* packet_ = nullptr;
    struct SwsContext* scaler_ = nullptr;
    int64_t pts_ = 0;
};
