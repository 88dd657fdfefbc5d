// glimmershot, run as a program: what it reports is what it did.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Glimmershot : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("glimmershot-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // The whole show at 2 frames per second: every scene, quickly.
    ToolRun run(const std::string& arguments) {
        const std::string command = std::string(GLIMMER_BINARY_DIR "/glimmershot --data " GLIMMER_BINARY_DIR
                                                "/Glimmertide.dat ") +
                                    arguments + " >" + (dir / "out.txt").string() + " 2>" + (dir / "err.txt").string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(dir / "out.txt"), readAll(dir / "err.txt")};
    }

    fs::path dir;
};

TEST_F(Glimmershot, TheBenchmarkCountsThePolygonsOfEverySceneAndOnlyTheScenes) {
    const ToolRun bench = run("--fps 2");
    ASSERT_EQ(bench.status, 0) << bench.err;
    // Meshes through the vertex arrays or polygon by polygon, the title card's own quad: all count.
    for (int scene = 0; scene < 6; ++scene) {
        std::smatch found;
        const std::regex line("scene " + std::to_string(scene) + ": at most ([0-9]+) polygons? drawn in one frame");
        ASSERT_TRUE(std::regex_search(bench.out, found, line)) << bench.out;
        EXPECT_GT(std::stol(found[1]), 0) << "scene " << scene;
    }
    EXPECT_EQ(bench.out.find("scene 6"), std::string::npos) << "the closing pause is no scene";
}

TEST_F(Glimmershot, TicksPastTheEndFailAndGetNoPicture) {
    const fs::path shots = dir / "shots";
    const ToolRun past = run("--fps 2 --at 20000,100,13100 --out " + shots.string());
    EXPECT_EQ(past.status, 1);
    EXPECT_TRUE(fs::exists(shots / "at00100.png")) << "the frames it could, it writes";
    EXPECT_FALSE(fs::exists(shots / "at13100.png"));
    EXPECT_FALSE(fs::exists(shots / "at20000.png"));
    EXPECT_EQ(past.err,
              "glimmershot: the show ended before tick 13100\nglimmershot: the show ended before tick 20000\n");
}

TEST_F(Glimmershot, UsageErrorsSayWhatWasWrongAndExitWith2) {
    const struct {
        std::string arguments, problem;
    } cases[] = {
        {"--at 100", "--at needs --out or --sheet"},  // it used to run the benchmark instead
        {"--every 40", "--every needs --out or --sheet"},
        {"--average 4", "--average needs --out or --sheet"},
        {"--out " + (dir / "made").string(), "--out and --sheet need --at or --every"},
        {"--at 1 --every 2 --out x", "--at and --every exclude each other"},
        {"--fps", "--fps needs a value"},
        {"--fps 0", "--fps takes a whole number of at least 1"},
        {"--frames 4", "unknown option --frames"},
    };
    for (const auto& c : cases) {
        const ToolRun refused = run(c.arguments);
        EXPECT_EQ(refused.status, 2) << c.arguments;
        EXPECT_EQ(refused.err.rfind("glimmershot: " + c.problem + "\nusage: glimmershot", 0), 0u) << refused.err;
        EXPECT_EQ(refused.out, "");
    }
    EXPECT_FALSE(fs::exists(dir / "made")) << "a refused run makes no folder";
}

}  // namespace
