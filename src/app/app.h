#pragma once
// The program's entry: start-up, frame loop and shutdown. Returns the process exit status.
#include <functional>

class ExceptionServer;

int runGlimmertide(int argc, char** argv);

// The entry point's catch region: runs body and returns 0, or -1 after an error. closeWindow runs
// first (its own failures are swallowed so the report is still shown); then an ExceptionType is
// reported as it is and anything else as the catalogue's "undefined exception".
int runCatchingErrors(ExceptionServer& exceptions, const std::function<void()>& body,
                      const std::function<void()>& closeWindow);
