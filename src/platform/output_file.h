#pragma once
// A file that takes the place of an earlier one only once it holds something worth keeping: it is
// written under a name of its own beside the target ("show.mp4.part", or "show.mp4.2.part" when
// that is taken, so that two writers never share one) and renamed over the target at the end. A
// run that fails early, or is killed, never costs the user the file that was there; a killed run
// leaves its part file behind.
//
// A link is followed to the file it names, which is then the one replaced (the link stays). A
// target that exists but is no regular file (a device such as /dev/null) is written directly:
// there is nothing there to lose.
//
// Errors are errno values (0 = fine).
#include <cstdint>
#include <functional>
#include <string>

class OutputFile {
public:
    // Settles where the file goes and creates the part file. Refuses a folder (EISDIR) and a file
    // the user may not write (EACCES, EROFS), as opening it for writing would.
    int open(const std::string& target);

    // Where the writer writes: the part file, or the target itself when it is written directly.
    const std::string& path() const { return path_; }
    // The file that is replaced at the end, links followed.
    const std::string& target() const { return target_; }
    bool reachedThroughLink() const { return throughLink_; }

    // Cuts the part file back to length bytes (what a failed write left half done).
    int truncate(uint64_t length);
    // Writes a new version of the part file with write(from, to), to a fresh name beside it, and
    // puts it in the part file's place once write returns 0; otherwise removes it and leaves the
    // part file as it was.
    int rewrite(const std::function<int(const std::string& from, const std::string& to)>& write);
    // Makes the part file durable and renames it over the target. On failure the part file
    // stays where path() says.
    int keep();
    // Removes the part file; the target stays as it was.
    void discard();

private:
    int createBeside(const std::string& name, std::string& created) const;

    std::string target_;
    std::string path_;
    bool direct_ = false;
    bool throughLink_ = false;
};
