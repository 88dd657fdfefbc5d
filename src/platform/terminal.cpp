#include "platform/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>

namespace {

// Written by the signal handler only; the main thread reads them.
volatile sig_atomic_t interrupts = 0;
volatile sig_atomic_t terminations = 0;
// The handler writes a byte here, so a question waiting in poll() wakes up on a second Ctrl-C.
int wakePipe[2] = {-1, -1};
struct sigaction previousInterrupt, previousTerminate;
bool catching = false;
sig_atomic_t interruptsSeen = 0;

void onSignal(int signal) {
    const int saved = errno;
    if (signal == SIGTERM)
        terminations = terminations + 1;
    else
        interrupts = interrupts + 1;
    if (wakePipe[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = write(wakePipe[1], &byte, 1);
    }
    errno = saved;
}

void drainWakePipe() {
    char bytes[64];
    while (wakePipe[0] >= 0 && read(wakePipe[0], bytes, sizeof bytes) > 0) {
    }
}

// Waits for one line on input; true for an answer starting with y or Y. A signal (or the end of
// the input) while waiting ends the wait: a signal counts as yes, the end of input as no.
bool askYes(int input) {
    char line[128];
    size_t length = 0;
    for (;;) {
        if (interrupts != interruptsSeen || terminations) return true;
        pollfd fds[2] = {{input, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        const int ready = poll(fds, wakePipe[0] >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        if (fds[1].revents & POLLIN) {
            drainWakePipe();
            continue;  // the signal is counted at the top of the loop
        }
        if (!(fds[0].revents & (POLLIN | POLLHUP))) continue;
        char c;
        const ssize_t n = read(input, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') break;
        if (length < sizeof line) line[length++] = c;
    }
    size_t i = 0;
    while (i < length && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    return i < length && (line[i] == 'y' || line[i] == 'Y');
}

}  // namespace

namespace terminal {

bool isTerminal(std::FILE* stream) { return stream && isatty(fileno(stream)) == 1; }

// A background job that reads the terminal is stopped (SIGTTIN): only the foreground may ask.
bool isInteractive() {
    return isatty(STDIN_FILENO) == 1 && isTerminal(stderr) && tcgetpgrp(STDIN_FILENO) == getpgrp();
}

void catchInterrupts() {
    if (catching) return;
    if (wakePipe[0] < 0 && pipe(wakePipe) == 0) {
        for (int fd : wakePipe) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a waiting read is interrupted
    sigaction(SIGINT, &action, &previousInterrupt);
    sigaction(SIGTERM, &action, &previousTerminate);
    interruptsSeen = interrupts;
    catching = true;
}

void releaseInterrupts() {
    if (!catching) return;
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
    catching = false;
}

namespace {

// Ends the process by the signal, as if it had no handler. SDL shows a box on X11 from a child
// process and waits for it: a process that leads its own job (as a terminal's shell starts it)
// ends the whole job, so that the box goes with it.
void endByTheSignal(int signal) {
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signal, &byDefault, nullptr);
    if (getpgrp() == getpid())
        kill(0, signal);
    else
        raise(signal);
}

void endOn(int signal, struct sigaction& previous) {
    struct sigaction endProgram = {};
    endProgram.sa_handler = endByTheSignal;
    sigemptyset(&endProgram.sa_mask);
    sigaction(signal, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) sigaction(signal, &endProgram, nullptr);
}

}  // namespace

SignalsEndTheProgram::SignalsEndTheProgram() {
    endOn(SIGINT, previousInterrupt_);
    endOn(SIGTERM, previousTerminate_);
}

SignalsEndTheProgram::~SignalsEndTheProgram() {
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
}

bool cancelRequested(int input, std::FILE* out, bool interactive) {
    if (terminations) return true;
    if (interrupts == interruptsSeen) return false;
    interruptsSeen = interrupts;
    if (!interactive) return true;
    drainWakePipe();
    std::fputs("\nReally? [y/N] ", out);
    std::fflush(out);
    const bool yes = askYes(input);
    interruptsSeen = interrupts;
    return yes;
}

}  // namespace terminal
