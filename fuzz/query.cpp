// Arbitrary bytes as a page's query string: turned into the command line's words and read by
// every option test the program runs on them, in the program's order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view query(reinterpret_cast<const char*>(data), size);
    const std::string text = commandLineFromQuery(query);
    // Decoding only ever shortens the text, and a NUL never gets through.
    if (text.size() > size || text.find('\0') != std::string::npos) std::abort();
    std::vector<std::string> words = queryWords(query);
    for (const std::string& word : words)
        if (word.empty() || word.find(' ') != std::string::npos) std::abort();
    takeOutOption(words);
    std::string line = commandLineText(words);
    takeCodecOption(line);
    takeLinesOption(line);
    if (std::optional<std::string> scale = takeScaleOption(line)) scaleValue(*scale);
    if (std::optional<std::string> shot = takeShotOption(line)) {
        for (int tick : shotTicks(*shot))
            if (tick < 0 || tick > 13100) std::abort();
    }
    framesPerSecondOption(line);
    soundOption(line);
    creditsOption(line);
    return 0;
}
