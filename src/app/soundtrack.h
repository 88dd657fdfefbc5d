#pragma once
// Starting and stopping the soundtrack for the entry point. Each failing step throws its own
// integer (the entry point's catch-all turns any of them into the "undefined exception" box), and
// with sound off nothing here touches the audio layer at all.
#include <functional>

#include "archive/file_server.h"
#include "platform/audio.h"

inline constexpr const char* kSoundtrackFile = "data/glimmertide1.mp3";

// The integers thrown, one per step.
enum SoundtrackFailure : int {
    soundtrackInitFailed = 0,
    soundtrackStreamFailed = 1,
    soundtrackStartFailed = 2,
    soundtrackPlayFailed = 3,
    soundtrackStopFailed = 4,
};

// Opens the output, makes the stream from the archive's MP3 (whose bytes land in `bytes`, to be
// kept for the rest of the run), starts output, calls beforePlay (where the recorder installs
// its capture) and plays from the beginning.
void startSoundtrack(bool sound, Audio& audio, FileServer& files, FileData& bytes,
                     const std::function<void()>& beforePlay = {});

// Live, once a frame: steers the demo clock onto the soundtrack being heard, so that picture and
// sound stay in step however fast the device plays. Leaves the clock alone while nothing plays.
void followSoundtrack(bool sound, Audio& audio);

// Stops output at shutdown.
void stopSoundtrack(bool sound, Audio& audio);
