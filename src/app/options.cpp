#include "app/options.h"

#include <algorithm>
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

// The words, each written once: the tests below look for them, --help and the manuals name them.
constexpr std::string_view kCredits = "credits", kWindow = "window", kVideo = "video", kHd = "hd", kFps = "fps",
                           kVideos = "videos";
constexpr std::string_view kSoundOff[] = {"no audio", "audio off", "audio=off", "audio=0",
                                          "no sound", "sound off", "sound=off", "sound=0"};
constexpr std::string_view kCodec = "codec=", kOut = "out=", kScale = "scale=", kLines = "lines=",
                             kShot = "shot=";

}  // namespace

std::vector<std::string_view> optionWords() {
    std::vector<std::string_view> words = {kWindow, kVideo, kVideos, kFps, kCredits, kCodec, kOut, kScale, kHd, kLines,
                                           kShot};
    words.insert(words.end(), std::begin(kSoundOff), std::end(kSoundOff));
    return words;
}

std::vector<std::string> commandLineWords(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

std::string commandLineText(const std::vector<std::string>& words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += ' ';
        text += words[i];
    }
    return text;
}

std::string takeOutOption(std::vector<std::string>& words) {
    std::string file;
    for (std::string& word : words) {
        const size_t at = lowerCased(word).find(kOut);
        if (at == std::string::npos) continue;
        file = word.substr(at + kOut.size());
        word.erase(at);
    }
    return file;
}

bool creditsOption(std::string_view commandLine) { return contains(commandLine, kCredits); }
bool windowOption(std::string_view commandLine) { return contains(commandLine, kWindow); }
bool videoOption(std::string_view commandLine) { return contains(commandLine, kVideo); }
bool videosOption(std::string_view commandLine) { return contains(commandLine, kVideos); }
bool hdOption(std::string_view commandLine) { return contains(commandLine, kHd); }

bool soundOption(std::string_view commandLine) {
    std::string text = lowerCased(commandLine);
    for (std::string_view phrase : kSoundOff)
        if (text.find(phrase) != std::string::npos) return false;
    return true;
}

std::string framesPerSecondText(std::string_view commandLine) {
    std::string text = lowerCased(commandLine);
    if (text.find(kFps) == std::string::npos) return "";
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

std::string takeCodecOption(std::string& commandLine) { return lowerCased(takeValueOption(commandLine, kCodec)); }

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

std::optional<std::string> takeScaleOption(std::string& commandLine) { return takeOptionalValue(commandLine, kScale); }

std::optional<std::string> takeLinesOption(std::string& commandLine) { return takeOptionalValue(commandLine, kLines); }

std::optional<std::string> takeShotOption(std::string& commandLine) { return takeOptionalValue(commandLine, kShot); }

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

std::vector<std::string> queryWords(std::string_view query) {
    std::vector<std::string> words;
    const std::string text = commandLineFromQuery(query);
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        if (end > at) words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

int scaleValue(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '8') return 0;
    return text[0] - '0';
}

const char* optionHelp() {
    return "usage: glimmertide [words...]\n"
           "Words are found anywhere in the command line, in any letter case:\n"
           "  window      play in a 324 x 265 window instead of full screen\n"
           "  video       record the show into glimmertide.avi; needs no display\n"
           "  out=NAME    the recording's file: the rest of its command-line word, spaces\n"
           "              included (\"out=My Videos/show.mkv\" in quotes); the extension picks\n"
           "              the container: .avi, .mp4, .mkv or .webm\n"
           "              out=FOLDER/ (or a folder that exists) records glimmertide.mp4 there,\n"
           "              or glimmertide-2.mp4 and on: it never replaces a file\n"
           "  videos      record into your videos folder (XDG_VIDEOS_DIR, else ~/Videos)\n"
           "              as out=FOLDER/ does\n"
           "  fps N       frame rate of the recording (default 40, at most 1000)\n"
           "  codec=NAME  video codec of the recording, the container's default first:\n"
           "                .avi   ffv1, raw, mjpeg, huffyuv, mpeg4, h264; sound PCM\n"
           "                .mp4   h264, mpeg4, mjpeg; sound AAC\n"
           "                .mkv   ffv1, h264, vp9, mjpeg, mpeg4, huffyuv; sound FLAC\n"
           "                .webm  vp9; sound Opus\n"
           "              without it an .avi with a display asks in a box\n"
           "  no sound    play or record without the soundtrack (also: no audio, audio off,\n"
           "              audio=off, audio=0, sound off, sound=off, sound=0)\n"
           "  credits     show the credits at the end\n"
           "  scale=N     draw at N times 320 x 240, N from 1 to 8 (live, recorded)\n"
           "  hd          pick the scale from the screen: the largest that fits it full\n"
           "              screen, or about 80 % of it in a window\n"
           "  lines=WAY   draw lines natively (glLineWidth, GL_LINE_SMOOTH) or as quads;\n"
           "              WAY is native or quads (default: native where the driver draws\n"
           "              the widest line the show needs, else quads)\n"
           "  shot=T1,... the browser page's frames at those ticks; refused here, where\n"
           "              glimmershot --at TICK takes them\n"
           "  --help      print this text (also: help, -h);  --version  print the version\n"
           "The live show needs a display; video records without one. Escape, closing the\n"
           "window or Ctrl-C ends the show (a recording on a terminal asks first, and with a\n"
           "display shows its progress in a window with Cancel); F11 or\n"
           "Alt+Enter switches between the window and full screen.\n"
           "GLIMMERTIDE_LINE_WIDTH_LIMIT=W in the environment makes it act as if the graphics\n"
           "driver drew lines at most W pixels wide.\n";
}
