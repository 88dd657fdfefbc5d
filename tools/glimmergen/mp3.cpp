#include "mp3.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace mp3 {

std::vector<std::uint8_t> encode(const std::vector<std::int16_t>& interleaved) {
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(lame.get(), 44100);
    lame_set_out_samplerate(lame.get(), 44100);
    lame_set_num_channels(lame.get(), 2);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kBitRate);
    lame_set_quality(lame.get(), 3);
    lame_set_bWriteVbrTag(lame.get(), 1);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0) throw std::runtime_error("lame_init_params failed");

    const int frames = static_cast<int>(interleaved.size() / 2);
    const int chunk = 8192;
    std::vector<std::uint8_t> out;
    std::vector<unsigned char> buf(static_cast<std::size_t>(chunk * 5 / 4 + 7200));
    for (int at = 0; at < frames; at += chunk) {
        int n = std::min(chunk, frames - at);
        // LAME's interleaved entry point takes a non-const pointer but does not write through it.
        auto* pcm = const_cast<short*>(reinterpret_cast<const short*>(interleaved.data() + 2 * static_cast<std::size_t>(at)));
        int written = lame_encode_buffer_interleaved(lame.get(), pcm, n, buf.data(), static_cast<int>(buf.size()));
        if (written < 0) throw std::runtime_error("lame_encode_buffer_interleaved failed");
        out.insert(out.end(), buf.begin(), buf.begin() + written);
    }
    int written = lame_encode_flush(lame.get(), buf.data(), static_cast<int>(buf.size()));
    if (written < 0) throw std::runtime_error("lame_encode_flush failed");
    out.insert(out.end(), buf.begin(), buf.begin() + written);

    // The first frame was reserved for the info tag (length, encoder delay, padding); fill it in.
    std::vector<unsigned char> tag(4096);
    std::size_t tagSize = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
    if (tagSize == 0 || tagSize > out.size()) throw std::runtime_error("lame_get_lametag_frame failed");
    std::copy(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(tagSize), out.begin());
    return out;
}

}  // namespace mp3
