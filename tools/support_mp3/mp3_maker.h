#pragma once
// Makes small MP3s in memory, so tests and benchmarks need no sound files of their own.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Mp3Format {
    double seconds = 1.0;
    int sampleRate = 44100;
    int channels = 2;
    int kbps = 128;
    bool variableRate = false;
};

// A tone that glides in pitch and differs between channels, so that any reordering, loss or
// repetition of decoded blocks changes the decoded bytes. Interleaved, `channels` per frame.
std::vector<int16_t> makeTone(size_t frames, int sampleRate, int channels);

// The tone of format.seconds encoded with LAME, LAME tag included (so decoders trim the padding).
std::vector<uint8_t> makeMp3(const Mp3Format& format);
