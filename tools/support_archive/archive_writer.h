#pragma once
// Writes data archives in the canonical layout: marker, "@", one "name@size@" per file, "@",
// then the files' bytes back to back. Used by glimmerpack, the content generator and tests.
#include <cstdint>
#include <string>
#include <vector>

struct PackEntry {
    std::string name;           // stored as given; "/" separates folders
    std::vector<uint8_t> data;
};

// Why a name cannot be stored ("" when it can): empty, containing "@" or NUL, or longer than
// 511 characters.
std::string archiveNameProblem(const std::string& name);

// Why these entries cannot make a readable archive ("" when they can): a bad name, more than
// 1024 entries, or more data than 32-bit offsets reach.
std::string archiveProblem(const std::vector<PackEntry>& entries);

// Everything before the first file's bytes. An empty directory is written as "@@" after the
// separator, the one form a reader takes for "no files".
std::string archiveDirectory(const std::vector<std::string>& names, const std::vector<int64_t>& sizes);

// The whole archive in memory.
std::vector<uint8_t> buildArchive(const std::vector<PackEntry>& entries);

// Writes the archive to a temporary file beside `path` and renames it into place, so a failed
// write never leaves a partial archive. Returns false with the reason in `error`.
bool writeArchive(const std::string& path, const std::vector<PackEntry>& entries, std::string& error);
