#pragma once
// The one error class and its catalogue. Fatal conditions copy a catalogue entry and throw the
// copy by value; only the entry point catches, and the ExceptionServer reports what it caught.
#include <string>

class DebugServer;

class ExceptionType {
public:
    static constexpr int kTextSize = 1024;

    explicit ExceptionType(const char* message);
    void setArgument(const char* text);
    const char* getMessage() const { return message_; }
    const char* getArgument() const { return argument_; }
    // The message with the argument in place of its "%s".
    std::string text() const;

private:
    char message_[kTextSize];
    char argument_[kTextSize];
};

// The catalogue: one prepared, program-wide entry per message.
namespace errors {
extern ExceptionType fileNotFound;          // "Error - file %s not found! Aborting..."
extern ExceptionType couldntOpenFile;       // "Error - couldn't open file %s! Aborting..."
extern ExceptionType couldntReadFile;       // "Error - couldn't read file %s! Aborting..."
extern ExceptionType tooManyFiles;          // "Error - too many files in FileServer! Aborting..."
extern ExceptionType invalidData;           // "Error - invalid data in file %s! Aborting..."
extern ExceptionType outOfMemory;           // "Error - out of memory! Aborting..."
extern ExceptionType graphicsMode;          // "Error - graphics mode not supported! Aborting..."
extern ExceptionType stackOverflow;         // "Error - internal stack overflow! Aborting..."
extern ExceptionType couldntCreateWindow;   // "Error - couldn't create window! Aborting..."
extern ExceptionType couldntFetchDC;        // "Error - couldn't fetch DC! Aborting..."
extern ExceptionType couldntSetPixelFormat; // "Error - couldn't set pixel format! Aborting..."
extern ExceptionType couldntCreateRC;       // "Error - couldn't create RC! Aborting..."
extern ExceptionType couldntInitImageReader;// "Error - couldn't initialize image-reader! Aborting..."
extern ExceptionType undefinedException;    // "Error - an undefined exception was thrown! Aborting..."
extern ExceptionType couldntInitTimer;      // "Error - couldn't initialize timer! Aborting..."
extern ExceptionType couldntReadMetadata;   // "Error - couldn't read metadata! Aborting..."
}  // namespace errors

// Throws a copy of a catalogue entry; with an argument, it is set on the entry itself first.
[[noreturn]] void raise(const ExceptionType& entry);
[[noreturn]] void raise(ExceptionType& entry, const char* argument);

// Makes every failed allocation raise errors::outOfMemory instead of std::bad_alloc.
void installOutOfMemoryHandler();

class ExceptionServer {
public:
    explicit ExceptionServer(DebugServer& log) : log_(log) {}
    // Logs the error at level 10 and shows it in the "Fatal error!" box, then logs
    // "An exception occured - Aborting...".
    void report(const ExceptionType& error);

private:
    DebugServer& log_;
};
