// The shared pieces of the fuzz targets: the private folder, the silenced standard output, file
// writing and failed checks. Receives paths and bytes; hands on files and, on a failed check, an
// aborted process with the check's text.
#include "fuzz/fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string& folderPath() {
  static std::string path;
  return path;
}

void removePrivateFolder() {
  std::error_code error;
  if (!folderPath().empty()) std::filesystem::remove_all(folderPath(), error);
}

}  // namespace

const std::string& privateFolder() {
  std::string& path = folderPath();
  if (path.empty()) {
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "kestrune-fuzz-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) fuzzCheckFailed("a private temporary folder");
    path = pattern;
    std::atexit(removePrivateFolder);
  }
  return path;
}

void silenceStandardOutput() {
  std::fflush(stdout);
  const int null_device = open("/dev/null", O_WRONLY);
  if (null_device < 0 || dup2(null_device, STDOUT_FILENO) < 0) {
    fuzzCheckFailed("standard output on the null device");
  }
  close(null_device);
}

void writeFuzzFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) fuzzCheckFailed("a fuzz file can be written");
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) fuzzCheckFailed("a fuzz file can be written");
}

void removeFuzzFile(const std::string& path) { std::remove(path.c_str()); }

void fuzzCheckFailed(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::fflush(stderr);
  std::abort();
}
