// Binary files under small numbers: receives names, numbers and 1-based positions from callers
// and hands on bytes and lengths. One table of open streams, guarded by a mutex.
#include "runtime/files.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "runtime/platform.h"

namespace {

struct FileTable {
  std::mutex lock;
  std::array<std::FILE*, kMaxFileNumber + 1> streams{};  // index 0 unused
};

FileTable& fileTable() {
  static FileTable table;
  return table;
}

bool validNumber(int file_number) { return file_number >= 1 && file_number <= kMaxFileNumber; }

// The open stream under the number, null when there is none. The caller holds the lock.
std::FILE* openStream(FileTable& table, int file_number) {
  return validNumber(file_number) ? table.streams[static_cast<size_t>(file_number)] : nullptr;
}

}  // namespace

int freeFileNumber() {
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (int n = 1; n <= kMaxFileNumber; ++n) {
    if (table.streams[static_cast<size_t>(n)] == nullptr) return n;
  }
  return 0;
}

namespace {

// Only regular files are read (links to them included). A folder opens as a stream on some
// systems but reads nothing, and opening a named pipe, which an archive of recordings can hold
// under a part's or a dump's name, would wait for a writer that never comes. The table's lock is
// held and the number is free.
int openInto(FileTable& table, const char* name, int file_number) {
  if (name == nullptr) return 2;
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error)) return 2;
  std::FILE* stream = std::fopen(name, "rb");
  if (stream == nullptr) return 2;
  table.streams[static_cast<size_t>(file_number)] = stream;
  return 0;
}

}  // namespace

int openForReading(const char* name, int file_number) {
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  if (!validNumber(file_number) || openStream(table, file_number) != nullptr) return 1;
  return openInto(table, name, file_number);
}

int openUnderFreeNumber(const char* name) {
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (int n = 1; n <= kMaxFileNumber; ++n) {
    if (openStream(table, n) == nullptr) return openInto(table, name, n) == 0 ? n : 0;
  }
  return 0;
}

int reopenForReading(const char* name, int file_number) {
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  if (!validNumber(file_number)) return 1;
  std::FILE* open = openStream(table, file_number);
  if (open != nullptr) std::fclose(open);
  table.streams[static_cast<size_t>(file_number)] = nullptr;
  return openInto(table, name, file_number);
}

int readAt(int file_number, int64_t position, void* buffer, int32_t size, int32_t* count) {
  if (count != nullptr) *count = 0;
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  std::FILE* stream = openStream(table, file_number);
  if (stream == nullptr || size < 0 || position < 0) return 1;
  if (size > 0 && buffer == nullptr) return 1;
  if (position > 0 && seekFile(stream, position - 1) != 0) return 3;
  size_t got = size > 0 ? std::fread(buffer, 1, static_cast<size_t>(size), stream) : 0;
  if (count != nullptr) *count = static_cast<int32_t>(got);
  bool failed = std::ferror(stream) != 0;
  std::clearerr(stream);  // an end reached now must not spoil a later read elsewhere
  return failed ? 3 : 0;
}

int64_t fileLength(int file_number) {
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  std::FILE* stream = openStream(table, file_number);
  if (stream == nullptr) return -1;
  int64_t here = tellFile(stream);
  if (here < 0 || seekFileEnd(stream) != 0) return -1;
  int64_t length = tellFile(stream);
  seekFile(stream, here);
  return length;
}

int closeFile(int file_number) {
  FileTable& table = fileTable();
  std::lock_guard<std::mutex> guard(table.lock);
  std::FILE* stream = openStream(table, file_number);
  if (stream == nullptr) return 1;
  std::fclose(stream);
  table.streams[static_cast<size_t>(file_number)] = nullptr;
  return 0;
}

namespace {

std::string failure(const std::string& what, const std::string& path, int error_number) {
  return what + " " + path + ": " + std::strerror(error_number);
}

}  // namespace

bool beginOutputFile(const std::string& path, OutputFile* file) {
  *file = OutputFile{};
  file->path = path;
  file->temporary = path + ".partial";
  std::error_code error;
  const std::filesystem::file_status target = std::filesystem::status(path, error);
  if (std::filesystem::exists(target) && !std::filesystem::is_regular_file(target)) {
    file->error = "cannot write " + path + ": not a regular file";
    return false;
  }
  // A temporary file left by an earlier run that ended half-way is replaced.
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(file->temporary, error))) {
    std::filesystem::remove(file->temporary, error);
  }
  file->stream = createNewFile(file->temporary.c_str());
  if (file->stream == nullptr) {
    file->error = failure("cannot write", path, errno);
    return false;
  }
  return true;
}

bool finishOutputFile(OutputFile* file, bool written) {
  if (file->stream == nullptr) return false;
  int error_number = written ? 0 : (errno != 0 ? errno : EIO);
  if (error_number == 0 && std::fflush(file->stream) != 0) error_number = errno;
  if (std::fclose(file->stream) != 0 && error_number == 0) error_number = errno != 0 ? errno : EIO;
  file->stream = nullptr;
  std::error_code error;
  if (error_number == 0) {
    std::filesystem::rename(file->temporary, file->path, error);
    if (!error) return true;
    file->error = "cannot write " + file->path + ": " + error.message();
  } else {
    file->error = failure("cannot write", file->path, error_number);
  }
  std::filesystem::remove(file->temporary, error);
  return false;
}

bool writeOutputFile(const std::string& path, const void* bytes, size_t size, std::string* error) {
  OutputFile file;
  if (!beginOutputFile(path, &file)) {
    *error = file.error;
    return false;
  }
  const bool written = size == 0 || std::fwrite(bytes, 1, size, file.stream) == size;
  if (!finishOutputFile(&file, written)) {
    *error = file.error;
    return false;
  }
  return true;
}
