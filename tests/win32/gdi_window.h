// Shared helpers of the Windows window tests: a fixture that gives each test a fresh GDI screen
// state, reading the window's client pixels back, and waiting for keys from the presenter thread.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Resets the screen and keyboard before and after each test and makes "GDI" the preferred
// presenter; KESTRUNE_DESKTOP and KESTRUNE_PRESENTER are cleared for the test's duration.
class GdiWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a 16-bit screen through the screen service; null (and a failure) when it did not open.
  HWND openWindow(int width, int height, int depth = 16, int flags = 0);

 private:
  std::string saved_desktop_;
  std::string saved_presenter_;
};

// The pixels of a device context's top-left width x height as 0x00RRGGBB, rows top first.
std::vector<uint32_t> devicePixels(HDC device, int width, int height);

// The client area's pixels as 0x00RRGGBB, rows top first, read through a 32-bit DIB section.
std::vector<uint32_t> clientPixels(HWND window, int width, int height);

// Polls the client area until pixel (x, y) is `rgb`; false after five seconds.
bool waitForPixel(HWND window, int width, int height, int x, int y, uint32_t rgb);

// The next key text from the queue; "" when none came within five seconds.
std::string waitForKey();

// Writes a 16-bit pixel into the locked frame buffer.
void putPixel16(int x, int y, uint16_t value);

// The text that readKey gives for an extended key code.
std::string extendedKey(int code);
