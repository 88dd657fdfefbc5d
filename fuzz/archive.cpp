// Fuzzes the archive directory reader and the name look-up. Every input is read by the streaming
// reader at several chunk sizes and by the whole-file reference; any difference aborts.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/directory_reader.h"
#include "archive/reference_directory.h"

namespace {

void mismatch(const char* what) {
    std::fprintf(stderr, "streaming and whole-file readers differ: %s\n", what);
    std::abort();
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

void compareLookUp(const std::vector<ArchiveEntry>& entries, const std::string& request) {
    if (request.find('\0') != std::string::npos) return;  // requests are C strings
    const ArchiveEntry* found = findEntry(entries, request.c_str());
    int index = found ? int(found - entries.data()) : -1;
    if (index != reference::find(entries, request)) mismatch("name look-up");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;  // an empty file never reaches the reader
    std::vector<ArchiveEntry> expected;
    int expectedCode = reference::parseDirectory(data, size, expected);

    std::vector<ArchiveEntry> entries;
    for (size_t chunk : {size_t(1), size_t(3), size_t(64), kDirectoryChunk}) {
        size_t at = 0;
        ArchiveReadFn read = [&](uint8_t* into, size_t max) {
            size_t n = std::min(max, size - at);
            std::memcpy(into, data + at, n);
            at += n;
            return n;
        };
        DirectoryResult result = readDirectory(int64_t(size), read, entries, chunk);
        if (result.code != expectedCode) mismatch("status code");
        if (entries.size() != expected.size()) mismatch("entry count");
        for (size_t i = 0; i < entries.size(); ++i) {
            const ArchiveEntry &a = entries[i], &b = expected[i];
            if (a.name != b.name || a.size != b.size || a.offset != b.offset) mismatch("entry");
        }
    }

    // Look-ups by every entry's name in other letter cases, by base name, under another folder,
    // and by the input's last bytes.
    for (const ArchiveEntry& entry : entries) {
        std::string base = entry.name.substr(entry.name.find_last_of('/') == std::string::npos ? 0 : entry.name.find_last_of('/') + 1);
        compareLookUp(entries, entry.name);
        compareLookUp(entries, upper(entry.name));
        compareLookUp(entries, upper(base));
        compareLookUp(entries, "x/" + base);
    }
    size_t tail = std::min<size_t>(size, 12);
    compareLookUp(entries, std::string(reinterpret_cast<const char*>(data + size - tail), tail));
    return 0;
}
