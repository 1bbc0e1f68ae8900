// Test recordings on disk: a fresh temporary folder per test, removed afterwards, and small file
// helpers. Receives paths relative to the folder; hands on absolute paths.
#pragma once
#include <string>

#include "tools/recording_writer.h"

class TempFolder {
 public:
  TempFolder();  // a new, empty folder under the system's temporary folder
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The absolute path of a name inside the folder; sub-folders of the name are created.
  std::string file(const std::string& relative) const;

 private:
  std::string path_;
};

// A chunk of `triangles` triangles of varying bytes (it compresses poorly, so it is long) ending
// with the bytes `kind`, 0.
Bytes longChunk(int triangles, uint8_t kind);

// Copies an executable (keeping its permissions); false on failure.
bool copyExecutable(const std::string& from, const std::string& to);
