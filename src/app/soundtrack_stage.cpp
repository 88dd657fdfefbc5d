// The soundtrack's steps. Live, it plays on the default output device; in video mode no device is
// opened and the recorder pulls the decoded audio itself. The player and the MP3 bytes it streams
// from are kept for the rest of the run.
#include "app/soundtrack.h"
#include "app/stages.h"
#include "archive/file_server.h"
#include "platform/audio.h"

namespace {

// Never destroyed, like the other process-wide objects: a recorder closed by an exit handler may
// still talk to the player.
Audio* g_audio = nullptr;
FileData g_soundtrackBytes;

}  // namespace

void beginSoundtrack(RunState& run, KWindow& window) {
    g_audio = makeAudio(run.videoMode ? AudioMode::decodeOnly : AudioMode::live).release();
    startSoundtrack(run.soundOn, *g_audio, fileServer(), g_soundtrackBytes, [&] {
        if (run.videoMode) attachRecordedSoundtrack(window, *g_audio);
    });
}

void keepClockWithSoundtrack() {
    if (g_audio) followSoundtrack(true, *g_audio);
}

void endSoundtrack() {
    if (g_audio) stopSoundtrack(true, *g_audio);
}
