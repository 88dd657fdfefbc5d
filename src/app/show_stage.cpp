// The show's steps; they do nothing until the show lands.
#include "app/stages.h"

void allocateLineField() {}
void createFeedbackTexture() {}
void setUpShow() {}
void applyInitialShowSettings() {}
void rampLineField(int) {}
bool drawScene() { return true; }
void copyFrameToFeedbackTexture() {}
void drawOverlays() {}
