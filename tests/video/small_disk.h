#pragma once
// A folder with little room: a small tmpfs mounted there where the tests may mount one (as root),
// else a limit on the size of any file the child process writes. Writing past the room fails either
// way, as on a full disk.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <string>

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, uint64_t bytes) : folder_(folder), bytes_(bytes) {
        std::filesystem::create_directories(folder);
        const std::string size = "size=" + std::to_string(bytes);
        mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // Run in the child: without a tmpfs its writes stop at the room instead (with EFBIG, not a
    // signal).
    void limitChild() const {
        if (mounted_) return;
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {rlim_t(bytes_), rlim_t(bytes_)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    // What a write past the room fails with.
    const char* errorText() const { return mounted_ ? "No space left on device" : "File too large"; }

private:
    std::filesystem::path folder_;
    uint64_t bytes_;
    bool mounted_ = false;
};
