// What every fuzz target shares: a private folder for the files a target writes, a quiet standard
// output, and a reader that turns the fuzzer's bytes into numbers and choices.
// Receives the fuzzer's input; hands on files on disk and values that never run past the input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A folder of this process's own under the system's temporary folder, made on the first call and
// removed with everything in it when the process exits.
const std::string& privateFolder();

// Points standard output at the null device, so that the player's messages (one per damaged
// record or texture, thousands a second under a fuzzer) do not flood the log. libFuzzer reports
// on standard error, which stays as it is.
void silenceStandardOutput();

// Writes the bytes to the path, replacing the file; stops the process when it cannot, since a
// target that silently ran on stale files would test nothing.
void writeFuzzFile(const std::string& path, const uint8_t* data, size_t size);
void removeFuzzFile(const std::string& path);

// Stops the process with a message on standard error when a property the target checks does not
// hold; libFuzzer saves the input that did it.
[[noreturn]] void fuzzCheckFailed(const char* what);
#define FUZZ_CHECK(condition) ((condition) ? static_cast<void>(0) : fuzzCheckFailed(#condition))

// Takes values from the front of the input. Past its end every value is 0.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return offset_ >= size_; }
  size_t remaining() const { return empty() ? 0 : size_ - offset_; }
  // The bytes not taken yet.
  const uint8_t* rest() const { return data_ + (empty() ? size_ : offset_); }

  uint8_t u8() { return empty() ? 0 : data_[offset_++]; }
  uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
  uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }
  // One of `count` choices (count > 0).
  int choose(int count) { return u8() % count; }
  // A finite value from -32 to 32 in steps of 1/1024, with 0, 1 and -1 among them.
  float moderate() { return static_cast<int16_t>(u16()) / 1024.0f; }
  // A value from 0 to 1 in steps of 1/255.
  float unit() { return u8() / 255.0f; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};
