// The .avi container: the program's own RIFF writer with 24-bit frames, as they are for "raw" or
// through libavcodec, and PCM sound.
#include "video/avi_container.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

// BITMAPINFOHEADER; size is its size field (44 for raw frames: 40 bytes and 4 zero bytes).
std::vector<uint8_t> bitmapInfo(uint32_t size, int width, int height, uint16_t bits, uint32_t compression,
                                uint32_t imageSize) {
    std::vector<uint8_t> out;
    put32(out, size);
    put32(out, uint32_t(width));
    put32(out, uint32_t(height));
    put16(out, 1);
    put16(out, bits);
    put32(out, compression);
    put32(out, imageSize);
    for (int i = 0; i < 4; ++i) put32(out, 0);
    out.resize(size, 0);
    return out;
}

// The bitmap header of the encoder's frames, followed by its extra data.
std::vector<uint8_t> compressedFormat(const AVCodecContext& ctx, int width, int height) {
    std::vector<uint8_t> header =
        bitmapInfo(40, width, height, uint16_t(ctx.bits_per_coded_sample ? ctx.bits_per_coded_sample : 24),
                   ctx.codec_tag, uint32_t(width * height * 3));
    if (ctx.extradata_size > 0) {
        header.insert(header.end(), ctx.extradata, ctx.extradata + ctx.extradata_size);
        const uint32_t size = uint32_t(header.size());
        std::memcpy(header.data(), &size, 4);  // little-endian host
    }
    return header;
}

}  // namespace

AviContainer::AviContainer(const ContainerSettings& settings, uint64_t riffLimit)
    : settings_(settings), writer_(riffLimit) {}

std::unique_ptr<Container> AviContainer::make(const ContainerSettings& settings, uint64_t riffLimit, int* error) {
    *error = 0;
    std::unique_ptr<AviContainer> avi(new AviContainer(settings, riffLimit));
    if (settings.codec != "raw") {
        avi->encoder_ = VideoEncoder::open(settings.codec, settings.width, settings.height, settings.framesPerSecond,
                                           VideoEncoder::Target::avi, false, error);
        if (!avi->encoder_) return nullptr;
    }
    return avi;
}

int AviContainer::open(const char* path) {
    if (const int error = writer_.open(path)) return error;
    addVideoStream();
    if (settings_.sound) addAudioStream();
    return 0;
}

void AviContainer::addVideoStream() {
    const int width = settings_.width, height = settings_.height;
    AviStreamHeader video;
    video.type = aviFourcc("vids");
    video.handler = encoder_ ? encoder_->context().codec_tag : 0;
    video.scale = 1;
    video.rate = uint32_t(settings_.framesPerSecond);
    video.suggestedBufferSize = 0;
    video.quality = 0xFFFFFFFF;
    video.frame[2] = int16_t(width);
    video.frame[3] = int16_t(height);
    std::vector<uint8_t> format = encoder_ ? compressedFormat(encoder_->context(), width, height)
                                           : bitmapInfo(44, width, height, 24, 0, uint32_t(width * height * 3));
    videoStream_ = writer_.addStream(video, std::move(format), encoder_ ? "dc" : "db");
}

void AviContainer::addAudioStream() {
    const uint32_t channels = 2;
    const uint32_t blockAlign = uint32_t(settings_.bitsPerSample / 8) * channels;
    const uint32_t bytesPerSecond = blockAlign * uint32_t(settings_.sampleRate);
    AviStreamHeader audio;
    audio.type = aviFourcc("auds");
    audio.handler = 0;
    audio.priority = 7;
    audio.scale = blockAlign;
    audio.rate = bytesPerSecond;
    audio.initialFrames = uint32_t(settings_.sampleRate * 0.75);
    audio.suggestedBufferSize = bytesPerSecond;
    audio.sampleSize = blockAlign;
    std::vector<uint8_t> format;
    put16(format, 1);  // PCM
    put16(format, channels);
    put32(format, uint32_t(settings_.sampleRate) & 0xFFFF);  // the rate's low 16 bits; 44100 fits
    put32(format, bytesPerSecond);
    put16(format, blockAlign);
    put16(format, uint32_t(settings_.bitsPerSample));
    put16(format, 0);
    audioStream_ = writer_.addStream(audio, std::move(format), "wb");
}

int AviContainer::writeAudio(const uint8_t* samples, uint32_t bytes) {
    return writer_.writeChunk(audioStream_, samples, bytes, true);
}

int AviContainer::writeEncoded(AVPacket& packet) {
    return writer_.writeChunk(videoStream_, packet.data, uint32_t(packet.size), (packet.flags & AV_PKT_FLAG_KEY) != 0);
}

int AviContainer::writeVideo(const uint8_t* bgrBottomUp) {
    const int error = encoder_ ? encoder_->encode(bgrBottomUp, [this](AVPacket& p) { return writeEncoded(p); })
                               : writer_.writeChunk(videoStream_, bgrBottomUp,
                                                    uint32_t(settings_.width * settings_.height * 3), true);
    // Each frame reaches the file before the next one is encoded: a full disk shows up at once.
    return error ? error : writer_.flush();
}

int AviContainer::close() {
    const int error = encoder_ && writer_.isOpen() ? encoder_->finish([this](AVPacket& p) { return writeEncoded(p); }) : 0;
    const int closed = writer_.close();
    return error ? error : closed;
}

Container::Whole AviContainer::whole() const {
    const uint64_t length = writer_.wholeLength();
    return {length, writer_.firstChunk() > 0 && length > writer_.firstChunk()};
}
