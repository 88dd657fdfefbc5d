#pragma once
// Everything glimmergen makes, in memory: the seven files of the data archive in archive order.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ContentFile {
    std::string name;  // archive path, e.g. "data/Spiral.3ds"
    std::vector<std::uint8_t> bytes;
};

struct Content {
    std::vector<ContentFile> files;
};

// Makes every file and runs the self-checks (scene files read back by the program's own loader,
// the soundtrack's peak level). Reports progress lines through `note`; throws std::runtime_error
// when a check fails.
Content generateContent(const std::function<void(const std::string&)>& note);
