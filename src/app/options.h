#pragma once
// The command-line options: fixed words found anywhere in the lower-cased command-line text, with
// no regard to word boundaries ("showcredits" counts as "credits", "windowed" as "window").
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The arguments after the program name, joined with single blanks: the text every test reads.
std::string commandLineText(int argc, char** argv);

bool creditsOption(std::string_view commandLine);
// Also implied by video mode (the entry point decides that).
bool windowOption(std::string_view commandLine);
bool videoOption(std::string_view commandLine);
// False when any of the sound-off phrases ("no audio", "sound=0"...) occurs.
bool soundOption(std::string_view commandLine);
// With "fps" anywhere, the first decimal number anywhere in the text (no sign); otherwise, or
// without a digit, 40. Numbers too long for an int stop at INT_MAX.
int framesPerSecondOption(std::string_view commandLine);
// The digits that rate is read from, as written; "" when the default applies.
std::string framesPerSecondText(std::string_view commandLine);

// Takes every "codec=NAME" out of the command-line text (any letter case; NAME runs to the next
// blank) and returns the last name, lower-cased, or "" when there is none. Run before the other
// tests, so a codec name never counts as an option word or as the frame rate.
std::string takeCodecOption(std::string& commandLine);
// Takes every "out=NAME" out of the text in the same way and returns the last NAME as written
// (letter case kept), or "" when there is none. Run before takeCodecOption.
std::string takeOutOption(std::string& commandLine);

// Takes every "scale=N" out of the text in the same way and returns the last N as written, or
// nothing when there is none. Run before the frame rate is looked for, so N never becomes the rate.
std::optional<std::string> takeScaleOption(std::string& commandLine);
// The scale a "scale=" value asks for: 1 to 8, or 0 for anything else.
int scaleValue(std::string_view text);
// "hd": the scale is picked from the screen.
bool hdOption(std::string_view commandLine);

// Takes every "shot=T1,T2,..." out of the text in the same way and returns the last value as
// written, or nothing when there is none: the browser page's glimmershot.
std::optional<std::string> takeShotOption(std::string& commandLine);
// The ticks a "shot=" value names, in order: one or more numbers from 0 to 13100 between commas;
// empty for anything else.
std::vector<int> shotTicks(std::string_view text);

// The words of a page's query string ("?no+audio&scale=2" gives "no audio scale=2"): the parts
// between '&' joined with blanks, '+' read as a blank and %XX as the byte it names (a '%' without
// two hex digits stays as it is). A NUL byte ends the text, as it ends a command-line argument.
std::string commandLineFromQuery(std::string_view query);

// The option words, for --help.
const char* optionHelp();
