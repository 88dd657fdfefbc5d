// The file written beside its target: the earlier file survives everything short of keep(), part
// names never collide, links lead to the file they name, and what cannot be replaced is refused.
#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "archive/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Runs check as a user without privileges (in a child process when the tests run as root, who
// may write anything) and returns its result: root would not see the refusals under test.
int unprivileged(const std::function<int()>& check) {
    if (geteuid() != 0) return check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(255);
        _exit(check());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OutputFile, TheEarlierFileStaysUntilKeepAndKeepsItsPermissions) {
    TempDir dir;
    const std::string target = dir.file("show.mp4");
    writeFile(target, "an earlier recording");
    chmod(target.c_str(), 0640);

    OutputFile discarded;
    ASSERT_EQ(discarded.open(target), 0);
    EXPECT_EQ(discarded.path(), target + ".part");
    writeFile(discarded.path(), "a recording that failed");
    discarded.discard();
    EXPECT_EQ(readFile(target), "an earlier recording");
    EXPECT_FALSE(fs::exists(target + ".part"));

    OutputFile kept;
    ASSERT_EQ(kept.open(target), 0);
    writeFile(kept.path(), "a new recording, cut short");
    EXPECT_EQ(readFile(target), "an earlier recording");
    ASSERT_EQ(kept.truncate(15), 0);
    ASSERT_EQ(kept.keep(), 0);
    EXPECT_EQ(readFile(target), "a new recording");
    EXPECT_FALSE(fs::exists(target + ".part"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(OutputFile, EachWriterHasAPartOfItsOwnAndLeftoversAreNeverTouched) {
    TempDir dir;
    const std::string target = dir.file("show.mkv");
    writeFile(target + ".part", "left by a killed recording");
    OutputFile first, second;
    ASSERT_EQ(first.open(target), 0);
    ASSERT_EQ(second.open(target), 0);
    EXPECT_EQ(first.path(), target + ".2.part");
    EXPECT_EQ(second.path(), target + ".3.part");
    writeFile(first.path(), "first");
    writeFile(second.path(), "second");
    ASSERT_EQ(first.keep(), 0);
    EXPECT_EQ(readFile(target), "first");
    ASSERT_EQ(second.keep(), 0);
    EXPECT_EQ(readFile(target), "second");
    EXPECT_EQ(readFile(target + ".part"), "left by a killed recording");
}

TEST(OutputFile, ALinkLeadsToTheFileItNamesWhichIsReplacedWhileTheLinkStays) {
    TempDir dir;
    const std::string real = dir.file("videos/show.webm");
    writeFile(real, "old");
    const std::string link = dir.file("latest.webm");
    fs::create_symlink("videos/show.webm", link);
    OutputFile out;
    ASSERT_EQ(out.open(link), 0);
    EXPECT_TRUE(out.reachedThroughLink());
    EXPECT_EQ(fs::path(out.target()), fs::path(dir.path() / "videos" / "show.webm"));
    EXPECT_EQ(fs::path(out.path()).parent_path(), fs::path(real).parent_path()) << "the rename stays in one folder";
    writeFile(out.path(), "new");
    ASSERT_EQ(out.keep(), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), "new");

    // A link to a file not made yet creates that file; a loop of links is refused.
    fs::create_symlink(dir.file("videos/next.webm"), dir.file("next.webm"));
    OutputFile dangling;
    ASSERT_EQ(dangling.open(dir.file("next.webm")), 0);
    ASSERT_EQ(dangling.keep(), 0);
    EXPECT_TRUE(fs::is_regular_file(dir.file("videos/next.webm")));
    fs::create_symlink("b.webm", dir.file("a.webm"));
    fs::create_symlink("a.webm", dir.file("b.webm"));
    EXPECT_EQ(OutputFile().open(dir.file("a.webm")), ELOOP);

    OutputFile plain;
    ASSERT_EQ(plain.open(dir.file("plain.webm")), 0);
    EXPECT_FALSE(plain.reachedThroughLink());
    plain.discard();
}

TEST(OutputFile, FoldersAndFilesTheUserMayNotWriteAreRefusedUntouched) {
    TempDir dir;
    fs::create_directories(dir.file("show.avi"));
    EXPECT_EQ(OutputFile().open(dir.file("show.avi")), EISDIR);
    EXPECT_EQ(OutputFile().open(dir.file("missing/show.avi")), ENOENT);

    // A read-only file in a folder anyone may write, and a writable file in a read-only folder.
    fs::permissions(dir.path(), fs::perms::all);
    const std::string readOnly = dir.file("read-only.avi");
    writeFile(readOnly, "kept");
    chmod(readOnly.c_str(), 0444);
    EXPECT_EQ(unprivileged([&] { return OutputFile().open(readOnly); }), EACCES);
    const std::string closed = dir.file("closed/show.avi");
    writeFile(closed, "kept");
    chmod(closed.c_str(), 0666);
    chmod(dir.file("closed").c_str(), 0555);
    EXPECT_EQ(unprivileged([&] { return OutputFile().open(closed); }), EACCES);
    EXPECT_EQ(readFile(readOnly), "kept");
    EXPECT_EQ(readFile(closed), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("closed")), fs::directory_iterator()), 1);
    chmod(dir.file("closed").c_str(), 0755);
}

TEST(OutputFile, ADeviceIsWrittenDirectly) {
    OutputFile out;
    ASSERT_EQ(out.open("/dev/null"), 0);
    EXPECT_EQ(out.path(), "/dev/null");
    EXPECT_EQ(out.keep(), 0);
    out.discard();
    EXPECT_TRUE(fs::exists("/dev/null"));
}

TEST(OutputFile, ARewriteTakesThePartsPlaceOnlyWhenItSucceeds) {
    TempDir dir;
    OutputFile out;
    ASSERT_EQ(out.open(dir.file("show.mp4")), 0);
    writeFile(out.path(), "fragments");
    const auto rewriteTo = [&](const std::string& text, int result) {
        return out.rewrite([&](const std::string& from, const std::string& to) {
            EXPECT_EQ(from, out.path());
            EXPECT_NE(to, from);
            writeFile(to, text + " of " + readFile(from));
            return result;
        });
    };
    EXPECT_EQ(rewriteTo("half a movie", ENOSPC), ENOSPC);
    EXPECT_EQ(readFile(out.path()), "fragments");
    EXPECT_EQ(rewriteTo("one movie", 0), 0);
    EXPECT_EQ(readFile(out.path()), "one movie of fragments");
    ASSERT_EQ(out.keep(), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1) << "nothing left over";
}

TEST(OutputFile, WhenTheRenameFailsThePartStaysWherePathSays) {
    TempDir dir;
    const std::string target = dir.file("show.mp4");
    OutputFile out;
    ASSERT_EQ(out.open(target), 0);
    writeFile(out.path(), "the whole recording");
    // Something took the name meanwhile that a file cannot replace.
    writeFile(dir.file("show.mp4/inside"), "");
    EXPECT_NE(out.keep(), 0);
    EXPECT_EQ(readFile(out.path()), "the whole recording");
}

}  // namespace
