#pragma once
// Turns 24-bit bottom-up BGR frames (the layout OpenGL reads back and uncompressed AVI stores)
// into compressed packets through libavcodec. For AVI every frame gives one packet in order (no
// B-frames); for the libavformat containers the packets carry time stamps and the encoders run
// their sharing settings.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVPacket;

// The codec names the AVI offers, "raw" first. Codecs the installed libavcodec lacks are left out.
std::vector<std::string> availableVideoCodecs();
// Every codec name the program knows, whether this build's libavcodec has it or not.
std::vector<std::string> knownVideoCodecs();
// The codec used when none is named and nobody can be asked.
inline constexpr const char* defaultVideoCodec = "ffv1";
// A short description for the codec menu ("Full Frames" for raw).
const char* videoCodecLabel(const std::string& name);
// Whether the installed libavcodec can encode the named codec (raw frames need none).
bool videoCodecAvailable(const std::string& name);

class VideoEncoder {
public:
    enum class Target { avi, container };
    // Receives one encoded packet, which it may take over; returns 0 or an error code, which
    // stops the encoding.
    using Sink = std::function<int(AVPacket& packet)>;

    // Opens the named codec (not "raw"); null with *error set (a negative libav code or -1 for an
    // unknown name) when it cannot be opened. globalHeader: the container keeps the codec's
    // parameters in its header rather than in every key frame.
    static std::unique_ptr<VideoEncoder> open(const std::string& name, int width, int height, int fps,
                                              Target target, bool globalHeader, int* error);
    ~VideoEncoder();

    const AVCodecContext& context() const { return *codec_; }

    // Encodes one frame of width × height × 3 bytes.
    int encode(const uint8_t* bgrBottomUp, const Sink& sink);
    // Hands out whatever the codec still holds back; called once at the end.
    int finish(const Sink& sink);

private:
    VideoEncoder() = default;
    int drain(const Sink& sink);

    int width_ = 0;
    int height_ = 0;
    AVCodecContext* codec_ = nullptr;
    struct AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    struct SwsContext* scaler_ = nullptr;
    int64_t pts_ = 0;
};
