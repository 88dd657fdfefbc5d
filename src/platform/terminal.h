#pragma once
// Stopping a long job (the recording) from the terminal. Ctrl-C on an interactive terminal asks
// "Really? [y/N]"; without one (also as a background job), or on SIGTERM, the job stops at once. A second Ctrl-C while the
// question waits counts as yes.
#include <signal.h>

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

// For as long as it lives, SIGINT and SIGTERM end the program at once, as they end any program
// (and a program that leads its own job, as a terminal starts it, ends with its whole job): held
// while a box waits for the user, when the handlers that turn them into a quit request (SDL's) or a
// stopped recording would wait for a loop that is not running. A signal the process was started
// with ignored (a background job of a script) stays ignored.
class SignalsEndTheProgram {
public:
    SignalsEndTheProgram();
    ~SignalsEndTheProgram();
    SignalsEndTheProgram(const SignalsEndTheProgram&) = delete;
    SignalsEndTheProgram& operator=(const SignalsEndTheProgram&) = delete;

private:
    struct sigaction previousInterrupt_, previousTerminate_;
};

// Polled by the main loop: true once the user wants the job stopped. A new Ctrl-C is confirmed
// with a question on out, answered on input, when interactive.
bool cancelRequested(int input, std::FILE* out, bool interactive);
inline bool cancelRequested() { return cancelRequested(0, stderr, isInteractive()); }

}  // namespace terminal
