// The libavformat containers: .mp4 (H.264 and AAC), .mkv (FFV1 and FLAC), .webm (VP9 and Opus).
// Sound arrives as 44.1 kHz 16-bit stereo and is converted to what the sound encoder takes (a
// sample format, and 48 kHz for Opus); a queue cuts it into the encoder's frame size.
//
// Matroska writes a cluster at least every second. An MP4 is written as fragments of about a
// second, each playable once it is in the file; on close the fragments are laid out again as one
// movie with its index first, the file a single pass with +faststart gives.
#include "video/av_container.h"

#include <algorithm>
#include <cerrno>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

struct AvFormat {
    const char* extension;
    const char* muxer;
    const char* audioEncoder;
    int64_t audioBitRate;  // 0: lossless
};

constexpr const char* kFragmentMicroseconds = "1000000";
constexpr const char* kClusterMilliseconds = "1000";

constexpr AvFormat avFormats[] = {
    {".mp4", "mp4", "aac", 192000},
    {".mkv", "matroska", "flac", 0},
    {".webm", "webm", "libopus", 128000},
};

const AvFormat& avFormatOf(const ContainerFormat& format) {
    for (const AvFormat& f : avFormats)
        if (std::string(f.extension) == format.extension) return f;
    return avFormats[0];
}

// 44100 if the encoder takes it, else the highest rate it takes (Opus: 48000).
int soundRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates) return wanted;
    int best = 0;
    for (const int* r = codec->supported_samplerates; *r; ++r) {
        if (*r == wanted) return wanted;
        if (*r > best) best = *r;
    }
    return best;
}

// libavformat reads a name with a colon as a protocol ("12:30.mp4"); the file protocol takes any.
std::string fileUrl(const char* path) { return std::string("file:") + path; }

// An output context and its file, released together.
struct OutputMovie {
    AVFormatContext* format = nullptr;
    ~OutputMovie() {
        if (format && format->pb) avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

struct InputMovie {
    AVFormatContext* format = nullptr;
    ~InputMovie() { avformat_close_input(&format); }
};

struct PacketHolder {
    AVPacket* packet = av_packet_alloc();
    ~PacketHolder() { av_packet_free(&packet); }
};

}  // namespace

AvContainer::AvContainer(const ContainerSettings& settings) : settings_(settings) {}

AvContainer::~AvContainer() {
    if (format_ && format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    av_audio_fifo_free(fifo_);
    swr_free(&resampler_);
    avcodec_free_context(&audio_);
    av_freep(&converted_[0]);
}

std::unique_ptr<Container> AvContainer::make(const ContainerFormat& format, const ContainerSettings& settings,
                                             int* error) {
    std::unique_ptr<AvContainer> av(new AvContainer(settings));
    const AvFormat& f = avFormatOf(format);
    *error = av->setUp(f.muxer);
    if (!*error && settings.sound) *error = av->setUpSound(f.audioEncoder, f.audioBitRate);
    if (*error) return nullptr;
    return av;
}

int AvContainer::setUp(const char* muxer) {
    int result = avformat_alloc_output_context2(&format_, nullptr, muxer, nullptr);
    if (result < 0) return result;
    packet_ = av_packet_alloc();
    if (!packet_) return AVERROR(ENOMEM);
    fragmented_ = std::string(muxer) == "mp4";
    const bool globalHeader = (format_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    video_ = VideoEncoder::open(settings_.codec, settings_.width, settings_.height, settings_.framesPerSecond,
                                VideoEncoder::Target::container, globalHeader, &result);
    if (!video_) return result;
    videoStream_ = avformat_new_stream(format_, nullptr);
    if (!videoStream_) return AVERROR(ENOMEM);
    result = avcodec_parameters_from_context(videoStream_->codecpar, &video_->context());
    videoStream_->time_base = video_->context().time_base;
    videoStream_->avg_frame_rate = video_->context().framerate;
    return result < 0 ? result : 0;
}

int AvContainer::setUpSound(const char* encoderName, int64_t bitRate) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoderName);
    if (!codec) return -1;
    audio_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    if (!audio_ || !frame_) return AVERROR(ENOMEM);
    audio_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    audio_->sample_rate = soundRate(codec, settings_.sampleRate);
    audio_->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    audio_->time_base = AVRational{1, audio_->sample_rate};
    if (bitRate) audio_->bit_rate = bitRate;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int result = avcodec_open2(audio_, codec, nullptr);
    if (result < 0) return result;
    // Encoders that take any frame size get the AAC one.
    frameSize_ = audio_->frame_size > 0 ? audio_->frame_size : 1024;

    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    result = swr_alloc_set_opts2(&resampler_, &audio_->ch_layout, audio_->sample_fmt, audio_->sample_rate, &stereo,
                                 AV_SAMPLE_FMT_S16, settings_.sampleRate, 0, nullptr);
    if (result < 0 || (result = swr_init(resampler_)) < 0) return result;
    fifo_ = av_audio_fifo_alloc(audio_->sample_fmt, 2, frameSize_);
    if (!fifo_) return AVERROR(ENOMEM);

    audioStream_ = avformat_new_stream(format_, nullptr);
    if (!audioStream_) return AVERROR(ENOMEM);
    audioStream_->time_base = audio_->time_base;
#if LIBAVFORMAT_VERSION_INT <= AV_VERSION_INT(59, 30, 100)
    // Their Matroska muxer stores Opus's priming delay as CodecDelay but also moves every track
    // later by it, so the picture would start 7 ms after the sound. Starting the sound's time
    // stamps at 0 (as newer versions do in the muxer) leaves the delay to CodecDelay alone.
    if (audio_->codec_id == AV_CODEC_ID_OPUS) soundShift_ = audio_->initial_padding;
#endif
    result = avcodec_parameters_from_context(audioStream_->codecpar, audio_);
    return result < 0 ? result : 0;
}

int AvContainer::open(const char* path) {
    const int result = avio_open(&format_->pb, fileUrl(path).c_str(), AVIO_FLAG_WRITE);
    return result < 0 ? result : 0;
}

// Written with the first frame, like the AVI's headers: a full disk is a write error.
int AvContainer::start() {
    if (started_) return 0;
    AVDictionary* options = nullptr;
    if (fragmented_) {
        // The movie header waits for the first fragment, so that it carries the edit lists that
        // hide the encoders' delays; each fragment stands on its own (default_base_moof).
        av_dict_set(&options, "movflags", "+empty_moov+delay_moov+default_base_moof", 0);
        av_dict_set(&options, "frag_duration", kFragmentMicroseconds, 0);
    } else {
        av_dict_set(&options, "cluster_time_limit", kClusterMilliseconds, 0);
    }
    const int result = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (result < 0) return result;
    started_ = true;
    // MP4 holds even its file type back until the first fragment: its header may be empty.
    headerLength_ = uint64_t(avio_tell(format_->pb));
    return 0;
}

int AvContainer::flush() {
    avio_flush(format_->pb);
    if (format_->pb->error) return format_->pb->error;
    whole_.length = uint64_t(avio_tell(format_->pb));
    whole_.frames = whole_.length > headerLength_;
    return 0;
}

int AvContainer::writePacket(AVPacket& packet, AVStream* stream, const AVCodecContext& codec) {
    if (stream == audioStream_ && soundShift_) {
        packet.pts += soundShift_;
        packet.dts += soundShift_;
    }
    av_packet_rescale_ts(&packet, codec.time_base, stream->time_base);
    packet.stream_index = stream->index;
    if (stream == audioStream_) lastSoundDuration_ = packet.duration;
    const int result = av_interleaved_write_frame(format_, &packet);
    return result < 0 ? result : 0;
}

int AvContainer::writeVideo(const uint8_t* bgrBottomUp) {
    if (const int error = start()) return error;
    const int error = video_->encode(bgrBottomUp, [this](AVPacket& p) {
        return writePacket(p, videoStream_, video_->context());
    });
    return error ? error : flush();
}

int AvContainer::writeAudio(const uint8_t* samples, uint32_t bytes) {
    if (const int error = start()) return error;
    const int made = convertSound(samples, int(bytes / 4));
    if (made < 0) return made;
    while (av_audio_fifo_size(fifo_) >= frameSize_)
        if (const int error = encodeSound(frameSize_)) return error;
    return 0;
}

// Converts count samples into the queue (none: what the resampler still holds back); returns the
// number of samples queued or an error.
int AvContainer::convertSound(const uint8_t* samples, int count) {
    const int room = samples ? swr_get_out_samples(resampler_, count) : swr_get_delay(resampler_, audio_->sample_rate) + 1;
    if (room > convertedCapacity_) {
        av_freep(&converted_[0]);
        if (av_samples_alloc(converted_, nullptr, 2, room, audio_->sample_fmt, 0) < 0) return AVERROR(ENOMEM);
        convertedCapacity_ = room;
    }
    const uint8_t* in[1] = {samples};
    const int made = swr_convert(resampler_, converted_, convertedCapacity_, samples ? in : nullptr, count);
    if (made <= 0) return made;
    if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), made) < made) return AVERROR(ENOMEM);
    return made;
}

int AvContainer::encodeSound(int count) {
    av_frame_unref(frame_);
    frame_->nb_samples = count;
    frame_->format = audio_->sample_fmt;
    frame_->sample_rate = audio_->sample_rate;
    frame_->ch_layout = audio_->ch_layout;
    int result = av_frame_get_buffer(frame_, 0);
    if (result < 0) return result;
    if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), count) < count) return AVERROR(EINVAL);
    frame_->pts = soundPts_;
    soundPts_ += count;
    if ((result = avcodec_send_frame(audio_, frame_)) < 0) return result;
    return drainSound();
}

int AvContainer::drainSound() {
    for (;;) {
        const int got = avcodec_receive_packet(audio_, packet_);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return 0;
        if (got < 0) return got;
        const int result = writePacket(*packet_, audioStream_, *audio_);
        av_packet_unref(packet_);
        if (result) return result;
    }
}

// The end of the sound: the resampler's tail, the last short frame, then the encoder's delay.
int AvContainer::finishSound() {
    int result = 0;
    while ((result = convertSound(nullptr, 0)) > 0) {
    }
    if (result < 0) return result;
    while (av_audio_fifo_size(fifo_) > 0)
        if ((result = encodeSound(std::min(frameSize_, av_audio_fifo_size(fifo_)))) != 0) return result;
    result = avcodec_send_frame(audio_, nullptr);
    if (result < 0 && result != AVERROR_EOF) return result;
    return drainSound();
}

int AvContainer::close() {
    if (!format_->pb) return 0;
    int error = start();
    if (error) {
        avio_closep(&format_->pb);
        return error;
    }
    if (audio_) error = finishSound();
    const int video = video_->finish([this](AVPacket& p) { return writePacket(p, videoStream_, video_->context()); });
    if (!error) error = video;
    const int trailer = av_write_trailer(format_);
    if (!error) error = trailer < 0 ? trailer : format_->pb->error;
    const int closed = avio_closep(&format_->pb);
    return error ? error : closed;
}

// The fragments read back packet by packet into a movie written in one pass: the same packets and
// time stamps give the same edit lists. The fragments forget that the last sound packet is shorter
// than the others, so it gets back the length the encoder gave it: the sound ends where it did.
int AvContainer::writeFinalLayout(const char* from, const char* to) {
    InputMovie in;
    int result = avformat_open_input(&in.format, fileUrl(from).c_str(), av_find_input_format("mp4"), nullptr);
    if (result < 0) return result;
    if (in.format->nb_streams != format_->nb_streams) return AVERROR_INVALIDDATA;
    OutputMovie out;
    if ((result = avformat_alloc_output_context2(&out.format, nullptr, "mp4", nullptr)) < 0) return result;
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream* stream = avformat_new_stream(out.format, nullptr);
        if (!stream) return AVERROR(ENOMEM);
        // As stored in the fragments: H.264 as MP4 keeps it, not as the encoder hands it out.
        if ((result = avcodec_parameters_copy(stream->codecpar, in.format->streams[i]->codecpar)) < 0) return result;
        stream->codecpar->codec_tag = 0;
        stream->time_base = in.format->streams[i]->time_base;
        stream->avg_frame_rate = format_->streams[i]->avg_frame_rate;
    }
    out.format->url = av_strdup(fileUrl(to).c_str());  // +faststart reads the file back through it
    if (!out.format->url) return AVERROR(ENOMEM);
    if ((result = avio_open(&out.format->pb, out.format->url, AVIO_FLAG_WRITE)) < 0) return result;
    AVDictionary* options = nullptr;
    // The index goes to the front, so players start before the end arrives.
    av_dict_set(&options, "movflags", "+faststart", 0);
    result = avformat_write_header(out.format, &options);
    av_dict_free(&options);
    if (result < 0) return result;
    if ((result = copyInto(*out.format, *in.format)) < 0) return result;
    if ((result = av_write_trailer(out.format)) < 0) return result;
    return avio_closep(&out.format->pb);
}

int AvContainer::copyInto(AVFormatContext& out, AVFormatContext& in) {
    PacketHolder packet, lastSound;
    const int sound = audioStream_ ? audioStream_->index : -1;
    auto write = [&](AVPacket* p) {
        av_packet_rescale_ts(p, in.streams[p->stream_index]->time_base, out.streams[p->stream_index]->time_base);
        p->pos = -1;
        return av_interleaved_write_frame(&out, p);
    };
    int result = 0;
    while ((result = av_read_frame(&in, packet.packet)) >= 0) {
        if (packet.packet->stream_index == sound) {
            // Held back until the next one shows it was not the last.
            if (lastSound.packet->data && (result = write(lastSound.packet)) < 0) return result;
            av_packet_move_ref(lastSound.packet, packet.packet);
        } else if ((result = write(packet.packet)) < 0) {
            return result;
        }
    }
    if (result != AVERROR_EOF) return result;
    if (!lastSound.packet->data) return 0;
    lastSound.packet->duration =
        av_rescale_q(lastSoundDuration_, audioStream_->time_base, in.streams[sound]->time_base);
    return write(lastSound.packet);
}
