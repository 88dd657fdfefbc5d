#include "video/video_encoder.h"

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "video/avi_writer.h"

namespace {

struct CodecChoice {
    const char* name;
    const char* encoder;  // libavcodec encoder name; null for raw
    const char* fourcc;   // null: not an AVI codec
    AVPixelFormat pixels;  // AV_PIX_FMT_NONE: the encoder's closest match to BGR24
    const char* label;
};

// mpeg4 and h264 without B-frames or look-ahead in AVI: it has no time stamps, one chunk per frame.
constexpr CodecChoice codecChoices[] = {
    {"raw", nullptr, nullptr, AV_PIX_FMT_BGR24, "Full Frames (uncompressed)"},
    {"mjpeg", "mjpeg", "MJPG", AV_PIX_FMT_YUVJ420P, "Motion JPEG"},
    {"ffv1", "ffv1", "FFV1", AV_PIX_FMT_NONE, "FFV1 (lossless)"},
    {"huffyuv", "huffyuv", "HFYU", AV_PIX_FMT_NONE, "HuffYUV (lossless)"},
    {"mpeg4", "mpeg4", "FMP4", AV_PIX_FMT_YUV420P, "MPEG-4 part 2"},
    {"h264", "libx264", "H264", AV_PIX_FMT_YUV420P, "H.264"},
    {"vp9", "libvpx-vp9", nullptr, AV_PIX_FMT_YUV420P, "VP9"},
};

const CodecChoice* findChoice(const std::string& name) {
    for (const CodecChoice& c : codecChoices)
        if (name == c.name && (!c.encoder || avcodec_find_encoder_by_name(c.encoder))) return &c;
    return nullptr;
}

// The settings of the codecs that differ by where their packets go.
void configure(const std::string& name, VideoEncoder::Target target, int fps, AVCodecContext* ctx,
               AVDictionary** options) {
    const bool avi = target == VideoEncoder::Target::avi;
    if (avi || (name != "h264" && name != "vp9")) {
        ctx->max_b_frames = 0;
        ctx->gop_size = fps > 0 ? fps : 1;
    }
    if (avi) {
        // Frame threads would hold frames back; slices keep one chunk per frame.
        ctx->thread_type = FF_THREAD_SLICE;
    } else {
        ctx->thread_count = 0;  // as many as the machine has
    }
    if (name == "mjpeg" || name == "mpeg4") {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;
        ctx->global_quality = FF_QP2LAMBDA * 3;
    } else if (name == "h264" && avi) {
        av_dict_set(options, "tune", "zerolatency", 0);
        av_dict_set(options, "preset", "veryfast", 0);
        av_dict_set(options, "crf", "20", 0);
    } else if (name == "h264") {
        av_dict_set(options, "preset", "fast", 0);
        av_dict_set(options, "crf", "18", 0);
    } else if (name == "vp9") {
        // Constant quality. The "realtime" deadline at speed 6 encodes about three times faster
        // than "good" at speed 4 for a file a sixth larger, so the recording keeps up.
        av_dict_set(options, "crf", "31", 0);
        av_dict_set(options, "b", "0", 0);
        av_dict_set(options, "deadline", "realtime", 0);
        av_dict_set(options, "cpu-used", "6", 0);
        av_dict_set(options, "row-mt", "1", 0);
    } else if (name == "ffv1") {
        ctx->level = 3;
        av_dict_set(options, "slices", "4", 0);
    }
}

}  // namespace

std::vector<std::string> availableVideoCodecs() {
    std::vector<std::string> names;
    for (const CodecChoice& c : codecChoices)
        if ((c.fourcc || !c.encoder) && findChoice(c.name)) names.push_back(c.name);
    return names;
}

std::vector<std::string> knownVideoCodecs() {
    std::vector<std::string> names;
    for (const CodecChoice& c : codecChoices) names.push_back(c.name);
    return names;
}

bool videoCodecAvailable(const std::string& name) { return findChoice(name) != nullptr; }

const char* videoCodecLabel(const std::string& name) {
    for (const CodecChoice& c : codecChoices)
        if (name == c.name) return c.label;
    return "";
}

std::unique_ptr<VideoEncoder> VideoEncoder::open(const std::string& name, int width, int height, int fps,
                                                 Target target, bool globalHeader, int* error) {
    *error = 0;
    const CodecChoice* choice = findChoice(name);
    if (!choice || !choice->encoder || (target == Target::avi && !choice->fourcc)) {
        *error = -1;
        return nullptr;
    }
    std::unique_ptr<VideoEncoder> enc(new VideoEncoder);
    enc->width_ = width;
    enc->height_ = height;

    // The codecs' own chatter (x264 statistics, swscale notes) would drown the progress bar.
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* codec = avcodec_find_encoder_by_name(choice->encoder);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    enc->codec_ = ctx;
    if (!ctx) {
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    AVPixelFormat pixels = choice->pixels;
    if (pixels == AV_PIX_FMT_NONE) pixels = avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
    ctx->width = width;
    ctx->height = height;
    ctx->pix_fmt = pixels;
    ctx->time_base = AVRational{1, fps};
    ctx->framerate = AVRational{fps, 1};
    if (target == Target::avi) ctx->codec_tag = aviFourcc(*reinterpret_cast<const char(*)[5]>(choice->fourcc));
    if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    configure(name, target, fps, ctx, &options);
    const int opened = avcodec_open2(ctx, codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        *error = opened;
        return nullptr;
    }

    enc->frame_ = av_frame_alloc();
    enc->packet_ = av_packet_alloc();
    if (!enc->frame_ || !enc->packet_) {
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    enc->frame_->format = pixels;
    enc->frame_->width = width;
    enc->frame_->height = height;
    int result = av_frame_get_buffer(enc->frame_, 0);
    enc->scaler_ = sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, pixels, SWS_BILINEAR, nullptr,
                                  nullptr, nullptr);
    if (result < 0 || !enc->scaler_) {
        *error = result < 0 ? result : AVERROR(EINVAL);
        return nullptr;
    }
    return enc;
}

VideoEncoder::~VideoEncoder() {
    sws_freeContext(scaler_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
}

int VideoEncoder::drain(const Sink& sink) {
    for (;;) {
        const int got = avcodec_receive_packet(codec_, packet_);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
        if (got < 0) return got;
        const int result = sink(*packet_);
        av_packet_unref(packet_);
        if (result) return result;
    }
}

int VideoEncoder::encode(const uint8_t* bgrBottomUp, const Sink& sink) {
    const int stride = width_ * 3;
    int result = av_frame_make_writable(frame_);
    if (result < 0) return result;
    // Codecs want the top row first: start at the last stored row and walk backwards.
    const uint8_t* source[1] = {bgrBottomUp + size_t(stride) * size_t(height_ - 1)};
    const int sourceStride[1] = {-stride};
    sws_scale(scaler_, source, sourceStride, 0, height_, frame_->data, frame_->linesize);
    frame_->pts = pts_++;
    result = avcodec_send_frame(codec_, frame_);
    if (result < 0) return result;
    return drain(sink);
}

int VideoEncoder::finish(const Sink& sink) {
    const int result = avcodec_send_frame(codec_, nullptr);
    if (result < 0 && result != AVERROR_EOF) return result;
    return drain(sink);
}
