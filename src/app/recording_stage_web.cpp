// Video mode in a browser, where there is no file to record into: the page's glimmershot
// ("shot=T1,T2,..."). The frames run as video mode runs them, unseen and as fast as they render;
// the first frame at or after each tick is read back and handed to the page, and the run ends
// after the last.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/options.h"
#include "app/stages.h"
#include "math/projection.h"
#include "platform/clock.h"
#include "platform/web_page.h"

namespace {

struct Shots {
    std::vector<int> ticks;  // in order
    size_t next = 0;         // the first tick still to be shown
    int frame = 0;           // frames presented so far
    float framesPerSecond = 40.0f;
    int width = 0, height = 0;
};

Shots g_shots;

// The picture of the frame just presented: its lower-left part, as the recorder reads it.
void handOver(int tick) {
    std::vector<uint8_t> rgba(size_t(g_shots.width) * size_t(g_shots.height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, g_shots.width, g_shots.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    page::showShot(tick, g_shots.width, g_shots.height, rgba.data());
}

}  // namespace

// A page has no files: the request is refused just below.
bool placeRecording(const std::string&, bool, RunState&) { return true; }

bool recordingRequestValid(const std::string& commandLine, const RunState& run) {
    if (!run.shot) {
        std::fprintf(stderr, "glimmertide: a page cannot record a video; shot=TICK shows the frame at a tick\n");
        return false;
    }
    if (shotTicks(*run.shot).empty()) {
        std::fprintf(stderr, "glimmertide: shot=%s is not a list of ticks from 0 to 13100\n", run.shot->c_str());
        return false;
    }
    if (framesPerSecondOption(commandLine) > kMaxFramesPerSecond) {
        std::fprintf(stderr, "glimmertide: cannot record at %s frames per second (at most %d)\n",
                     framesPerSecondText(commandLine).c_str(), kMaxFramesPerSecond);
        return false;
    }
    return true;
}

void createRecorder(RunState& run) {
    g_shots.ticks = shotTicks(*run.shot);
    std::sort(g_shots.ticks.begin(), g_shots.ticks.end());
    g_shots.framesPerSecond = run.framesPerSecond;
    g_shots.width = projection::kPictureWidth * run.scale;
    g_shots.height = projection::kPictureHeight * run.scale;
}

void attachSilentRecording(KWindow&) {}

void attachRecordedSoundtrack(KWindow&, Audio&) {}

bool recordingAborted() { return g_shots.next >= g_shots.ticks.size(); }

void recordFrame(int) {
    // The frame just presented was drawn at the clock video mode set after the frame before it.
    const int frame = g_shots.frame++;
    const float drawnAt = frame == 0 ? 0.0f : videoFrameTicks(g_shots.framesPerSecond, frame - 1);
    int asked = -1;
    while (g_shots.next < g_shots.ticks.size() && drawnAt >= float(g_shots.ticks[g_shots.next]))
        asked = g_shots.ticks[g_shots.next++];
    if (asked >= 0) handOver(asked);
    page::showProgress(int(drawnAt / float(std::max(g_shots.ticks.back(), 1)) * 100.0f));
}

void finishRecording(RunState&) {
    if (g_shots.next < g_shots.ticks.size())
        std::fprintf(stderr, "glimmertide: the show ended before tick %d\n", g_shots.ticks[g_shots.next]);
}
