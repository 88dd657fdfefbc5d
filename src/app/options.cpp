#include "app/options.h"

#include <climits>

namespace {

constexpr int kDefaultFramesPerSecond = 40;

std::string lowerCased(std::string_view text) {
    std::string copy(text);
    for (char& c : copy)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return copy;
}

bool contains(std::string_view commandLine, std::string_view word) {
    return lowerCased(commandLine).find(word) != std::string::npos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string commandLineText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

bool creditsOption(std::string_view commandLine) { return contains(commandLine, "credits"); }
bool windowOption(std::string_view commandLine) { return contains(commandLine, "window"); }
bool videoOption(std::string_view commandLine) { return contains(commandLine, "video"); }
bool hdOption(std::string_view commandLine) { return contains(commandLine, "hd"); }

bool soundOption(std::string_view commandLine) {
    static constexpr std::string_view kSoundOff[] = {"no audio", "audio off", "audio=off", "audio=0",
                                                     "no sound", "sound off", "sound=off", "sound=0"};
    std::string text = lowerCased(commandLine);
    for (std::string_view phrase : kSoundOff)
        if (text.find(phrase) != std::string::npos) return false;
    return true;
}

std::string framesPerSecondText(std::string_view commandLine) {
    std::string text = lowerCased(commandLine);
    if (text.find("fps") == std::string::npos) return "";
    // The number is searched from the start of the text, not from "fps".
    size_t at = 0;
    while (at < text.size() && !isDigit(text[at])) ++at;
    size_t end = at;
    while (end < text.size() && isDigit(text[end])) ++end;
    return text.substr(at, end - at);
}

int framesPerSecondOption(std::string_view commandLine) {
    const std::string digits = framesPerSecondText(commandLine);
    if (digits.empty()) return kDefaultFramesPerSecond;
    long long value = 0;
    for (char digit : digits) {
        value = value * 10 + (digit - '0');
        if (value > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(value);
}

namespace {

// Takes every "<word>NAME" out of the text (word in any letter case; NAME runs to the next blank)
// and returns the last NAME as written.
std::string takeValueOption(std::string& commandLine, std::string_view word) {
    std::string value;
    for (;;) {
        const size_t at = lowerCased(commandLine).find(word);
        if (at == std::string::npos) return value;
        size_t end = at + word.size();
        while (end < commandLine.size() && commandLine[end] != ' ' && commandLine[end] != '\t') ++end;
        value = commandLine.substr(at + word.size(), end - at - word.size());
        commandLine.erase(at, end - at);
    }
}

}  // namespace

std::string takeCodecOption(std::string& commandLine) { return lowerCased(takeValueOption(commandLine, "codec=")); }

std::string takeOutOption(std::string& commandLine) { return takeValueOption(commandLine, "out="); }

namespace {

std::optional<std::string> takeOptionalValue(std::string& commandLine, std::string_view word) {
    if (lowerCased(commandLine).find(word) == std::string::npos) return std::nullopt;
    return takeValueOption(commandLine, word);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> takeScaleOption(std::string& commandLine) { return takeOptionalValue(commandLine, "scale="); }

std::optional<std::string> takeShotOption(std::string& commandLine) { return takeOptionalValue(commandLine, "shot="); }

std::vector<int> shotTicks(std::string_view text) {
    constexpr int kLastTick = 13100;
    std::vector<int> ticks;
    size_t at = 0;
    for (;;) {
        int tick = 0;
        size_t digits = 0;
        while (at < text.size() && isDigit(text[at])) {
            tick = tick * 10 + (text[at++] - '0');
            if (++digits > 5 || tick > kLastTick) return {};
        }
        if (digits == 0) return {};
        ticks.push_back(tick);
        if (at == text.size()) return ticks;
        if (text[at++] != ',') return {};
    }
}

std::string commandLineFromQuery(std::string_view query) {
    if (!query.empty() && query[0] == '?') query.remove_prefix(1);
    std::string text;
    for (size_t i = 0; i < query.size(); ++i) {
        char c = query[i];
        if (c == '&' || c == '+') {
            c = ' ';
        } else if (c == '%' && i + 2 < query.size() && hexDigit(query[i + 1]) >= 0 && hexDigit(query[i + 2]) >= 0) {
            c = static_cast<char>(hexDigit(query[i + 1]) * 16 + hexDigit(query[i + 2]));
            i += 2;
        }
        if (c == '\0') break;
        text += c;
    }
    return text;
}

int scaleValue(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '8') return 0;
    return text[0] - '0';
}

const char* optionHelp() {
    return "usage: glimmertide [words...]\n"
           "Words are found anywhere in the command line, in any letter case:\n"
           "  window      play in a 324 x 265 window instead of full screen\n"
           "  video       record the show to glimmertide.avi (hidden window)\n"
           "  out=NAME    the recording's file; its extension picks the container:\n"
           "              .avi, .mp4 (H.264, AAC), .mkv (FFV1, FLAC), .webm (VP9, Opus)\n"
           "  fps N       frame rate of the recording (default 40, at most 1000)\n"
           "  codec=NAME  video codec of the recording: raw, mjpeg, ffv1 (default without a\n"
           "              display), huffyuv, mpeg4, h264\n"
           "  no sound    play or record without the soundtrack (also: no audio, audio off,\n"
           "              audio=off, audio=0, sound off, sound=off, sound=0)\n"
           "  credits     show the credits at the end\n"
           "  scale=N     draw at N times 320 x 240, N from 1 to 8 (live, recorded)\n"
           "  hd          pick the scale from the screen: the largest that fits it full\n"
           "              screen, or about 80 % of it in a window\n"
           "  --help      print this text;  --version  print the version\n"
           "Escape or closing the window ends the show; F11 or Alt+Enter switches between\n"
           "the window and full screen.\n";
}
