#include "support_mp3/mp3_maker.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

std::vector<int16_t> makeTone(size_t frames, int sampleRate, int channels) {
    std::vector<int16_t> pcm(frames * static_cast<size_t>(channels));
    double phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / sampleRate;
        phase += 2.0 * M_PI * (220.0 + 330.0 * t) / sampleRate;
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<int16_t>(9000.0 * std::sin(phase * (c + 1)));
    }
    return pcm;
}

std::vector<uint8_t> makeMp3(const Mp3Format& format) {
    lame_t lame = lame_init();
    if (!lame) throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(lame, format.sampleRate);
    lame_set_out_samplerate(lame, format.sampleRate);
    lame_set_num_channels(lame, format.channels);
    lame_set_mode(lame, format.channels == 1 ? MONO : JOINT_STEREO);
    if (format.variableRate) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, 6.0f);
    } else {
        lame_set_brate(lame, format.kbps);
    }
    lame_set_quality(lame, 7);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("lame_init_params failed");
    }

    size_t frames = static_cast<size_t>(format.seconds * format.sampleRate);
    std::vector<int16_t> pcm = makeTone(frames, format.sampleRate, format.channels);
    std::vector<uint8_t> mp3(frames * 5 / 4 + 7200 + 16384);
    int written = 0;
    // LAME takes at most an int's worth of frames per call; chunk to keep its buffer bound simple.
    constexpr size_t kChunk = 4096;
    for (size_t done = 0; done < frames; done += kChunk) {
        size_t n = std::min(kChunk, frames - done);
        short* in = pcm.data() + done * format.channels;
        int room = static_cast<int>(mp3.size()) - written;
        int got = format.channels == 1
                      ? lame_encode_buffer(lame, in, in, static_cast<int>(n), mp3.data() + written, room)
                      : lame_encode_buffer_interleaved(lame, in, static_cast<int>(n), mp3.data() + written, room);
        if (got < 0) {
            lame_close(lame);
            throw std::runtime_error("lame_encode_buffer failed");
        }
        written += got;
    }
    int tail = lame_encode_flush(lame, mp3.data() + written, static_cast<int>(mp3.size()) - written);
    if (tail > 0) written += tail;
    mp3.resize(static_cast<size_t>(written));
    // The LAME tag sits in the first frame, written as a placeholder until the end is known.
    uint8_t tag[2880];
    size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= mp3.size()) std::memcpy(mp3.data(), tag, tagSize);
    lame_close(lame);
    return mp3;
}
