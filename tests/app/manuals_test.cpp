// --help, the manual page and the README name every word, container and codec the program
// accepts. The lists come from the program's own tables, so nothing can be added to them without
// being documented.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <string_view>

#include "app/options.h"
#include "video/container.h"
#include "video/video_encoder.h"

namespace {

std::string readSource(const std::string& relative) {
    std::ifstream in(std::string(GLIMMER_SOURCE_DIR "/") + relative);
    EXPECT_TRUE(in) << relative;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A manual page as its reader sees the words: font changes gone, "\-" as "-", "\(dq" as '"'.
std::string plainManPage(const std::string& roff) {
    std::string text = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    return std::regex_replace(text, std::regex(R"(\\\(dq)"), "\"");
}

bool wordCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The word stands in the text on its own: no letter or digit runs on at either end ("raw" is not
// found in "draw", "hd" not in "hdmi"; "codec=" is found in "codec=NAME").
bool names(const std::string& text, std::string_view word) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const bool before = at > 0 && wordCharacter(text[at - 1]) && wordCharacter(word.front());
        const size_t end = at + word.size();
        const bool after = end < text.size() && wordCharacter(text[end]) && wordCharacter(word.back());
        if (!before && !after) return true;
    }
    return false;
}

struct Manual {
    const char* name;
    std::string text;
};

std::vector<Manual> manuals() {
    return {{"--help", optionHelp()},
            {"glimmertide(6)", plainManPage(readSource("docs/man/glimmertide.6"))},
            {"README.md", readSource("README.md")}};
}

TEST(Manuals, NameEveryWordTheProgramReads) {
    std::vector<std::string_view> words = optionWords();
    words.insert(words.end(), {"--help", "--version"});
    for (const Manual& manual : manuals()) {
        for (std::string_view word : words) EXPECT_TRUE(names(manual.text, word)) << manual.name << ": " << word;
        EXPECT_TRUE(names(manual.text, std::to_string(kMaxFramesPerSecond))) << manual.name << ": the fps limit";
    }
}

TEST(Manuals, NameEveryContainerAndCodec) {
    for (const Manual& manual : manuals()) {
        for (const ContainerFormat* format : containerFormats())
            EXPECT_TRUE(names(manual.text, format->extension)) << manual.name << ": " << format->extension;
        for (const std::string& codec : knownVideoCodecs())
            EXPECT_TRUE(names(manual.text, codec)) << manual.name << ": " << codec;
    }
}

TEST(Manuals, HelpListsWhatEachContainerTakesItsDefaultFirst) {
    const std::string help = optionHelp();
    for (const ContainerFormat* format : containerFormats()) {
        SCOPED_TRACE(format->extension);
        // "                .mkv   ffv1, h264, vp9, ...; sound FLAC"
        std::smatch line;
        ASSERT_TRUE(std::regex_search(help, line, std::regex(std::string("\n +\\") + format->extension + " +([^\n]*)")));
        const std::string codecs = line[1];
        EXPECT_EQ(codecs.rfind(std::string(format->defaultCodec) + ",", 0) == 0 ||
                      codecs.rfind(std::string(format->defaultCodec) + ";", 0) == 0,
                  true)
            << codecs;
        // The codecs this build's libavcodec can put into the container.
        for (const std::string& codec : containerCodecs(*format)) EXPECT_TRUE(names(codecs, codec)) << codec;
    }
}

TEST(Manuals, WordsStandOnTheirOwn) {
    EXPECT_TRUE(names("codecs: raw, mjpeg", "raw"));
    EXPECT_FALSE(names("draw the lines", "raw"));
    EXPECT_TRUE(names("codec=NAME the codec", "codec="));
    EXPECT_TRUE(names("the .mkv file", ".mkv"));
    EXPECT_FALSE(names("hdmi", "hd"));
    EXPECT_TRUE(names("\"no sound\"", "no sound"));
    EXPECT_EQ(plainManPage(R"(.BR \-\-help ", " \fBcodec=\fINAME\fR \(dqx\(dq)"), R"(.BR --help ", " codec=NAME "x")");
}

}  // namespace
