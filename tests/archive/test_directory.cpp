// The archive directory as the reader sees it: marker search, every tolerance of the directory,
// offsets, the limits, and the failure codes. Each case goes through a real file on disk and
// through the whole-file reference, which must agree.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "archive/archive_format.h"
#include "archive/file_server.h"
#include "archive/temp_dir.h"
#include "archive/reference_directory.h"
#include "support/numbered.h"

namespace {

using Expected = std::vector<std::tuple<std::string, int, int64_t>>;  // name, size, offset

const std::string M = archive_format::kMarker;

Expected entriesOf(const FileServer::Archive& archive) {
    Expected out;
    for (const auto& e : archive.entries()) out.emplace_back(e.name, e.size, e.offset);
    return out;
}

struct Case {
    const char* what;
    std::string bytes;
    int code;
    Expected entries;
};

void check(const TempDir& dir, const Case& c) {
    SCOPED_TRACE(c.what);
    std::string path = dir.file("case.dat");
    writeFile(path, c.bytes);
    FileServer::Archive archive;
    EXPECT_EQ(archive.open(path.c_str()), c.code);
    EXPECT_EQ(entriesOf(archive), c.entries);

    std::vector<reference::Entry> ref;
    EXPECT_EQ(reference::parseDirectory(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), ref), c.code);
    ASSERT_EQ(ref.size(), c.entries.size());
    for (size_t i = 0; i < ref.size(); ++i)
        EXPECT_EQ(std::make_tuple(ref[i].name, ref[i].size, ref[i].offset), c.entries[i]);
}

int64_t len(const std::string& s) { return int64_t(s.size()); }

}  // namespace

TEST(ArchiveDirectory, CanonicalLayoutAndOffsets) {
    TempDir dir;
    std::string head = M + "@data/a.txt@3@b@0@c/d/e@2@@";
    std::string prefixed = std::string("any prefix @bytes \x01\x02") + head;
    std::vector<Case> cases = {
        {"canonical, empty prefix", head + "xyzQR", 0,
         {{"data/a.txt", 3, len(head)}, {"b", 0, len(head) + 3}, {"c/d/e", 2, len(head) + 3}}},
        {"non-empty prefix shifts every offset", prefixed + "xyzQR", 0,
         {{"data/a.txt", 3, len(prefixed)}, {"b", 0, len(prefixed) + 3}, {"c/d/e", 2, len(prefixed) + 3}}},
        {"bytes after the last file are ignored", head + "xyzQR trailing", 0,
         {{"data/a.txt", 3, len(head)}, {"b", 0, len(head) + 3}, {"c/d/e", 2, len(head) + 3}}},
        {"zero-size last file ending the archive", M + "@a@1@z@0@@" + "x", 0,
         {{"a", 1, len(M) + 10}, {"z", 0, len(M) + 11}}},
        {"the separator is never looked at", M + "Xa@1@@" + "q", 0, {{"a", 1, len(M) + 6}}},
    };
    for (const Case& c : cases) check(dir, c);
}

TEST(ArchiveDirectory, MarkerSearchIsOneForwardScan) {
    TempDir dir;
    std::vector<Case> cases = {
        // A mismatch restarts the match without testing that byte again as a first marker byte.
        {"an extra @ before the marker hides it", "@" + M + "@a@1@@x", -5, {}},
        {"a partial marker ending in @ hides the next one", "@@Quill" + M + "@a@1@@x", -5, {}},
        {"a partial marker ending in another byte does not", "@@QuillbankX" + M + "@a@1@@x", 0,
         {{"a", 1, len(M) + 18}}},
        {"no marker at all", "just some bytes @@ and more", -5, {}},
        {"marker ends on the last byte", M, -5, {}},
        {"the first of two markers counts", M + "@a@1@@x" + M + "@b@1@@y", 0, {{"a", 1, len(M) + 6}}},
    };
    for (const Case& c : cases) check(dir, c);
}

TEST(ArchiveDirectory, ReaderTolerances) {
    TempDir dir;
    std::vector<Case> cases = {
        {"one @ before the first name is skipped", M + "@@a@2@@xy", 0, {{"a", 2, len(M) + 7}}},
        {"@@ after the separator is an empty directory", M + "@@@", 0, {}},
        {"an empty directory ignores what follows", M + "@@@a@2@@xy", 0, {}},
        {"size with leading blanks and a sign", M + "@a@ \t\n+2@@xy", 0, {{"a", 2, len(M) + 10}}},
        {"anything after the digits up to @ is skipped", M + "@a@2 bytes!@@xy", 0, {{"a", 2, len(M) + 13}}},
        {"a size without digits reads as 0", M + "@a@none@b@1@@x", 0, {{"a", 0, len(M) + 13}, {"b", 1, len(M) + 13}}},
        {"-0 is zero", M + "@a@-0@@", 0, {{"a", 0, len(M) + 7}}},
        {"a name followed by @@ ends the directory unlisted", M + "@a@1@b@@x", 0, {{"a", 1, len(M) + 8}}},
        {"backslashes and blanks are ordinary name bytes", M + "@dir\\my file.txt@1@@x", 0,
         {{"dir\\my file.txt", 1, len(M) + 20}}},
        {"entry names may repeat", M + "@a@1@a@1@@xy", 0, {{"a", 1, len(M) + 10}, {"a", 1, len(M) + 11}}},
    };
    for (const Case& c : cases) check(dir, c);
}

TEST(ArchiveDirectory, RefusesDirectoriesThatCannotBeRead) {
    TempDir dir;
    std::vector<Case> cases = {
        {"only the separator after the marker", M + "@", -5, {}},
        {"a lone skipped @", M + "@@", -5, {}},
        {"name runs into the end", M + "@data/a", -5, {}},
        {"size runs into the end", M + "@a@12", -5, {}},
        {"no terminator", M + "@a@0@", -5, {}},
        {"next name runs into the end", M + "@a@0@b", -5, {}},
        {"NUL inside a name", M + "@a" + std::string(1, '\0') + "b@0@@", -5, {}},
        {"empty file", "", -3, {}},
    };
    for (const Case& c : cases) check(dir, c);

    FileServer::Archive archive;
    EXPECT_EQ(archive.open(dir.file("missing.dat").c_str()), -1);
    EXPECT_EQ(archive.open(nullptr), -1);
}

// Offsets follow from the sizes alone: a size the file cannot hold makes only that entry (and
// those behind it) unreadable, never the directory.
TEST(ArchiveDirectory, SizesAreTakenAsTheyStand) {
    TempDir dir;
    std::vector<Case> cases = {
        {"size one past the end", M + "@a@2@@x", 0, {{"a", 2, len(M) + 6}}},
        {"second file past the end", M + "@a@1@b@2@c@0@@xy", 0,
         {{"a", 1, len(M) + 14}, {"b", 2, len(M) + 15}, {"c", 0, len(M) + 17}}},
        {"a negative size moves the next file back", M + "@a@-3@b@1@@xy", 0,
         {{"a", -3, len(M) + 11}, {"b", 1, len(M) + 8}}},
        {"sizes saturate at 32 bits, offsets do not wrap", M + "@a@99999999999@b@-99999999999@c@0@@x", 0,
         {{"a", INT32_MAX, len(M) + 35}, {"b", INT32_MIN, len(M) + 35 + INT32_MAX}, {"c", 0, len(M) + 34}}},
    };
    for (const Case& c : cases) check(dir, c);
}

TEST(ArchiveDirectory, LimitsOnNamesAndEntries) {
    TempDir dir;
    std::string name511(511, 'n'), name512(512, 'n');
    std::string many, tooMany;
    for (int i = 0; i < 1024; ++i) many += numbered("f", i) + "@0@";
    tooMany = many + "last@0@";

    Case longest{"a 511-character name", M + "@" + name511 + "@1@@x", 0, {{name511, 1, len(M) + 516}}};
    check(dir, longest);
    check(dir, {"a 512-character name", M + "@" + name512 + "@1@@x", -5, {}});
    check(dir, {"a 512-character name even when it ends the directory", M + "@" + name512 + "@@", -5, {}});

    std::string path = dir.file("many.dat");
    writeFile(path, M + "@" + many + "@");
    FileServer::Archive archive;
    ASSERT_EQ(archive.open(path.c_str()), 0);
    ASSERT_EQ(archive.entries().size(), 1024u);
    EXPECT_EQ(archive.entries().back().name, "f1023");
    EXPECT_EQ(archive.entries().back().offset, len(M) + 2 + len(many));

    writeFile(path, M + "@" + tooMany + "@");
    EXPECT_EQ(archive.open(path.c_str()), -5);
    EXPECT_TRUE(archive.entries().empty());
    EXPECT_STREQ(archive.failureReason(), "more than 1024 entries");
}

TEST(ArchiveDirectory, ReopeningReplacesTheDirectory) {
    TempDir dir;
    std::string path = dir.file("a.dat");
    writeFile(path, M + "@a@1@@x");
    FileServer::Archive archive;
    ASSERT_EQ(archive.open(path.c_str()), 0);
    writeFile(path, M + "@b@0@c@0@@");
    ASSERT_EQ(archive.open(path.c_str()), 0);
    EXPECT_EQ(entriesOf(archive), (Expected{{"b", 0, len(M) + 10}, {"c", 0, len(M) + 10}}));
    writeFile(path, "no marker");
    EXPECT_EQ(archive.open(path.c_str()), -5);
    EXPECT_TRUE(archive.entries().empty());
}

#ifdef __linux__
#include <unistd.h>

TEST(ArchiveDirectory, UnseekableFileIsASeekFailure) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string bytes = M + "@a@1@@x";
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    close(fds[1]);
    FileServer::Archive archive;
    EXPECT_EQ(archive.open(("/dev/fd/" + std::to_string(fds[0])).c_str()), -2);
    close(fds[0]);
}
#endif

#ifdef __linux__
// Kernel attribute files claim a length of a whole page but hold a short text: the reader asks for
// bytes the file does not deliver, and prints how many it got.
TEST(ArchiveDirectory, ShortReadPrintsTheBytesRead) {
    const char* path = "/sys/kernel/mm/transparent_hugepage/enabled";
    std::string content = readFile(path);
    if (content.empty() || std::filesystem::file_size(path) <= content.size()) GTEST_SKIP() << "no short file here";
    FileServer::Archive archive;
    testing::internal::CaptureStdout();
    int code = archive.open(path);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::to_string(content.size()) + "\n");
    EXPECT_EQ(code, -4);
}
#endif
