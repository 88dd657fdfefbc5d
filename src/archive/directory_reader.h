#pragma once
// The archive's directory reader. It pulls the file's bytes through a read callback in bounded
// chunks and stops at the end of the directory, so opening never needs the whole file in memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "archive/file_server.h"

using ArchiveEntry = FileServer::Archive::Entry;

// Reads up to max bytes into `into`; returns the number read (fewer only at an error or end).
using ArchiveReadFn = std::function<size_t(uint8_t* into, size_t max)>;

struct DirectoryResult {
    int code = 0;                  // 0, -4 short read or -5 (see archive_format.h)
    const char* reason = "";       // what went wrong, for tools and logs
    int64_t bytesRead = 0;         // bytes pulled from the file
};

inline constexpr size_t kDirectoryChunk = 64 * 1024;

// Finds the marker and parses the directory of an archive of `length` bytes (length >= 1),
// reading it from the start through `read`. On success fills `entries` with names, sizes and
// offsets; on failure leaves it empty.
DirectoryResult readDirectory(int64_t length, const ArchiveReadFn& read, std::vector<ArchiveEntry>& entries,
                              size_t chunkSize = kDirectoryChunk);

// First entry, in directory order, whose full name or base name (after its last "/") equals
// `name`, ignoring the case of ASCII letters; null if none.
const ArchiveEntry* findEntry(const std::vector<ArchiveEntry>& entries, const char* name);
