#pragma once
// The program's entry: start-up, frame loop and shutdown. Returns the process exit status.
#include <functional>

class ExceptionServer;

int runGlimmertide(int argc, char** argv);

// The scale "hd" picks for a screen of width x height: the largest N from 1 to 8 whose picture
// (N x 320 x 240) fits it, or in a window whose window (N x 324 x 265) fits about 80 % of it.
int scaleFittingScreen(int screenWidth, int screenHeight, bool windowed);

// The entry point's catch region: runs body and returns 0, or -1 after an error. closeWindow runs
// first (its own failures are swallowed so the report is still shown); then an ExceptionType is
// reported as it is and anything else as the catalogue's "undefined exception".
int runCatchingErrors(ExceptionServer& exceptions, const std::function<void()>& body,
                      const std::function<void()>& closeWindow);
