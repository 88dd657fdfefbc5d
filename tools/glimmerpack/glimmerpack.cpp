// glimmerpack: creates, lists and reads data archives. Reading goes through the program's own
// FileServer code, so what this tool finds is what the show finds.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/information.h"
#include "archive/file_server.h"
#include "support_archive/archive_writer.h"

namespace {

const char* kUsage =
    "usage: glimmerpack create ARCHIVE [-C DIR] NAME...\n"
    "       glimmerpack list ARCHIVE\n"
    "       glimmerpack cat ARCHIVE NAME\n"
    "       glimmerpack extract ARCHIVE [-C DIR] NAME...\n"
    "\n"
    "create   packs the named files, read relative to DIR (default: the current folder), under\n"
    "         their names as given; an existing ARCHIVE is replaced only once the new one is written\n"
    "list     prints one line per file in directory order: size, tab, offset, tab, name\n"
    "cat      writes the file that NAME finds to standard output\n"
    "extract  writes the files that the NAMEs find to DIR/NAME\n"
    "\n"
    "NAME lookup is the program's own: letter case is ignored, and a name without a folder also\n"
    "finds the first file with that base name (\"x26.jpg\" finds \"data/x26.jpg\"). \"--\" ends the\n"
    "options, for a NAME that starts with \"-\".\n"
    "\n"
    "Archive format (no header, checksum or compression):\n"
    "  any prefix bytes, then the marker \"@@QuillbankPackUtilitySignatureFieldMarkV2001\",\n"
    "  one separator byte \"@\", then for each file its name, \"@\", its size in decimal and \"@\",\n"
    "  then one more \"@\"; the files' bytes follow back to back in the same order.\n"
    "  Offsets follow from the sizes alone: a file whose size runs past the end of the archive\n"
    "  is listed, but cat and extract fail on it.\n"
    "  Names use \"/\" between folders and cannot contain \"@\" or NUL; at most 511 characters\n"
    "  per name and 1024 files per archive.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "glimmerpack: %s\n", message.c_str());
    return 1;
}

int usage(const std::string& problem) { return usageError("glimmerpack", problem, kUsage); }

// ARCHIVE [-C DIR] NAME... ; "--" ends the options.
struct Arguments {
    std::string archive;
    std::filesystem::path dir = ".";
    std::vector<std::string> names;
};

// What is wrong with the arguments, or "" when nothing is.
std::string parseArguments(int argc, char** argv, bool allowDir, Arguments& out) {
    if (argc < 3) return std::string(argv[1]) + " needs an ARCHIVE";
    out.archive = argv[2];
    bool options = true;
    for (int i = 3; i < argc; ++i) {
        std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && allowDir && arg == "-C") {
            if (++i >= argc) return "-C needs a DIR";
            out.dir = argv[i];
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;  // a NAME that starts with "-" goes after "--"
        } else {
            out.names.push_back(arg);
        }
    }
    return "";
}

bool readWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

const char* describeOpenCode(int code) {
    switch (code) {
        case -1: return "-1, cannot open the file";
        case -2: return "-2, cannot seek in the file";
        case -3: return "-3, the file is empty";
        case -4: return "-4, short read";
        case -5: return "-5, no marker or an unreadable directory";
    }
    return "unknown failure";
}

bool openArchive(const std::string& path, FileServer::Archive& archive) {
    int code = archive.open(path.c_str());
    if (code == 0) return true;
    fail(path + ": cannot read the archive (" + describeOpenCode(code) + ": " + archive.failureReason() + ")");
    return false;
}

int create(const Arguments& args) {
    if (args.names.empty()) return usage("create needs a NAME");
    std::vector<PackEntry> entries;
    for (const std::string& name : args.names) {
        if (std::string problem = archiveNameProblem(name); !problem.empty()) return fail(problem + ": " + name);
        PackEntry entry{name, {}};
        if (!readWholeFile(args.dir / name, entry.data)) return fail("cannot read " + (args.dir / name).string());
        entries.push_back(std::move(entry));
    }
    std::string error;
    if (!writeArchive(args.archive, entries, error)) return fail(args.archive + ": " + error);
    return 0;
}

int list(const Arguments& args) {
    FileServer::Archive archive;
    if (!openArchive(args.archive, archive)) return 1;
    for (const auto& entry : archive.entries())
        std::printf("%d\t%lld\t%s\n", entry.size, static_cast<long long>(entry.offset), entry.name.c_str());
    return std::fflush(stdout) == 0 ? 0 : fail("cannot write to standard output");
}

// The bytes NAME finds, or a message on stderr.
bool readEntry(const FileServer::Archive& archive, const std::string& name, FileData& data, int32_t& size) {
    const auto* entry = archive.find(name.c_str());
    if (!entry) return fail(name + ": no such name in " + std::string(archive.path())), false;
    data = archive.read(*entry);
    size = entry->size;
    // The directory is taken as it stands, so an entry may claim bytes the file does not hold.
    if (!data)
        return fail(name + ": cannot read its " + std::to_string(size) + " bytes at offset " +
                    std::to_string(entry->offset) + " from " + archive.path()),
               false;
    return true;
}

int cat(const Arguments& args) {
    if (args.names.size() != 1) return usage("cat takes one NAME");
    FileServer::Archive archive;
    FileData data;
    int32_t size = 0;
    if (!openArchive(args.archive, archive) || !readEntry(archive, args.names[0], data, size)) return 1;
    if (std::fwrite(data.get(), 1, size_t(size), stdout) != size_t(size) || std::fflush(stdout) != 0)
        return fail("cannot write to standard output");
    return 0;
}

int extract(const Arguments& args) {
    if (args.names.empty()) return usage("extract needs a NAME");
    FileServer::Archive archive;
    if (!openArchive(args.archive, archive)) return 1;
    for (const std::string& name : args.names) {
        FileData data;
        int32_t size = 0;
        if (!readEntry(archive, name, data, size)) return 1;
        std::filesystem::path out = args.dir / name;
        std::error_code ec;
        if (out.has_parent_path()) std::filesystem::create_directories(out.parent_path(), ec);
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data.get()), size);
        file.close();
        if (!file) return fail("cannot write " + out.string());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredInformationRequest(argc, argv, "glimmerpack", kUsage)) return 0;
    if (argc < 2) return usage("a command is needed");
    const std::string command = argv[1];
    if (command != "create" && command != "list" && command != "cat" && command != "extract")
        return usage((command[0] == '-' ? "unknown option " : "unknown command ") + command);
    Arguments args;
    const bool withDir = command == "create" || command == "extract";
    if (std::string problem = parseArguments(argc, argv, withDir, args); !problem.empty()) return usage(problem);
    if (command == "create") return create(args);
    if (command == "list") return args.names.empty() ? list(args) : usage("list takes no NAME");
    if (command == "cat") return cat(args);
    return extract(args);
}
