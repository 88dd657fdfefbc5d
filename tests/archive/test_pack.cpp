// Writing archives (the support library) and the glimmerpack tool: what they write reads back
// byte for byte through the program's reader, and what they refuse leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <random>

#include "archive/archive_format.h"
#include "archive/file_server.h"
#include "archive/temp_dir.h"
#include "support_archive/archive_writer.h"
#include "support/numbered.h"

namespace {

const std::string M = archive_format::kMarker;

std::vector<uint8_t> randomBytes(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> out(n);
    for (auto& b : out) b = uint8_t(rng() % 4 == 0 ? '@' : rng());  // plenty of "@" and NUL look-alikes
    return out;
}

std::string text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Sample files: binary ones, empty ones, names differing only in case, a repeated base name.
std::vector<PackEntry> sampleEntries() {
    std::mt19937 rng(7);
    return {
        {"data/spheres3.3ds", randomBytes(rng, 3000)},
        {"data/empty.bin", {}},
        {"data/X26.jpg", randomBytes(rng, 17)},
        {"data/x26.jpg", randomBytes(rng, 5)},
        {"other/spheres3.3ds", randomBytes(rng, 1)},
        {"last-empty", {}},
    };
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(ArchiveWriter, CanonicalLayout) {
    std::vector<PackEntry> entries = {{"data/a.txt", {'h', 'i'}}, {"b", {}}, {"c", {'@'}}};
    EXPECT_EQ(text(buildArchive(entries)), M + "@data/a.txt@2@b@0@c@1@@" + "hi@");
    EXPECT_EQ(text(buildArchive({})), M + "@@@");
}

TEST(ArchiveWriter, RoundTripThroughTheReader) {
    TempDir dir;
    std::string path = dir.file("Glimmertide.dat");
    std::vector<PackEntry> entries = sampleEntries();
    std::string error;
    ASSERT_TRUE(writeArchive(path, entries, error)) << error;
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"Glimmertide.dat"});

    FileServer::Archive archive;
    ASSERT_EQ(archive.open(path.c_str()), 0);
    ASSERT_EQ(archive.entries().size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = archive.entries()[i];
        EXPECT_EQ(entry.name, entries[i].name);
        ASSERT_EQ(entry.size, int32_t(entries[i].data.size()));
        FileData data = archive.read(entry);
        ASSERT_TRUE(data);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data.get()), size_t(entry.size)), text(entries[i].data)) << entry.name;
    }

    // An empty archive reads back with no files.
    ASSERT_TRUE(writeArchive(path, {}, error)) << error;
    ASSERT_EQ(archive.open(path.c_str()), 0);
    EXPECT_TRUE(archive.entries().empty());
}

TEST(ArchiveWriter, RefusesWhatCannotBeReadBack) {
    EXPECT_EQ(archiveNameProblem("data/spheres3.3ds"), "");
    EXPECT_EQ(archiveNameProblem(std::string(511, 'n')), "");
    EXPECT_NE(archiveNameProblem(std::string(512, 'n')), "");
    EXPECT_NE(archiveNameProblem(""), "");
    EXPECT_NE(archiveNameProblem("a@b"), "");
    EXPECT_NE(archiveNameProblem(std::string("a\0b", 3)), "");

    std::vector<PackEntry> many(1024);
    for (size_t i = 0; i < many.size(); ++i) many[i].name = numbered("f", long(i));
    EXPECT_EQ(archiveProblem(many), "");
    many.push_back({"one-too-many", {}});
    EXPECT_NE(archiveProblem(many), "");

    TempDir dir;
    std::string path = dir.file("refused.dat");
    std::string error;
    EXPECT_FALSE(writeArchive(path, many, error));
    EXPECT_FALSE(writeArchive(path, {{"a@b", {}}}, error));
    EXPECT_NE(error.find("@"), std::string::npos);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST(ArchiveWriter, FailedWriteLeavesNothingBehind) {
    TempDir dir;
    std::string error;
    // The target is a folder: the rename fails, the folder stays, no temporary file remains.
    std::filesystem::create_directories(dir.path() / "taken" / "inside");
    EXPECT_FALSE(writeArchive(dir.file("taken"), sampleEntries(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"taken"});
    // A folder that does not exist.
    EXPECT_FALSE(writeArchive(dir.file("no/such/folder.dat"), sampleEntries(), error));
    // An existing archive is replaced whole.
    std::string path = dir.file("a.dat");
    writeFile(path, "old contents that are longer than the new archive ...........................");
    ASSERT_TRUE(writeArchive(path, {{"n", {'x'}}}, error)) << error;
    EXPECT_EQ(readFile(path), M + "@n@1@@x");
}

// ---- the tool ----

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun glimmerpack(const TempDir& dir, const std::string& args) {
    std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    std::string command = std::string(GLIMMER_BINARY_DIR) + "/glimmerpack " + args + " >" + out + " 2>" + err;
    int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

}  // namespace

TEST(Glimmerpack, CreateListCatRoundTrip) {
    TempDir dir;
    std::vector<PackEntry> entries = sampleEntries();
    std::string names;
    for (const PackEntry& e : entries) {
        writeFile(dir.file("in/" + e.name), text(e.data));
        names += " " + e.name;
    }
    std::string archive = dir.file("out.dat");
    ToolRun created = glimmerpack(dir, "create " + archive + " -C " + dir.file("in") + names);
    ASSERT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(created.out + created.err, "");

    // The listing gives every entry in order; its offsets and sizes cut the exact bytes out.
    ToolRun listed = glimmerpack(dir, "list " + archive);
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::string bytes = readFile(archive), expected;
    size_t offset = M.size() + 2;
    for (const PackEntry& e : entries) offset += e.name.size() + std::to_string(e.data.size()).size() + 2;
    for (const PackEntry& e : entries) {
        expected += std::to_string(e.data.size()) + "\t" + std::to_string(offset) + "\t" + e.name + "\n";
        EXPECT_EQ(bytes.substr(offset, e.data.size()), text(e.data)) << e.name;
        offset += e.data.size();
    }
    EXPECT_EQ(listed.out, expected);

    // cat finds what the program finds: full names, base names, any letter case.
    EXPECT_EQ(glimmerpack(dir, "cat " + archive + " data/spheres3.3ds").out, text(entries[0].data));
    EXPECT_EQ(glimmerpack(dir, "cat " + archive + " SPHERES3.3DS").out, text(entries[0].data));
    EXPECT_EQ(glimmerpack(dir, "cat " + archive + " other/spheres3.3ds").out, text(entries[4].data));
    ToolRun empty = glimmerpack(dir, "cat " + archive + " data/empty.bin");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
    // Names differing only in case are both stored; a request finds the first of them.
    EXPECT_EQ(glimmerpack(dir, "cat " + archive + " data/X26.jpg").out, text(entries[2].data));
    EXPECT_EQ(glimmerpack(dir, "cat " + archive + " data/x26.jpg").out, text(entries[2].data));

    // extract writes what cat prints.
    ToolRun extracted = glimmerpack(dir, "extract " + archive + " -C " + dir.file("x") + " data/spheres3.3ds last-empty x26.jpg");
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(readFile(dir.file("x/data/spheres3.3ds")), text(entries[0].data));
    EXPECT_TRUE(std::filesystem::exists(dir.file("x/last-empty")));
    EXPECT_EQ(readFile(dir.file("x/last-empty")), "");
    EXPECT_EQ(readFile(dir.file("x/x26.jpg")), text(entries[2].data));
}

TEST(Glimmerpack, ErrorsNameTheReasonAndExitWith1UsageErrorsWith2) {
    TempDir dir;
    writeFile(dir.file("a"), "A");
    writeFile(dir.file("nomarker.dat"), "not an archive");
    writeFile(dir.file("empty.dat"), "");
    writeFile(dir.file("cut.dat"), M + "@a@1@b@");
    std::string archive = dir.file("out.dat");
    ASSERT_EQ(glimmerpack(dir, "create " + archive + " -C " + dir.path().string() + " a").status, 0);

    struct Case {
        std::string args, message;
    } cases[] = {
        {"cat " + archive + " b", "b: no such name"},
        {"extract " + archive + " -C " + dir.file("x") + " a b", "b: no such name"},
        {"list " + dir.file("missing.dat"), "(-1, cannot open the file"},
        {"list " + dir.file("empty.dat"), "(-3, the file is empty"},
        {"list " + dir.file("nomarker.dat"), "(-5, no marker or an unreadable directory: no archive marker)"},
        {"cat " + dir.file("cut.dat") + " a", "(-5, no marker or an unreadable directory: the directory runs into the end of the file)"},
        {"create " + dir.file("new.dat") + " -C " + dir.path().string() + " missing", "cannot read"},
        {"create " + dir.file("new.dat") + " 'x@y'", "cannot contain \"@\""},
        {"create " + dir.file("new.dat") + " " + std::string(512, 'n'), "longer than 511"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.substr(0, 100));
        ToolRun run = glimmerpack(dir, c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // Usage errors: status 2, what was not understood, then the usage.
    const Case usageErrors[] = {
        {"", "a command is needed"},
        {"frobnicate " + archive, "unknown command frobnicate"},
        {"--frobnicate", "unknown option --frobnicate"},
        {"list", "list needs an ARCHIVE"},
        {"list " + archive + " a", "list takes no NAME"},
        {"cat " + archive, "cat takes one NAME"},
        {"create " + dir.file("new.dat"), "create needs a NAME"},
        {"extract " + archive + " -C", "-C needs a DIR"},
        {"extract " + archive + " -q a", "unknown option -q"},  // an option, not a name
    };
    for (const Case& c : usageErrors) {
        SCOPED_TRACE(c.args.substr(0, 100));
        ToolRun run = glimmerpack(dir, c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("glimmerpack: " + c.message + "\nusage:", 0), 0u) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.dat")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x/a")) && std::filesystem::exists(dir.file("x/b")));

    ToolRun help = glimmerpack(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("@@QuillbankPackUtilitySignatureFieldMarkV2001"), std::string::npos);
}

TEST(Glimmerpack, EntryBeyondTheEndIsListedButNotRead) {
    TempDir dir;
    std::string archive = dir.file("past.dat");
    writeFile(archive, M + "@a@1@big@1000@@xyz");
    ToolRun listed = glimmerpack(dir, "list " + archive);
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, "1\t" + std::to_string(M.size() + 15) + "\ta\n1000\t" + std::to_string(M.size() + 16) + "\tbig\n");
    EXPECT_EQ(glimmerpack(dir, "cat " + archive + " a").out, "x");
    for (const std::string& args : {"cat " + archive + " big", "extract " + archive + " -C " + dir.file("x") + " big"}) {
        ToolRun run = glimmerpack(dir, args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("big: cannot read its 1000 bytes at offset " + std::to_string(M.size() + 16)), std::string::npos)
            << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("x/big")));
}

TEST(Glimmerpack, RefusesMoreThan1024Files) {
    TempDir dir;
    writeFile(dir.file("f"), "x");
    std::string names;
    for (int i = 0; i < 1025; ++i) names += " f";  // the same file under one name, 1025 times
    ToolRun run = glimmerpack(dir, "create " + dir.file("big.dat") + " -C " + dir.path().string() + names);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("1024"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("big.dat")));
}
