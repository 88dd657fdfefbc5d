// Feeds arbitrary bytes to the soundtrack player as its MP3 and decodes whatever it accepts to
// the end, the way a recording pulls it; every decoded byte is read so that the sanitizers see it.
#include "platform/audio.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto audio = makeAudio(AudioMode::decodeOnly);
    if (!audio->init() || !audio->createStream(data, size)) return 0;
    unsigned sum = 0;
    audio->setCapture([&sum](uint8_t* block, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) sum += block[i];
    });
    if (!audio->start() || !audio->play()) return 0;
    while (audio->pump()) {
    }
    audio->stop();
    return static_cast<int>(sum & 0);
}
