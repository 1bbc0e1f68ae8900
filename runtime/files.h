// Binary files opened for reading under small file numbers (1..255), read at 1-based positions.
// Receives file names and numbers from callers; hands on bytes, lengths and integer error codes
// (0 = success, 1 = illegal call, other values = the file could not be used).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

constexpr int kMaxFileNumber = 255;

// The lowest file number in 1..255 that is not open, 0 when all are taken.
int freeFileNumber();

// Opens a file for binary reading under the given number. 0 on success; 1 for a number outside
// 1..255 or one that is already open; 2 when the file cannot be opened.
int openForReading(const char* name, int file_number);

// Opens a file for binary reading under the lowest free number, found and taken at once so that
// another thread cannot take the same number meanwhile. The number, or 0 when the file cannot be
// opened or every number is taken.
int openUnderFreeNumber(const char* name);

// Closes the file open under the number, if any, and opens `name` in its place at once, so that
// the number stays this caller's. 0 on success; 1 for a number outside 1..255; 2 when the file
// cannot be opened (the number is free then).
int reopenForReading(const char* name, int file_number);

// Reads up to size bytes at a 1-based position (0 = the current position) into buffer. The
// number of bytes actually read goes to *count when count is not null; a short read at the end
// of the file is no error. The current position moves behind the bytes read.
// 1 for a file number that is not open, a negative size or a negative position.
int readAt(int file_number, int64_t position, void* buffer, int32_t size, int32_t* count = nullptr);

// The file's length in bytes, -1 when the number is not open.
int64_t fileLength(int file_number);

// Closes the file; 1 when the number is not open.
int closeFile(int file_number);

// A whole file being written. The bytes go to a temporary file beside it, which takes the file's
// name only once every byte is written and the file is closed: a failure (a full disk, a folder
// that is not there) leaves nothing under the name. Only regular files are written: a named pipe
// or a device under the name is refused, not waited on or written into.
struct OutputFile {
  std::FILE* stream = nullptr;  // null when the file could not be begun
  std::string path;
  std::string temporary;
  std::string error;  // what failed, once something did
};

// Begins writing `path`. False (with the reason in file->error) when something other than a
// regular file has the name, or the temporary file cannot be made.
bool beginOutputFile(const std::string& path, OutputFile* file);

// Ends the file: closes it and, when every write went through (`written`) and the close did,
// moves it to its name; otherwise removes it. False, with the reason in file->error, on failure.
bool finishOutputFile(OutputFile* file, bool written);

// Writes `size` bytes as the whole file at `path`, as beginOutputFile and finishOutputFile do.
// False, with the reason in *error, on failure.
bool writeOutputFile(const std::string& path, const void* bytes, size_t size, std::string* error);
