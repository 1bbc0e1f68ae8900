// The executable's folder and changing the working directory.
#include "runtime/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(Process, ExecutableFolderHoldsThisTestProgram) {
  std::string folder = executableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_NE(folder.back(), '\\');
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    found = found || entry.path().stem() == "runtime_tests";
  }
  EXPECT_TRUE(found) << folder;
}

TEST(Process, ChangeDirectoryMovesTheWorkingDirectory) {
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::path target = std::filesystem::temp_directory_path() / "kestrune-cd-test";
  std::filesystem::create_directories(target);
  std::ofstream(target / "marker.txt") << "here";
  ASSERT_EQ(changeDirectory(target.string()), 0);
  EXPECT_TRUE(std::ifstream("marker.txt").good());  // a relative name now resolves in the target
  EXPECT_NE(changeDirectory((target / "no-such-folder").string()), 0);
  ASSERT_EQ(changeDirectory(before.string()), 0);
  EXPECT_FALSE(std::ifstream("marker.txt").good());
  std::filesystem::remove_all(target);
}
