#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int kMostLinks = 40;  // as the kernel follows them
constexpr int kMostParts = 99;

int errorOf(const std::error_code& error) { return error.value() ? error.value() : EIO; }

// The file a chain of links ends at (the name itself when it is no link); the file need not exist.
int followLinks(fs::path& place, bool& followed) {
    std::error_code error;
    for (int hops = 0; fs::is_symlink(fs::symlink_status(place, error)); ++hops) {
        if (hops == kMostLinks) return ELOOP;
        const fs::path next = fs::read_symlink(place, error);
        if (error) return errorOf(error);
        place = next.is_absolute() ? next : place.parent_path() / next;
        followed = true;
    }
    return error && error != std::errc::no_such_file_or_directory ? errorOf(error) : 0;
}

int syncPath(const char* path, int flags) {
    const int fd = ::open(path, flags | O_CLOEXEC);
    if (fd < 0) return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

}  // namespace

int OutputFile::open(const std::string& target) {
    fs::path place = target;
    if (const int error = followLinks(place, throughLink_)) return error;
    target_ = place.string();
    struct stat existing;
    if (::stat(target_.c_str(), &existing) != 0) {
        if (errno != ENOENT) return errno;
        return createBeside(target_, path_);
    }
    if (S_ISDIR(existing.st_mode)) return EISDIR;
    if (!S_ISREG(existing.st_mode)) {
        path_ = target_;
        direct_ = true;
        return 0;
    }
    // Renaming would replace a file the user cannot write; opening it would have been refused.
    if (::access(target_.c_str(), W_OK) != 0) return errno;
    const int error = createBeside(target_, path_);
    // The new file keeps the permissions the old one had.
    if (!error) ::chmod(path_.c_str(), existing.st_mode & 07777);
    return error;
}

// "<name>.part", or "<name>.N.part" for the first N from 2 that is free, created empty with the
// permissions the process gives new files. Taking the name with O_EXCL keeps it ours alone.
int OutputFile::createBeside(const std::string& name, std::string& created) const {
    int error = EEXIST;
    for (int n = 1; n <= kMostParts && error == EEXIST; ++n) {
        const std::string candidate = name + (n == 1 ? "" : "." + std::to_string(n)) + ".part";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            continue;
        }
        ::close(fd);
        created = candidate;
        return 0;
    }
    return error;
}

int OutputFile::truncate(uint64_t length) {
    if (direct_ || path_.empty()) return 0;
    return ::truncate(path_.c_str(), off_t(length)) == 0 ? 0 : errno;
}

int OutputFile::rewrite(const std::function<int(const std::string& from, const std::string& to)>& write) {
    if (direct_ || path_.empty()) return 0;
    std::string fresh;
    if (const int error = createBeside(target_, fresh)) return error;
    struct stat part;
    if (::stat(path_.c_str(), &part) == 0) ::chmod(fresh.c_str(), part.st_mode & 07777);
    int error = write(path_, fresh);
    if (!error && std::rename(fresh.c_str(), path_.c_str()) != 0) error = errno;
    if (error) std::remove(fresh.c_str());
    return error;
}

int OutputFile::keep() {
    if (direct_ || path_.empty()) return 0;
    // The data reaches the disk before the name moves to it: a power cut then leaves either the
    // old file or the whole new one. (A writer that must never replace anything would link the
    // part file to a fresh name instead, and try the next name when that one is taken.)
    if (const int error = syncPath(path_.c_str(), O_RDONLY)) return error;
    if (std::rename(path_.c_str(), target_.c_str()) != 0) return errno;
    path_.clear();
    const fs::path folder = fs::path(target_).parent_path();
    syncPath(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    return 0;
}

void OutputFile::discard() {
    if (direct_ || path_.empty()) return;
    std::remove(path_.c_str());
    path_.clear();
}
