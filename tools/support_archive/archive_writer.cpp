#include "support_archive/archive_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive_format.h"

using namespace archive_format;

std::string archiveNameProblem(const std::string& name) {
    if (name.empty()) return "an empty name cannot be stored";
    if (name.find('@') != std::string::npos) return "a name cannot contain \"@\"";
    if (name.find('\0') != std::string::npos) return "a name cannot contain NUL";
    if (name.size() > kMaxNameLength) return "a name cannot be longer than 511 characters";
    return "";
}

std::string archiveProblem(const std::vector<PackEntry>& entries) {
    if (entries.size() > kMaxEntries) return "an archive holds at most 1024 files";
    std::vector<std::string> names;
    std::vector<int64_t> sizes;
    int64_t total = 0;
    for (const PackEntry& entry : entries) {
        if (std::string problem = archiveNameProblem(entry.name); !problem.empty()) return problem + ": " + entry.name;
        names.push_back(entry.name);
        sizes.push_back(int64_t(entry.data.size()));
        total += int64_t(entry.data.size());
    }
    if (int64_t(archiveDirectory(names, sizes).size()) + total > INT32_MAX)
        return "an archive holds at most 2 GiB (offsets are 32-bit)";
    return "";
}

std::string archiveDirectory(const std::vector<std::string>& names, const std::vector<int64_t>& sizes) {
    std::string out = kMarker;
    out += kSeparator;
    if (names.empty()) return out + "@@";
    for (size_t i = 0; i < names.size(); ++i) out += names[i] + "@" + std::to_string(sizes[i]) + "@";
    return out + "@";
}

std::vector<uint8_t> buildArchive(const std::vector<PackEntry>& entries) {
    std::vector<std::string> names;
    std::vector<int64_t> sizes;
    for (const PackEntry& entry : entries) {
        names.push_back(entry.name);
        sizes.push_back(int64_t(entry.data.size()));
    }
    std::string directory = archiveDirectory(names, sizes);
    std::vector<uint8_t> out(directory.begin(), directory.end());
    for (const PackEntry& entry : entries) out.insert(out.end(), entry.data.begin(), entry.data.end());
    return out;
}

bool writeArchive(const std::string& path, const std::vector<PackEntry>& entries, std::string& error) {
    error = archiveProblem(entries);
    if (!error.empty()) return false;
    std::vector<uint8_t> bytes = buildArchive(entries);

    std::string temp = path + ".tmp-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = "cannot write " + temp + ": " + std::strerror(errno);
            ok = false;
        } else {
            at += size_t(n);
        }
    }
    if (ok && fsync(fd) != 0) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        ok = false;
    }
    // mkstemp makes the file private to its owner; give it the usual mode for new files instead.
    std::error_code ec;
    if (ok) {
        mode_t mask = umask(0);
        umask(mask);
        std::filesystem::permissions(temp, std::filesystem::perms(0666 & ~mask), ec);
    }
    if (ok) {
        std::filesystem::rename(temp, path, ec);
        if (ec) {
            error = "cannot replace " + path + ": " + ec.message();
            ok = false;
        }
    }
    if (!ok) std::filesystem::remove(temp, ec);
    return ok;
}
