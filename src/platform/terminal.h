#pragma once
// Stopping a long job (the recording) from the terminal. Ctrl-C on an interactive terminal asks
// "Really? [y/N]"; without one (also as a background job), or on SIGTERM, the job stops at once. A second Ctrl-C while the
// question waits counts as yes.
#include <cstdio>

namespace terminal {

bool isTerminal(std::FILE* stream);
// Both the keyboard (stdin) and the place questions go (stderr) are a terminal, and the process
// is in that terminal's foreground.
bool isInteractive();

// From now on SIGINT and SIGTERM are caught and counted instead of ending the process;
// releaseInterrupts puts the previous handlers back.
void catchInterrupts();
void releaseInterrupts();

// Polled by the main loop: true once the user wants the job stopped. A new Ctrl-C is confirmed
// with a question on out, answered on input, when interactive.
bool cancelRequested(int input, std::FILE* out, bool interactive);
inline bool cancelRequested() { return cancelRequested(0, stderr, isInteractive()); }

}  // namespace terminal
