// Arbitrary bytes as a page's query string: turned into the command line's words and read by
// every option test the program runs on them, in the program's order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view query(reinterpret_cast<const char*>(data), size);
    std::string words = commandLineFromQuery(query);
    // Decoding only ever shortens the text, and a NUL never gets through.
    if (words.size() > size || words.find('\0') != std::string::npos) std::abort();
    takeOutOption(words);
    takeCodecOption(words);
    if (std::optional<std::string> scale = takeScaleOption(words)) scaleValue(*scale);
    if (std::optional<std::string> shot = takeShotOption(words)) {
        for (int tick : shotTicks(*shot))
            if (tick < 0 || tick > 13100) std::abort();
    }
    framesPerSecondOption(words);
    soundOption(words);
    creditsOption(words);
    return 0;
}
