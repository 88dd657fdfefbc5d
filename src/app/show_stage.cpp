// The show's steps of start-up and of every frame, on the program's one show.
#include "app/stages.h"

#include "show/show.h"

// Created at the first step and never destroyed: scenes and textures live until the process ends
// (and are never torn down after the window and the servers they log to).
Show& runningShow() {
    static Show* show = new Show;
    return *show;
}

void allocateLineField() { runningShow().allocatePointStore(); }
void createFeedbackTexture() { runningShow().createFeedbackTexture(); }
void setUpShow() { runningShow().setUpScenes(); }
void applyInitialShowSettings() { runningShow().initialSettings(); }
void rampLineField(int now) { runningShow().rampStep(now); }
bool drawScene() { return runningShow().sceneStage(); }
void copyFrameToFeedbackTexture() { runningShow().copyFeedback(); }
void drawOverlays() { runningShow().drawOverlays(); }
