#include "base/debug_server.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kCaption = "Fatal error!";
constexpr size_t kFormatBuffer = 1024;

void stderrErrorBox(const char* caption, const char* text) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
}

ErrorBoxHandler g_errorBox = stderrErrorBox;

DebugServer* g_installed = nullptr;

}  // namespace

void setErrorBoxHandler(ErrorBoxHandler handler) { g_errorBox = handler ? handler : stderrErrorBox; }

void showErrorBox(const char* caption, const char* text) { g_errorBox(caption, text); }

// Fills out (kFormatBuffer chars) without allocating: the error report must work even when the
// error being reported is "out of memory".
static void formatInto(char (&out)[kFormatBuffer], const char* format, const char* argument) {
    if (!format) format = "";
    if (!argument) argument = "";
    size_t used = 0;
    auto append = [&](const char* text, size_t n) {
        n = std::min(n, kFormatBuffer - 1 - used);
        std::memcpy(out + used, text, n);
        used += n;
    };
    if (const char* at = std::strstr(format, "%s")) {
        append(format, size_t(at - format));
        append(argument, std::strlen(argument));
        append(at + 2, std::strlen(at + 2));
    } else {
        append(format, std::strlen(format));
    }
    out[used] = '\0';
}

std::string formatMessage(const char* format, const char* argument) {
    char text[kFormatBuffer];
    formatInto(text, format, argument);
    return text;
}

DebugServer::DebugServer(int threshold, int fileOutput)
    : threshold_(static_cast<int8_t>(threshold)), fileOutput_(static_cast<uint8_t>(fileOutput)) {
    if (fileOutput_ == 1) {
        file_ = std::fopen("debug.log", "w+");
        if (!file_) {
            // The fatal box: the log cannot work, so the program ends here.
            showErrorBox(kCaption, "Error - Can't create log-file! Aborting...");
            std::exit(1);
        }
    }
}

DebugServer::~DebugServer() {
    if (file_) std::fclose(file_);
}

void DebugServer::setThreshold(int level) { threshold_ = static_cast<int8_t>(level); }

bool DebugServer::accepts(int level) const {
    if (level < threshold_) return false;
    return (fileOutput_ == 1 && file_) || sink_;
}

void DebugServer::write(const char* message, int level) {
    if (!accepts(level)) return;
    if (fileOutput_ == 1 && file_) {
        // Flushed per line so the log is complete even if the process dies; write errors are ignored.
        std::fputs(message, file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
    if (sink_) sink_(message);
}

void DebugServer::writeFormatted(const char* format, const char* argument, int level) {
    char text[kFormatBuffer];
    formatInto(text, format, argument);
    write(text, level);
    if (errorBox_) showErrorBox(kCaption, text);
}

void DebugServer::printf(int level, const char* format, ...) {
    if (!accepts(level)) return;
    char buffer[kFormatBuffer];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    write(buffer, level);
}

void DebugServer::setSink(LineSink sink) { sink_ = std::move(sink); }

DebugServer& debugServer() {
    static DebugServer quiet(11, 0);
    return g_installed ? *g_installed : quiet;
}

void installDebugServer(DebugServer& server) { g_installed = &server; }
