// File numbers, 1-based reads, short reads at the end, lengths and the illegal calls.
#include "runtime/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             (std::string("kestrune_files_") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin"))
                .string();
    std::ofstream(path_, std::ios::binary) << "0123456789";
  }
  void TearDown() override {
    for (int n = 1; n <= kMaxFileNumber; ++n) closeFile(n);
    std::filesystem::remove(path_);
  }

  // Reads at a position and gives back the bytes actually read.
  std::string readText(int number, int64_t position, int32_t size, int* result = nullptr) {
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '#');
    int32_t count = -1;
    int code = readAt(number, position, buffer.data(), size, &count);
    if (result != nullptr) *result = code;
    return count < 0 ? "<no count>" : std::string(buffer.data(), static_cast<size_t>(count));
  }

  std::string path_;
};

TEST_F(FilesTest, NumbersAreTakenLowestFirst) {
  EXPECT_EQ(freeFileNumber(), 1);
  ASSERT_EQ(openForReading(path_.c_str(), 1), 0);
  EXPECT_EQ(freeFileNumber(), 2);
  ASSERT_EQ(openForReading(path_.c_str(), 3), 0);
  EXPECT_EQ(freeFileNumber(), 2);
  ASSERT_EQ(closeFile(1), 0);
  EXPECT_EQ(freeFileNumber(), 1);
}

TEST_F(FilesTest, NoFreeNumberWhenAllAreTaken) {
  for (int n = 1; n <= kMaxFileNumber; ++n) ASSERT_EQ(openForReading(path_.c_str(), n), 0) << n;
  EXPECT_EQ(freeFileNumber(), 0);
  ASSERT_EQ(closeFile(200), 0);
  EXPECT_EQ(freeFileNumber(), 200);
}

TEST_F(FilesTest, OpeningRefusesBadNumbersAndMissingFiles) {
  EXPECT_EQ(openForReading(path_.c_str(), 0), 1);
  EXPECT_EQ(openForReading(path_.c_str(), 256), 1);
  EXPECT_EQ(openForReading(path_.c_str(), -4), 1);
  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(openForReading(folder.c_str(), 6), 2);
  ASSERT_EQ(openForReading(path_.c_str(), 5), 0);
  EXPECT_EQ(openForReading(path_.c_str(), 5), 1);  // already open
  std::string missing = path_ + ".missing";
  EXPECT_EQ(openForReading(missing.c_str(), 6), 2);
  EXPECT_EQ(freeFileNumber(), 1);
}

TEST_F(FilesTest, PositionsCountFromOneAndZeroMeansCurrent) {
  ASSERT_EQ(openForReading(path_.c_str(), 1), 0);
  EXPECT_EQ(readText(1, 1, 4), "0123");
  EXPECT_EQ(readText(1, 0, 3), "456");
  EXPECT_EQ(readText(1, 3, 2), "23");
  EXPECT_EQ(readText(1, 0, 1), "4");
  EXPECT_EQ(readText(1, 10, 1), "9");
}

TEST_F(FilesTest, ShortReadsAtTheEndAreNoError) {
  ASSERT_EQ(openForReading(path_.c_str(), 1), 0);
  int code = -1;
  EXPECT_EQ(readText(1, 9, 5, &code), "89");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(readText(1, 11, 4, &code), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(readText(1, 5000, 4, &code), "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(readText(1, 0, 4, &code), "");  // still at the end
  EXPECT_EQ(code, 0);
  EXPECT_EQ(readText(1, 1, 2, &code), "01");  // reading again after the end
}

TEST_F(FilesTest, ReadingWithoutACountOut) {
  ASSERT_EQ(openForReading(path_.c_str(), 1), 0);
  char buffer[3] = {};
  EXPECT_EQ(readAt(1, 8, buffer, 3), 0);
  EXPECT_EQ(std::string(buffer, 2), "78");
}

TEST_F(FilesTest, IllegalReadsGiveOne) {
  char buffer[4];
  int32_t count = 7;
  EXPECT_EQ(readAt(2, 1, buffer, 4, &count), 1);  // not open
  EXPECT_EQ(count, 0);
  EXPECT_EQ(readAt(0, 1, buffer, 4, &count), 1);
  ASSERT_EQ(openForReading(path_.c_str(), 2), 0);
  EXPECT_EQ(readAt(2, 1, buffer, -1, &count), 1);
  EXPECT_EQ(readAt(2, -1, buffer, 4, &count), 1);
}

TEST_F(FilesTest, LengthLeavesTheCurrentPositionAlone) {
  ASSERT_EQ(openForReading(path_.c_str(), 4), 0);
  EXPECT_EQ(readText(4, 3, 1), "2");
  EXPECT_EQ(fileLength(4), 10);
  EXPECT_EQ(readText(4, 0, 2), "34");
  EXPECT_EQ(fileLength(5), -1);
  EXPECT_EQ(fileLength(0), -1);
}

TEST_F(FilesTest, ClosingTwiceGivesOne) {
  ASSERT_EQ(openForReading(path_.c_str(), 7), 0);
  EXPECT_EQ(closeFile(7), 0);
  EXPECT_EQ(closeFile(7), 1);
  EXPECT_EQ(closeFile(300), 1);
  char buffer[1];
  EXPECT_EQ(readAt(7, 1, buffer, 1), 1);
}

}  // namespace
