#pragma once
// The program's entry: start-up, frame loop and shutdown. Returns the process exit status.
int runGlimmertide(int argc, char** argv);
