// Where the program finds its archive: the working directory first, then the installed data
// folder beside the program's own (bin/../share/glimmertide).
#include "platform/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/temp_dir.h"

namespace fs = std::filesystem;

TEST(DataFolder, WorkingDirectoryFirstThenTheInstalledCopyElseTheNameAsBefore) {
    TempDir dir;
    const std::string bin = dir.file("prefix/bin/");
    writeFile(dir.file("prefix/share/glimmertide/Glimmertide.dat"), "installed");
    fs::create_directories(dir.file("prefix/bin"));
    fs::create_directories(dir.file("here"));
    const fs::path previous = fs::current_path();
    fs::current_path(dir.file("here"));

    EXPECT_EQ(readFile(findDataFile("Glimmertide.dat", bin)), "installed");
    // Nothing installed under that name, or the program's folder unknown: the plain name, so
    // that opening it fails with the usual error.
    EXPECT_EQ(findDataFile("Other.dat", bin), "Other.dat");
    EXPECT_EQ(findDataFile("Glimmertide.dat", ""), "Glimmertide.dat");
    // A copy in the working directory wins over the installed one.
    writeFile(dir.file("here/Glimmertide.dat"), "here");
    EXPECT_EQ(findDataFile("Glimmertide.dat", bin), "Glimmertide.dat");
    fs::current_path(previous);
}

TEST(DataFolder, ProgramFolderHoldsTheRunningProgram) {
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::equivalent(folder, GLIMMER_BINARY_DIR "/tests/platform"));
}
