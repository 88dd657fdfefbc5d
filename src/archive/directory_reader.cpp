#include "archive/directory_reader.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "archive/archive_format.h"

using namespace archive_format;

namespace {

constexpr int kEnd = -1;    // no more bytes in the file
constexpr int kError = -2;  // the file delivered fewer bytes than its length

// Hands out the file's bytes one at a time, refilling a fixed buffer from the read callback.
class Cursor {
public:
    Cursor(int64_t length, const ArchiveReadFn& read, size_t chunk)
        : length_(length), read_(read), chunk_(chunk ? chunk : 1), buffer_(new uint8_t[chunk_]) {}

    int next() { return at_ < filled_ ? buffer_[at_++] : refill(); }
    int64_t position() const { return base_ + int64_t(at_); }
    int64_t bytesRead() const { return base_ + int64_t(filled_); }

private:
    int refill() {
        if (failed_) return kError;
        base_ += int64_t(filled_);
        at_ = filled_ = 0;
        if (base_ >= length_) return kEnd;
        size_t want = size_t(std::min<int64_t>(int64_t(chunk_), length_ - base_));
        filled_ = read_(buffer_.get(), want);
        if (filled_ < want) {
            failed_ = true;
            return kError;
        }
        return buffer_[at_++];
    }

    int64_t length_;
    const ArchiveReadFn& read_;
    size_t chunk_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t at_ = 0, filled_ = 0;
    int64_t base_ = 0;
    bool failed_ = false;
};

struct Failure {
    int code;
    const char* reason;
};

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One byte of the directory: the end of the file there means the directory is cut short.
int need(Cursor& in) {
    int c = in.next();
    if (c == kEnd) throw Failure{kBadDirectory, "the directory runs into the end of the file"};
    if (c == kError) throw Failure{kShortRead, "the file delivered fewer bytes than its length"};
    return c;
}

// The marker search restarts on a mismatch without testing that byte again as a first marker
// byte, so "@@@Quill..." does not match.
void findMarker(Cursor& in) {
    size_t p = 0;
    while (p < kMarkerLength) {
        int c = in.next();
        if (c == kError) throw Failure{kShortRead, "the file delivered fewer bytes than its length"};
        if (c == kEnd) throw Failure{kBadDirectory, "no archive marker"};
        p = (c == static_cast<unsigned char>(kMarker[p])) ? p + 1 : 0;
    }
}

// The name up to its closing "@" (consumed).
std::string readName(Cursor& in, int first) {
    std::string name;
    for (int c = first; c != '@'; c = need(in)) {
        if (c == 0) throw Failure{kBadDirectory, "a name contains a NUL byte"};
        if (name.size() == kMaxNameLength) throw Failure{kBadDirectory, "a name is longer than 511 characters"};
        name.push_back(char(c));
    }
    return name;
}

// A size field read like a 32-bit strtol (leading blanks, a sign, digits up to the first
// non-digit, saturating at the 32-bit limits); the rest up to and including the next "@" is
// skipped.
int32_t readSize(Cursor& in, int first) {
    int c = first;
    while (isBlank(c)) c = need(in);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = need(in);
    }
    int64_t value = 0;
    for (; c >= '0' && c <= '9'; c = need(in))
        value = std::min<int64_t>(value * 10 + (c - '0'), int64_t(INT32_MAX) + 1);
    while (c != '@') c = need(in);
    return int32_t(negative ? -value : std::min<int64_t>(value, INT32_MAX));
}

void parse(Cursor& in, int64_t length, std::vector<ArchiveEntry>& entries) {
    findMarker(in);
    if (in.position() == length) throw Failure{kBadDirectory, "the marker ends at the end of the file"};
    need(in);  // the separator, never looked at

    int c = need(in);
    if (c == '@') {  // one "@" before the first name is tolerated; "@@" is an empty directory
        c = need(in);
        if (c == '@') return;
    }
    for (;;) {
        std::string name = readName(in, c);
        c = need(in);
        if (c == '@') break;  // a name followed by "@@" ends the directory without an entry
        int32_t size = readSize(in, c);
        if (entries.size() == kMaxEntries) throw Failure{kBadDirectory, "more than 1024 entries"};
        entries.push_back({std::move(name), size, 0});
        c = need(in);
        if (c == '@') break;  // the terminator
    }

    // File data follows the terminator back to back, in directory order. The sizes are taken as
    // they stand: an entry that runs past the end of the file (or has a negative size) only fails
    // when it is read, and the others stay readable.
    int64_t offset = in.position();
    for (ArchiveEntry& entry : entries) {
        entry.offset = offset;
        offset += entry.size;
    }
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(const char* a, const char* b, size_t bLength) {
    for (size_t i = 0; i < bLength; ++i)
        if (a[i] == '\0' || lower(a[i]) != lower(b[i])) return false;
    return a[bLength] == '\0';
}

}  // namespace

DirectoryResult readDirectory(int64_t length, const ArchiveReadFn& read, std::vector<ArchiveEntry>& entries,
                              size_t chunkSize) {
    entries.clear();
    Cursor in(length, read, chunkSize);
    DirectoryResult result;
    try {
        parse(in, length, entries);
    } catch (const Failure& failure) {
        entries.clear();
        result.code = failure.code;
        result.reason = failure.reason;
    }
    result.bytesRead = in.bytesRead();
    return result;
}

const ArchiveEntry* findEntry(const std::vector<ArchiveEntry>& entries, const char* name) {
    if (!name) return nullptr;
    for (const ArchiveEntry& entry : entries) {
        const std::string& full = entry.name;
        size_t slash = full.rfind('/');
        size_t baseAt = slash == std::string::npos ? 0 : slash + 1;
        if (equalsIgnoringCase(name, full.data(), full.size()) ||
            equalsIgnoringCase(name, full.data() + baseAt, full.size() - baseAt))
            return &entry;
    }
    return nullptr;
}
