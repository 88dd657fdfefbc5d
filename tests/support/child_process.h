#pragma once
// Waiting for a program the tests started, with a deadline so that a hang fails the test instead
// of stalling the suite.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

// Waits until the child exits, calling `between` every 20 ms meanwhile. Past the deadline the
// child is killed. Returns its exit status, or -1 when it was killed or ended by a signal.
inline int waitForExit(pid_t pid, std::chrono::seconds limit, const std::function<void()>& between = {}) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        if (between) between();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True once the process catches SIGINT, that is once SDL has turned Ctrl-C into a quit request.
inline bool catchesInterrupt(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16) & 2;
    return false;
}
