// A zero-filled block of bytes for the large frame buffers. Taken from calloc, so that a size that
// cannot be had is a failure to report (the screen does not open) instead of the process ending.
// Receives a size; hands on the bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer() { std::free(bytes_); }

  // Replaces the contents with `size` zero bytes; false, and empty, when they cannot be had.
  bool allocate(size_t size) {
    release();
    if (size == 0) return true;
    bytes_ = static_cast<uint8_t*>(std::calloc(size, 1));
    if (bytes_ == nullptr) return false;
    size_ = size;
    return true;
  }

  void release() {
    std::free(bytes_);
    bytes_ = nullptr;
    size_ = 0;
  }

  uint8_t* data() { return bytes_; }
  const uint8_t* data() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  uint8_t* bytes_ = nullptr;
  size_t size_ = 0;
};
