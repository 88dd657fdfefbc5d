// The soundtrack's steps; they do nothing until the audio layer lands.
#include "app/stages.h"

void beginSoundtrack(RunState&, KWindow&) {}
void endSoundtrack() {}
