// The program in a browser page. The page passes its query string, whose words are the command
// line's; it shows the picture at the device's pixel ratio, so "hd" comes first (a scale= wins).
#include <string>
#include <vector>

#include "app/app.h"
#include "app/options.h"

int main(int argc, char** argv) {
    std::vector<std::string> words = queryWords(argc > 1 ? argv[1] : "");
    words.insert(words.begin(), "hd");
    std::vector<char*> args = {argv[0]};
    for (std::string& word : words) args.push_back(word.data());
    args.push_back(nullptr);
    return runGlimmertide(int(args.size()) - 1, args.data());
}
