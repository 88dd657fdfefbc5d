#include "app/information.h"

#include <cstdio>
#include <cstring>

const char* glimmerVersion() { return GLIMMER_VERSION; }

bool answeredInformationRequest(int argc, char** argv, const char* program, const char* usage,
                                const char* helpWord) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h") || (helpWord && !std::strcmp(arg, helpWord))) {
            std::fputs(usage, stdout);
            return true;
        }
        if (!std::strcmp(arg, "--version")) {
            std::printf("%s %s\n", program, glimmerVersion());
            return true;
        }
    }
    return false;
}

int usageError(const char* program, const std::string& problem, const char* usage) {
    std::fprintf(stderr, "%s: %s\n%s", program, problem.c_str(), usage);
    return 2;
}
