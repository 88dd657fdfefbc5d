// The FileServer's two modes: archive mode (name matching, fresh buffers, failures) and loose
// mode (files loaded once from disk, its log lines and levels, its limit and its errors).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/debug_server.h"
#include "base/exception.h"
#include "archive/archive_format.h"
#include "archive/file_server.h"
#include "archive/temp_dir.h"
#include "support/numbered.h"

namespace {

const std::string M = archive_format::kMarker;

std::string bytesOf(const FileData& data, int32_t size) {
    return std::string(reinterpret_cast<const char*>(data.get()), size_t(size));
}

// A server whose log lines (at or above threshold) are collected.
struct LoggedServer {
    explicit LoggedServer(int threshold, int capacity = 200) : log(threshold, 0), server(log, capacity) {
        log.setSink([this](std::string_view line) { lines.emplace_back(line); });
    }
    DebugServer log;
    FileServer server;
    std::vector<std::string> lines;
};

std::string raisedText(const std::function<void()>& f) {
    try {
        f();
    } catch (const ExceptionType& e) {
        return e.text();
    }
    return "(nothing raised)";
}

// Three files, two of them with the base name "tex.jpg", one empty.
std::string sampleArchive() {
    return M + "@data/Tex.jpg@4@other/tex.jpg@3@data/empty.bin@0@music.mp3@2@@" + "TEX1" + "tx2" + "" + "mp";
}

}  // namespace

TEST(FileServerArchive, NameMatching) {
    TempDir dir;
    std::string path = dir.file("Glimmertide.dat");
    writeFile(path, sampleArchive() + M + "@back\\slash.txt@0@@");
    FileServer::Archive archive;
    ASSERT_EQ(archive.open(path.c_str()), 0);
    auto nameOf = [&](const char* request) -> std::string {
        const auto* entry = archive.find(request);
        return entry ? entry->name : "(none)";
    };
    // Letter case never matters, for full and base names alike.
    EXPECT_EQ(nameOf("data/tex.jpg"), "data/Tex.jpg");
    EXPECT_EQ(nameOf("DATA/TEX.JPG"), "data/Tex.jpg");
    EXPECT_EQ(nameOf("MUSIC.MP3"), "music.mp3");
    // A base name alone finds the first entry in directory order with that base name.
    EXPECT_EQ(nameOf("tex.jpg"), "data/Tex.jpg");
    EXPECT_EQ(nameOf("empty.bin"), "data/empty.bin");
    // A request with a directory part is not reduced to its base name.
    EXPECT_EQ(nameOf("other/tex.jpg"), "other/tex.jpg");
    EXPECT_EQ(nameOf("elsewhere/tex.jpg"), "(none)");
    EXPECT_EQ(nameOf("ata/tex.jpg"), "(none)");
    EXPECT_EQ(nameOf("data/"), "(none)");
    EXPECT_EQ(nameOf("data/tex.jp"), "(none)");
    EXPECT_EQ(nameOf("data/tex.jpgx"), "(none)");
    // Only ASCII letters fold; everything else must match exactly.
    EXPECT_EQ(nameOf("data\\tex.jpg"), "(none)");
    EXPECT_EQ(nameOf(""), "(none)");
    EXPECT_EQ(nameOf(nullptr), "(none)");
}

TEST(FileServerArchive, BackslashIsAnOrdinaryCharacter) {
    TempDir dir;
    std::string path = dir.file("a.dat");
    writeFile(path, M + "@dir\\sub/file.TXT@1@@x");
    FileServer::Archive archive;
    ASSERT_EQ(archive.open(path.c_str()), 0);
    EXPECT_NE(archive.find("dir\\sub/file.txt"), nullptr);
    EXPECT_NE(archive.find("file.txt"), nullptr);
    EXPECT_EQ(archive.find("sub/file.txt"), nullptr);
    EXPECT_EQ(archive.find("dir/sub/file.txt"), nullptr);
}

TEST(FileServerArchive, DataAndSizes) {
    TempDir dir;
    std::string path = dir.file("Glimmertide.dat");
    writeFile(path, sampleArchive());
    LoggedServer s(0);
    {
        // The server keeps its own copy of the path: the caller's text may go away.
        std::string temporary = path;
        EXPECT_EQ(s.server.openArchive(temporary.c_str()), 0);
    }
    EXPECT_TRUE(s.server.archiveMode());

    EXPECT_EQ(s.server.getFileSize("tex.jpg"), 4);
    EXPECT_EQ(s.server.getFileSize("OTHER/TEX.JPG"), 3);
    EXPECT_EQ(s.server.getFileSize("music.mp3"), 2);
    EXPECT_EQ(bytesOf(s.server.getFileData("data/tex.jpg"), 4), "TEX1");
    EXPECT_EQ(bytesOf(s.server.getFileData("other/tex.jpg"), 3), "tx2");
    EXPECT_EQ(bytesOf(s.server.getFileData("Music.mp3"), 2), "mp");

    // Each request reads a fresh copy that belongs to the caller.
    FileData first = s.server.getFileData("music.mp3");
    FileData second = s.server.getFileData("music.mp3");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.get(), second.get());
    first.get()[0] = 'X';
    EXPECT_EQ(bytesOf(second, 2), "mp");
    EXPECT_EQ(bytesOf(s.server.getFileData("music.mp3"), 2), "mp");

    // A zero-size file exists: size 0 and a (zero-length) buffer.
    EXPECT_EQ(s.server.getFileSize("empty.bin"), 0);
    EXPECT_TRUE(s.server.getFileData("data/empty.bin"));

    // Unknown names fail silently.
    EXPECT_EQ(s.server.getFileSize("nothing.3ds"), -1);
    EXPECT_FALSE(s.server.getFileData("nothing.3ds"));
    EXPECT_FALSE(s.server.getFileData(nullptr));
    EXPECT_TRUE(s.lines.empty());
}

TEST(FileServerArchive, EmptyDirectoryAnswersNothing) {
    TempDir dir;
    std::string path = dir.file("empty.dat");
    writeFile(path, "prefix" + M + "@@@" + "stray data");
    FileServer server(debugServer(), 200);
    ASSERT_EQ(server.openArchive(path.c_str()), 0);
    EXPECT_TRUE(server.archive().entries().empty());
    EXPECT_EQ(server.getFileSize("stray data"), -1);
    EXPECT_FALSE(server.getFileData("anything"));
}

TEST(FileServerArchive, ArchiveChangedOnDiskGivesNoData) {
    TempDir dir;
    std::string path = dir.file("a.dat");
    writeFile(path, M + "@a@3@b@2@@abcde");
    FileServer server(debugServer(), 200);
    ASSERT_EQ(server.openArchive(path.c_str()), 0);
    writeFile(path, M + "@a@3@b@2@@abc");  // cut short after the directory was read
    EXPECT_EQ(bytesOf(server.getFileData("a"), 3), "abc");
    EXPECT_FALSE(server.getFileData("b"));
    std::filesystem::remove(path);
    EXPECT_FALSE(server.getFileData("a"));
    EXPECT_EQ(server.getFileSize("b"), 2);
}

TEST(FileServerArchive, EntryBeyondTheEndFailsAloneWhenRead) {
    TempDir dir;
    std::string path = dir.file("a.dat");
    // "big" claims 2 GiB, "back" a negative size; "a" comes first and is whole.
    writeFile(path, M + "@a@2@big@2147483647@back@-1@@ab" + std::string(100, 'z'));
    FileServer server(debugServer(), 200);
    ASSERT_EQ(server.openArchive(path.c_str()), 0);
    EXPECT_EQ(bytesOf(server.getFileData("a"), 2), "ab");
    EXPECT_EQ(server.getFileSize("big"), INT32_MAX);
    EXPECT_FALSE(server.getFileData("big"));
    EXPECT_EQ(server.getFileSize("back"), -1);
    EXPECT_FALSE(server.getFileData("back"));
}

TEST(FileServerArchive, UnreadableArchiveRaisesMetadataError) {
    TempDir dir;
    writeFile(dir.file("nomarker.dat"), "no marker here");
    writeFile(dir.file("empty.dat"), "");
    for (const char* name : {"missing.dat", "nomarker.dat", "empty.dat"}) {
        SCOPED_TRACE(name);
        FileServer server(debugServer(), 200);
        std::string path = dir.file(name);
        EXPECT_EQ(raisedText([&] { server.openArchive(path.c_str()); }), "Error - couldn't read metadata! Aborting...");
        EXPECT_FALSE(server.archiveMode());
    }
}

TEST(FileServerLoose, LoadsOnceAndLogsEachStep) {
    TempDir dir;
    std::string path = dir.file("scene.3ds");
    writeFile(path, "0123456789");
    LoggedServer s(4);
    EXPECT_FALSE(s.server.archiveMode());

    EXPECT_EQ(s.server.getFileSize(path.c_str()), 10);
    FileData data = s.server.getFileData(path.c_str());
    ASSERT_TRUE(data);
    EXPECT_EQ(bytesOf(data, 10), "0123456789");
    // Loose mode hands out the server's own buffer, the same one every time.
    EXPECT_EQ(s.server.getFileData(path.c_str()).get(), data.get());
    EXPECT_EQ(s.server.looseFileCount(), 1);

    std::vector<std::string> expected = {
        "{FileServer::File}: Opening file " + path + "... Done.",
        "{FileServer::File}: Allocating buffer (10 bytes)... Done.",
        "{FileServer::File}: Reading file (10 bytes) into buffer... Done.",
    };
    EXPECT_EQ(s.lines, expected);

    // Progress lines are level 4.
    LoggedServer quiet(5);
    EXPECT_EQ(quiet.server.getFileSize(path.c_str()), 10);
    EXPECT_TRUE(quiet.lines.empty());
}

TEST(FileServerLoose, NamesAreExactAndCaseSensitive) {
    TempDir dir;
    writeFile(dir.file("a.bin"), "aa");
    writeFile(dir.file("A.bin"), "AAA");
    writeFile(dir.file("empty.bin"), "");
    FileServer server(debugServer(), 200);
    EXPECT_EQ(server.getFileSize(dir.file("a.bin").c_str()), 2);
    EXPECT_EQ(server.getFileSize(dir.file("A.bin").c_str()), 3);
    EXPECT_EQ(server.looseFileCount(), 2);
    // An empty file loads: size 0, and a buffer.
    EXPECT_EQ(server.getFileSize(dir.file("empty.bin").c_str()), 0);
    EXPECT_TRUE(server.getFileData(dir.file("empty.bin").c_str()));
    EXPECT_EQ(server.looseFileCount(), 3);
}

TEST(FileServerLoose, MissingFileRaisesAfterALevel10Line) {
    TempDir dir;
    std::string path = dir.file("missing.jpg");
    LoggedServer s(10);
    EXPECT_EQ(raisedText([&] { s.server.getFileData(path.c_str()); }),
              "Error - couldn't open file " + path + "! Aborting...");
    EXPECT_EQ(s.lines, std::vector<std::string>{"{FileServer::File}: Opening file " + path + "... Failed!"});
    EXPECT_EQ(raisedText([&] { s.server.getFileSize(path.c_str()); }),
              "Error - couldn't open file " + path + "! Aborting...");
    // A failed load takes no record: the next file still fits.
    EXPECT_EQ(s.server.looseFileCount(), 0);

    // Folders cannot be opened for reading and update.
    EXPECT_EQ(raisedText([&] { s.server.getFileData(dir.path().c_str()); }),
              "Error - couldn't open file " + dir.path().string() + "! Aborting...");
}

TEST(FileServerLoose, CapacityLeavesOneRecordUnused) {
    TempDir dir;
    auto name = [&](int i) { return dir.file(numbered("f", i)); };
    for (int i = 0; i < 5; ++i) writeFile(name(i), std::string(size_t(i), 'x'));
    FileServer server(debugServer(), 5);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(server.getFileSize(name(i).c_str()), i);
    // Files already loaded are still served when the table is full.
    EXPECT_EQ(server.getFileSize(dir.file("f2").c_str()), 2);
    std::string fifth = dir.file("f4");
    EXPECT_EQ(raisedText([&] { server.getFileData(fifth.c_str()); }), "Error - too many files in FileServer! Aborting...");
    EXPECT_EQ(server.looseFileCount(), 4);
}

TEST(FileServerLoose, ProgramCapacityHolds199Files) {
    TempDir dir;
    writeFile(dir.file("one"), "1");
    FileServer server(debugServer(), 200);
    // Names are matched exactly, so "./one", ".//one", ... are distinct records of the same file.
    std::string name = dir.file("one");
    for (int i = 0; i < 199; ++i) {
        ASSERT_EQ(server.getFileSize(name.c_str()), 1) << i;
        name = (dir.path() / ".").string() + name.substr(dir.path().string().size());
    }
    EXPECT_EQ(server.looseFileCount(), 199);
    EXPECT_EQ(raisedText([&] { server.getFileSize(name.c_str()); }), "Error - too many files in FileServer! Aborting...");
}

TEST(FileServerLoose, EmptyRecordRaisesFileNotFound) {
    FileServer::File record;
    EXPECT_EQ(raisedText([&] { record.getName(); }), "Error - file  not found! Aborting...");
    EXPECT_EQ(raisedText([&] { record.getData(); }), "Error - file  not found! Aborting...");
}

TEST(FileServerProcessWide, InstalledServerIsTheOneHandedOut) {
    FileServer& fallback = fileServer();
    EXPECT_FALSE(fallback.archiveMode());
    FileServer mine(debugServer(), 200);
    installFileServer(mine);
    EXPECT_EQ(&fileServer(), &mine);
    installFileServer(fallback);
}

#ifdef __linux__
#include <sys/stat.h>

TEST(FileServerLoose, UnreadableFileRaisesAfterALevel10Line) {
    TempDir dir;
    // A pipe opens for reading and update but has no length to take.
    std::string path = dir.file("pipe");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    LoggedServer s(4);
    EXPECT_EQ(raisedText([&] { s.server.getFileSize(path.c_str()); }), "Error - couldn't read file " + path + "! Aborting...");
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[0], "{FileServer::File}: Opening file " + path + "... Done.");
    EXPECT_EQ(s.lines[1], "{FileServer::File}: Reading file (-1 bytes) into buffer... Failed!");
    EXPECT_EQ(s.server.looseFileCount(), 0);
}
#endif
