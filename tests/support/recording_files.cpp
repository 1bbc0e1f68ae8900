// Temporary folders for test recordings and copies of the player.
// Receives relative names; hands on absolute paths, and removes the folder at the end of a test.
#include "tests/support/recording_files.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = base / ("kestrune-test-" + std::to_string(random()));
    std::error_code error;
    if (fs::create_directory(candidate, error) && !error) {
      path_ = candidate.string();
      return;
    }
  }
  path_ = (base / "kestrune-test-unavailable").string();  // tests then fail on their files
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string TempFolder::file(const std::string& relative) const {
  const fs::path full = fs::path(path_) / relative;
  std::error_code error;
  fs::create_directories(full.parent_path(), error);
  return full.string();
}

bool copyExecutable(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  return !error;
}

Bytes longChunk(int triangles, uint8_t kind) {
  std::mt19937 random(1234);
  Bytes records;
  for (int i = 0; i < triangles; ++i) {
    records.push_back(kTriangleKind);
    for (int b = 1; b < kTriangleRecordSize; ++b) records.push_back(random() & 0xFF);
  }
  appendBytes(records, Bytes{kind, 0});
  return compressedChunk(records);
}
