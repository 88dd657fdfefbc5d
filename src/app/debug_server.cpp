#include "app/debug_server.h"

#include <cstdarg>
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

std::string formatMessage(const char* format, const char* argument) {
    std::string text = format ? format : "";
    if (size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, argument ? argument : "");
    if (text.size() > kFormatBuffer - 1) text.resize(kFormatBuffer - 1);
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
    std::string text = formatMessage(format, argument);
    write(text.c_str(), level);
    if (errorBox_) showErrorBox(kCaption, text.c_str());
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
