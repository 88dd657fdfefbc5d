#pragma once
// What drives the frame loop. The desktop loops until the last frame; a browser page must hand
// control back to the browser between frames, so there every frame runs from the browser's event
// loop and the program ends when the loop does.
#include <functional>

// Runs frame until it returns false, then returns finish()'s exit status. Paced loops run at the
// display's refresh (the desktop's swap waits for it; the browser runs one frame per animation
// frame), unpaced ones as fast as the frames render. In the browser this never returns: the
// status ends the program.
int runFrameLoop(bool paced, std::function<bool()> frame, std::function<int()> finish);
