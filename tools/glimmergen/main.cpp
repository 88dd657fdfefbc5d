// glimmergen --out DIR: makes the show's data — four scenes, two textures and the soundtrack —
// under DIR/data and packs them into DIR/Glimmertide.dat. The output is the same, byte for byte,
// on every run and machine; nothing depends on the clock, the locale or unseeded randomness.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/information.h"
#include "generate.h"
#include "support_archive/archive_writer.h"

namespace {

const char* kUsage =
    "usage: glimmergen --out DIR\n"
    "\n"
    "Makes the show's data from code: four scenes, two textures and the soundtrack under\n"
    "DIR/data/, packed into DIR/Glimmertide.dat. The output is the same, byte for byte, on every\n"
    "run and machine.\n";

int usage(const std::string& problem) { return usageError("glimmergen", problem, kUsage); }

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredInformationRequest(argc, argv, "glimmergen", kUsage)) return 0;
    std::filesystem::path dir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc) dir = argv[++i];
        else if (arg == "--out") return usage("--out needs a DIR");
        else return usage((arg[0] == '-' ? "unknown option " : "unexpected argument ") + arg);
    }
    if (dir.empty()) return usage("--out DIR is needed");
    auto started = std::chrono::steady_clock::now();
    try {
        Content content = generateContent([](const std::string& line) { std::printf("glimmergen: %s\n", line.c_str()); });
        std::vector<PackEntry> entries;
        for (const ContentFile& f : content.files) {
            writeFile(dir / f.name, f.bytes);
            entries.push_back({f.name, f.bytes});
        }
        std::string error;
        const std::filesystem::path archive = dir / "Glimmertide.dat";
        if (!writeArchive(archive.string(), entries, error)) throw std::runtime_error(error);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("glimmergen: wrote %s (%ju bytes) in %.1f s\n", archive.string().c_str(),
                    static_cast<std::uintmax_t>(std::filesystem::file_size(archive)), seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "glimmergen: %s\n", e.what());
        return 1;
    }
    return 0;
}
