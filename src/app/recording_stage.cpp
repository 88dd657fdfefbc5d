// The recorder's steps; they do nothing until the recorder lands.
#include "app/stages.h"

void createRecorder(RunState&) {}
void attachSilentRecording(KWindow&) {}
bool recordingAborted() { return false; }
void recordFrame(int) {}
void finishRecording(RunState&) {}
