#include "platform/frame_loop.h"

// The swap waits for the display where the loop is paced; nothing else to do here.
int runFrameLoop(bool, std::function<bool()> frame, std::function<int()> finish) {
    while (frame()) {
    }
    return finish();
}
