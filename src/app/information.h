#pragma once
// --help, --version and usage errors, answered the same way by the program and by every tool.
#include <string>

// The project's version, as in "glimmertide 0.1.0".
const char* glimmerVersion();

// Looks through the arguments (up to a "--") for --help or -h (or helpWord, when given) and for
// --version; the first one found is answered on stdout, with usage or with "program VERSION".
// True when it answered: the caller then ends with status 0 without doing anything else.
bool answeredInformationRequest(int argc, char** argv, const char* program, const char* usage,
                                const char* helpWord = nullptr);

// A usage error of a tool: "program: problem" and the usage on stderr. Returns the exit status
// every tool gives a usage error, 2.
int usageError(const char* program, const std::string& problem, const char* usage);
