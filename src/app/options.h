#pragma once
// The command-line options: fixed words found anywhere in the lower-cased command-line text, with
// no regard to word boundaries ("showcredits" counts as "credits", "windowed" as "window").
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The arguments after the program name, each as the shell passed it.
std::vector<std::string> commandLineWords(int argc, char** argv);
// The arguments joined with single blanks: the text every test reads.
std::string commandLineText(const std::vector<std::string>& words);

// Takes "out=NAME" (any letter case) out of the arguments before they are joined: NAME is the rest
// of the argument it starts in, blanks included, so a quoted path with spaces stays whole; what
// comes before "out=" in that argument stays a word. Returns the last NAME as written, or "" when
// there is none.
std::string takeOutOption(std::vector<std::string>& words);

bool creditsOption(std::string_view commandLine);
// Also implied by video mode (the entry point decides that).
bool windowOption(std::string_view commandLine);
bool videoOption(std::string_view commandLine);
// "videos": record into the user's videos folder under a fresh name (implies video).
bool videosOption(std::string_view commandLine);
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

// Takes every "scale=N" out of the text in the same way and returns the last N as written, or
// nothing when there is none. Run before the frame rate is looked for, so N never becomes the rate.
std::optional<std::string> takeScaleOption(std::string& commandLine);
// The scale a "scale=" value asks for: 1 to 8, or 0 for anything else.
int scaleValue(std::string_view text);
// Takes every "lines=WAY" out of the text in the same way and returns the last WAY as written, or
// nothing when there is none. Run before the other words are looked for.
std::optional<std::string> takeLinesOption(std::string& commandLine);
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
// That text split at blanks, as a shell splits an unquoted command line into its arguments: so
// "out=" ends at a blank on the page, where no quotes can keep a name whole.
std::vector<std::string> queryWords(std::string_view query);

// Above this a recording is refused: the clock's float arithmetic and the recorder's sample counts
// lose their footing.
constexpr int kMaxFramesPerSecond = 1000;

// Every word the tests above look for, as --help and the manuals must name it: the fixed words, the
// sound-off phrases, and "codec=", "out=", "scale=", "lines=", "shot=" without their values.
std::vector<std::string_view> optionWords();

// The option words, for --help.
const char* optionHelp();
