#pragma once
// MP3 encoding of the soundtrack through libmp3lame: constant bit rate, joint stereo, with the
// encoder-delay tag so decoders can trim the padding and keep the music on its ticks.
#include <cstdint>
#include <vector>

namespace mp3 {

inline constexpr int kBitRate = 192;

// Encodes interleaved 16-bit stereo at 44.1 kHz. Throws std::runtime_error if LAME fails.
std::vector<std::uint8_t> encode(const std::vector<std::int16_t>& interleaved);

}  // namespace mp3
