// The show's steps of start-up and its frame, on the program's one show.
#include "app/stages.h"

#include "show/show.h"

// Created at the first step and never destroyed: scenes and textures live until the process ends
// (and are never torn down after the window and the servers they log to).
Show& runningShow() {
    static Show* show = new Show;
    return *show;
}

void setUpShow(int pixelScale) {
    runningShow().setPixelScale(pixelScale);
    runningShow().setUp();
}
void prepareFirstFrame() { runningShow().beforeFirstFrame(); }
bool renderShowFrame() { return runningShow().renderFrame(); }
