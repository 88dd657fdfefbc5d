#pragma once
// The steps of start-up, frame and shutdown that belong to the show, the soundtrack and the
// recorder. The entry point calls them in a fixed order; each subsystem fills in its own.
#include <optional>
#include <string>

#include "render/lines.h"

class Audio;
class KWindow;

struct RunState {
    bool soundOn = true;
    bool videoMode = false;
    float framesPerSecond = 40.0f;
    int videoFrame = 0;  // frames already handed to the recorder
    std::string videoCodec;  // from "codec=NAME"; empty: ask, or the default without a display
    std::string videoFile = "glimmertide.avi";  // from "out=NAME"
    bool freshVideoName = false;  // out=FOLDER/ or "videos": the file's name is the first free one
    int scale = 1;           // from "scale=N"; frames are scale x 320 x 240
    bool fitScreen = false;  // "hd": the scale comes from the screen
    std::optional<LineWay> lines;  // from "lines=WAY"; none: chosen from the driver's limits
    // From "shot=T1,T2,...", the browser page's glimmershot: video mode's frames, of which those
    // at or after each tick are shown, and the run ends after the last.
    std::optional<std::string> shot;
};

// The show: scenes, feedback texture and overlays (show_stage.cpp).
void setUpShow(int pixelScale);  // point store, feedback texture, every set-up in the show's order
void prepareFirstFrame();  // texturing on, the initial line-field settings, fog off
// The show's whole frame up to the swap; false when the end cue fired and the loop must end at once.
bool renderShowFrame();
class Show;
Show& runningShow();  // the show these steps run, for tests

// The soundtrack (soundtrack_stage.cpp, around soundtrack.h). Failures throw the integers 0 to 4.
void beginSoundtrack(RunState& run, KWindow& window);
void endSoundtrack();
// Live with sound on, once a frame: the demo clock follows the soundtrack being heard.
void keepClockWithSoundtrack();

// Video mode (recording_stage.cpp).
// Where the recording goes, from out= and "videos": a file named by out=, or in a folder (out=
// naming one, or ending in "/"; else the user's videos folder with "videos") "glimmertide.mp4" or
// the next free name after it. False, after a message on stderr, when no folder is known.
bool placeRecording(const std::string& out, bool intoVideosFolder, RunState& run);
// Run before anything is opened: false, after a one-line message on stderr, for a recording that
// cannot be made (a frame rate above 1000, a file type or a codec the containers do not know; on
// the desktop a shot, which is the page's).
bool recordingRequestValid(const std::string& commandLine, const RunState& run);
void createRecorder(RunState& run);
void attachSilentRecording(KWindow& window);
// With sound on, between starting and playing the soundtrack: the recorder installs its capture on
// the decode-only player and pulls its audio from it.
void attachRecordedSoundtrack(KWindow& window, Audio& audio);
bool recordingAborted();
void recordFrame(int progressPercent);
// Closes the recorder, then shows the "Video was rendered in %d fps." box, with the file's name,
// unless it was aborted.
void finishRecording(RunState& run);
