#include "app/soundtrack.h"

#include <cstdio>

#include "platform/clock.h"

namespace {

// The integer alone reaches the user as "undefined exception"; the reason goes to stderr so that
// a missing sound device can be told from a broken soundtrack.
[[noreturn]] void fail(SoundtrackFailure failure, const char* step, Audio& audio) {
    std::fprintf(stderr, "glimmertide: soundtrack %s failed: %s\n", step, audio.error());
    throw static_cast<int>(failure);
}

}  // namespace

void startSoundtrack(bool sound, Audio& audio, FileServer& files, FileData& bytes,
                     const std::function<void()>& beforePlay) {
    if (!sound) return;
    if (!audio.init()) fail(soundtrackInitFailed, "init", audio);
    int32_t size = files.getFileSize(kSoundtrackFile);
    bytes = files.getFileData(kSoundtrackFile);
    size_t length = size > 0 ? static_cast<size_t>(size) : 0;
    if (!audio.createStream(bytes.get(), length)) fail(soundtrackStreamFailed, "stream", audio);
    if (!audio.start()) fail(soundtrackStartFailed, "start", audio);
    if (beforePlay) beforePlay();
    if (!audio.play()) fail(soundtrackPlayFailed, "play", audio);
}

void followSoundtrack(bool sound, Audio& audio) {
    if (!sound) return;
    double heard = audio.heardSeconds();
    if (heard >= 0) followTime(heard);
}

void stopSoundtrack(bool sound, Audio& audio) {
    if (!sound) return;
    if (!audio.stop()) fail(soundtrackStopFailed, "stop", audio);
}
