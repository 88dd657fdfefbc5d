#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/terminal.h"

namespace {

// Answers typed ahead on a pipe; the question goes to a memory stream.
class CancelQuestion : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pipe(keys), 0);
        out = open_memstream(&text, &textSize);
        terminal::catchInterrupts();
    }
    void TearDown() override {
        terminal::releaseInterrupts();
        close(keys[0]);
        if (keys[1] >= 0) close(keys[1]);
        std::fclose(out);
        std::free(text);
    }
    void type(const std::string& line) { ASSERT_EQ(write(keys[1], line.data(), line.size()), ssize_t(line.size())); }
    std::string asked() {
        std::fflush(out);
        return std::string(text, textSize);
    }
    bool check(bool interactive = true) { return terminal::cancelRequested(keys[0], out, interactive); }

    int keys[2] = {-1, -1};
    std::FILE* out = nullptr;
    char* text = nullptr;
    size_t textSize = 0;
};

TEST_F(CancelQuestion, NothingHappensWithoutASignal) {
    type("y\n");
    EXPECT_FALSE(check());
    EXPECT_EQ(asked(), "");
}

TEST_F(CancelQuestion, CtrlCAsksAndOnlyYesCancels) {
    type("n\n");
    std::raise(SIGINT);
    EXPECT_FALSE(check());
    EXPECT_EQ(asked(), "\nReally? [y/N] ");
    EXPECT_FALSE(check());  // the answered signal does not ask again

    type("\n");
    std::raise(SIGINT);
    EXPECT_FALSE(check());  // the default is no

    type("  Yes\n");
    std::raise(SIGINT);
    EXPECT_TRUE(check());
}

TEST_F(CancelQuestion, EndOfInputCountsAsNo) {
    close(keys[1]);
    keys[1] = -1;
    std::raise(SIGINT);
    EXPECT_FALSE(check());
}

TEST_F(CancelQuestion, SecondCtrlCWhileAskingCancels) {
    std::raise(SIGINT);
    std::thread again([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        kill(getpid(), SIGINT);
    });
    EXPECT_TRUE(check());  // nobody types: only the second signal ends the wait
    again.join();
}

TEST_F(CancelQuestion, WithoutATerminalASignalCancelsAtOnce) {
    std::raise(SIGINT);
    EXPECT_TRUE(check(false));
    EXPECT_EQ(asked(), "");
}

// Asking from a background job would read the terminal, and the job would be stopped (SIGTTIN).
TEST(CancelTerminal, OnlyTheTerminalsForegroundIsAsked) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const char* name = ptsname(master);
    const pid_t session = fork();
    if (session == 0) {
        // A session whose controlling terminal is the pty, like a login shell's.
        setsid();
        const int tty = open(name, O_RDWR);
        if (tty < 0 || dup2(tty, 0) < 0 || dup2(tty, 2) < 0) _exit(3);
        if (!terminal::isInteractive()) _exit(1);
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);  // a job of its own, not in the foreground
            _exit(terminal::isInteractive() ? 2 : 0);
        }
        int status = 0;
        waitpid(job, &status, 0);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(session, &status, 0), session);
    close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the foreground is not asked, 2: a background job is asked";
}

// Held while a box waits: SIGINT and SIGTERM end the program even while the recording catches
// them; afterwards they are caught again. A signal the process was started with ignored stays so.
TEST(SignalsEndTheProgramDeathTest, WhileHeldSignalsEndTheProgram) {
    for (int signal : {SIGINT, SIGTERM}) {
        EXPECT_EXIT(
            {
                terminal::catchInterrupts();
                { terminal::SignalsEndTheProgram boxClosedAgain; }
                std::raise(signal);
                if (!terminal::cancelRequested(-1, stderr, false)) std::exit(3);  // caught and counted
                terminal::SignalsEndTheProgram whileABoxWaits;
                std::raise(signal);
                std::exit(0);
            },
            ::testing::KilledBySignal(signal), "");
    }
    EXPECT_EXIT(
        {
            std::signal(SIGINT, SIG_IGN);
            terminal::SignalsEndTheProgram whileABoxWaits;
            std::raise(SIGINT);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(CancelTerminate, SigtermCancelsWithoutAsking) {
    // Last in this program: a caught SIGTERM stays counted for the rest of the process.
    terminal::catchInterrupts();
    std::raise(SIGTERM);
    EXPECT_TRUE(terminal::cancelRequested(-1, stderr, true));
    terminal::releaseInterrupts();
}

}  // namespace
