#pragma once
// The program's one log. Lines at or above the threshold go to "debug.log" when file output is on,
// and to an optional line sink (tools and tests listen there). writeFormatted also shows its text
// in the fatal-error box.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// Shows an error box (caption, text). The application installs the platform's message box; until
// then, and in tools, the text goes to stderr.
using ErrorBoxHandler = void (*)(const char* caption, const char* text);
void setErrorBoxHandler(ErrorBoxHandler handler);
void showErrorBox(const char* caption, const char* text);

class DebugServer {
public:
    using LineSink = std::function<void(std::string_view line)>;

    DebugServer(int threshold, int fileOutput);
    ~DebugServer();
    DebugServer(const DebugServer&) = delete;
    DebugServer& operator=(const DebugServer&) = delete;

    void setThreshold(int level);
    void write(const char* message, int level);
    void writeFormatted(const char* format, const char* argument, int level);

    // True when a line of this level would reach the file or the sink. Callers that build a line
    // from parts check this first, so that logging costs nothing when nobody listens.
    bool accepts(int level) const;

    // printf-style convenience: formats only when accepts(level); the result is cut at 1023 chars.
    void printf(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void setSink(LineSink sink);

private:
    int8_t threshold_;
    uint8_t fileOutput_;
    uint8_t errorBox_ = 1;
    std::FILE* file_ = nullptr;
    LineSink sink_;
};

// The process-wide debug server. Until the entry point installs its own, this is a quiet server
// (threshold 11, file output off) that writes nothing.
DebugServer& debugServer();
void installDebugServer(DebugServer& server);

// Substitutes the argument for the first "%s" of a message (an empty text when argument is null),
// never reading the message as a printf format; the result is cut to 1023 characters.
std::string formatMessage(const char* format, const char* argument);
