#include "base/exception.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/debug_server.h"

namespace {

void copyText(char* out, const char* in) {
    size_t n = in ? std::min(std::strlen(in), size_t(ExceptionType::kTextSize - 1)) : 0;
    if (n) std::memcpy(out, in, n);
    out[n] = '\0';
}

void outOfMemoryHandler() {
    // Restore the default first: raising may itself allocate (the exception object).
    std::set_new_handler(nullptr);
    ExceptionType copy = errors::outOfMemory;
    std::set_new_handler(outOfMemoryHandler);
    throw copy;
}

}  // namespace

ExceptionType::ExceptionType(const char* message) {
    copyText(message_, message);
    argument_[0] = '\0';
}

void ExceptionType::setArgument(const char* text) { copyText(argument_, text); }

std::string ExceptionType::text() const { return formatMessage(message_, argument_); }

namespace errors {
ExceptionType fileNotFound("Error - file %s not found! Aborting...");
ExceptionType couldntOpenFile("Error - couldn't open file %s! Aborting...");
ExceptionType couldntReadFile("Error - couldn't read file %s! Aborting...");
ExceptionType tooManyFiles("Error - too many files in FileServer! Aborting...");
ExceptionType invalidData("Error - invalid data in file %s! Aborting...");
ExceptionType outOfMemory("Error - out of memory! Aborting...");
ExceptionType graphicsMode("Error - graphics mode not supported! Aborting...");
ExceptionType stackOverflow("Error - internal stack overflow! Aborting...");
ExceptionType couldntCreateWindow("Error - couldn't create window! Aborting...");
ExceptionType couldntFetchDC("Error - couldn't fetch DC! Aborting...");
ExceptionType couldntSetPixelFormat("Error - couldn't set pixel format! Aborting...");
ExceptionType couldntCreateRC("Error - couldn't create RC! Aborting...");
ExceptionType couldntInitImageReader("Error - couldn't initialize image-reader! Aborting...");
ExceptionType undefinedException("Error - an undefined exception was thrown! Aborting...");
ExceptionType couldntInitTimer("Error - couldn't initialize timer! Aborting...");
ExceptionType couldntReadMetadata("Error - couldn't read metadata! Aborting...");
}  // namespace errors

void raise(const ExceptionType& entry) { throw ExceptionType(entry); }

void raise(ExceptionType& entry, const char* argument) {
    entry.setArgument(argument);
    throw ExceptionType(entry);
}

void installOutOfMemoryHandler() { std::set_new_handler(outOfMemoryHandler); }

void ExceptionServer::report(const ExceptionType& error) {
    log_.writeFormatted(error.getMessage(), error.getArgument(), 10);
    log_.write("An exception occured - Aborting...", 10);
}
