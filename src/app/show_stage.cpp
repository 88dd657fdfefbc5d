// The show's steps; they do nothing until the show lands, except that the show still ends at its
// length so an unattended run finishes.
#include "app/stages.h"
#include "platform/clock.h"

void allocateLineField() {}
void createFeedbackTexture() {}
void setUpShow() {}
void applyInitialShowSettings() {}
void rampLineField(int) {}
bool drawScene() { return currentTicks() < 13100; }
void copyFrameToFeedbackTexture() {}
void drawOverlays() {}
