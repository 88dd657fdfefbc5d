// The program in a browser page. The page passes its query string, whose words are the command
// line's; it shows the picture at the device's pixel ratio, so "hd" comes first (a scale= wins).
#include <string>

#include "app/app.h"
#include "app/options.h"

int main(int argc, char** argv) {
    std::string words = "hd " + commandLineFromQuery(argc > 1 ? argv[1] : "");
    char program[] = "glimmertide";
    char* args[] = {program, words.data(), nullptr};
    return runGlimmertide(2, args);
}
