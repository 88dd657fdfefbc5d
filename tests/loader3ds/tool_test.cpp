// glimmer3ds, run as a program: JSON summary, the trace, and the refusal of unreadable files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun run(const std::string& arguments) {
    std::string command = std::string(GLIMMER_BINARY_DIR "/glimmer3ds ") + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ToolRun r{-1, {}};
    if (!pipe) return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const std::string kCube = GLIMMER_SOURCE_DIR "/tests/loader3ds/data/cube.3ds";

}  // namespace

TEST(Glimmer3ds, SummaryTraceAndErrors) {
    ToolRun summary = run("summary " + kCube);
    EXPECT_EQ(summary.status, 0);
    EXPECT_NE(summary.out.find("\"name\": \"Cube_Cube_0\",\n      \"vertices\": 18,\n      \"polygons\": 12,"),
              std::string::npos);
    EXPECT_NE(summary.out.find("\"material\": \"Paint_1\",\n          \"polygons\": 12"), std::string::npos);
    EXPECT_NE(summary.out.find("\"endFrame\": 0\n}\n"), std::string::npos);

    ToolRun trace = run("trace " + kCube);
    EXPECT_EQ(trace.status, 0);
    EXPECT_EQ(trace.out.rfind("{K3DSContainer::K3DSContainer()}: Allocating resources...\n", 0), 0u);
    EXPECT_NE(trace.out.find("]}: An EOF-chunk(0xb000) was encountered - quitting...\n"), std::string::npos);
    EXPECT_NE(trace.out.find("{K3DSContainer::~K3DSContainer}: Done.\n"), std::string::npos);

    ToolRun missing = run("summary " + kCube + ".missing");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Error - couldn't open file"), std::string::npos);
    ToolRun noArchive = run("summary --archive /nonexistent/Glimmertide.dat cube.3ds");
    EXPECT_EQ(noArchive.status, 1);
    EXPECT_NE(noArchive.out.find("Error - couldn't read metadata! Aborting..."), std::string::npos);
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("summary --verbose").status, 2);  // an unknown option, not a file
    EXPECT_EQ(run("--help").status, 0);
}

TEST(Glimmer3ds, AFileWithoutAMainChunkIsRefusedAnEmptySceneIsNot) {
    const std::string dir = ::testing::TempDir();
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + name, std::ios::binary) << bytes;
        return dir + name;
    };
    // A JPEG (the show's own texture) and an empty file: no scene at all.
    for (const std::string& file : {std::string(GLIMMER_BINARY_DIR "/data/x26.jpg"), write("empty.3ds", "")}) {
        ToolRun refused = run("summary " + file);
        EXPECT_EQ(refused.status, 1) << file;
        EXPECT_EQ(refused.out, "glimmer3ds: " + file + " holds no 3DS main chunk (0x4D4D): it is no 3D Studio scene\n");
    }
    // A main chunk that holds nothing is an empty scene, said as it is.
    const std::string nothing = write("nothing.3ds", std::string("MM\x06\0\0\0", 6));
    ToolRun empty = run("summary " + nothing);
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out.rfind("{\n  \"file\": \"" + nothing + "\",\n  \"size\": 6,\n  \"meshes\": [],", 0), 0u) << empty.out;
    // A scene cut short keeps what was read, with a warning.
    std::ifstream in(kCube, std::ios::binary);
    const std::string cube((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = write("-cut.3ds", cube.substr(0, cube.size() / 2));
    ToolRun warned = run("trace -- " + cut);  // "--": a name that starts with "-"
    EXPECT_EQ(warned.status, 0);
    EXPECT_NE(warned.out.find("glimmer3ds: warning: " + cut + " is cut short"), std::string::npos) << warned.out;
    EXPECT_EQ(run("summary " + kCube).out.find("warning"), std::string::npos);
}
