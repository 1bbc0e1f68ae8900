// Shared helpers of the Windows window tests: fixture set-up over the process-wide screen state,
// client-area read-back through GDI and polling of the key queue.
#include "tests/win32/gdi_window.h"

#include <cstdlib>
#include <cstring>

#include "runtime/keyboard.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"

namespace {

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

void restoreVariable(const char* name, const std::string& saved) {
  setEnvironment(name, saved.empty() ? nullptr : saved.c_str());
}

}  // namespace

void GdiWindowTest::SetUp() {
  resetRuntimeState();
  saved_desktop_ = variable("KESTRUNE_DESKTOP");
  saved_presenter_ = variable("KESTRUNE_PRESENTER");
  setEnvironment("KESTRUNE_DESKTOP", nullptr);
  setEnvironment("KESTRUNE_PRESENTER", nullptr);
  setPreferredPresenter("GDI");
}

void GdiWindowTest::TearDown() {
  resetRuntimeState();
  restoreVariable("KESTRUNE_DESKTOP", saved_desktop_);
  restoreVariable("KESTRUNE_PRESENTER", saved_presenter_);
}

HWND GdiWindowTest::openWindow(int width, int height, int depth, int flags) {
  EXPECT_EQ(openScreen(width, height, depth, 1, flags, 0), 0);
  EXPECT_STREQ(presenterName(), "GDI");
  return reinterpret_cast<HWND>(windowHandle());
}

std::vector<uint32_t> devicePixels(HDC device, int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0xDEADBEEF);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC memory_dc = CreateCompatibleDC(device);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory_dc, bitmap);
    BitBlt(memory_dc, 0, 0, width, height, device, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = source[i] & 0xFFFFFF;
    SelectObject(memory_dc, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory_dc);
  return pixels;
}

std::vector<uint32_t> clientPixels(HWND window, int width, int height) {
  HDC window_dc = GetDC(window);
  std::vector<uint32_t> pixels = devicePixels(window_dc, width, height);
  ReleaseDC(window, window_dc);
  return pixels;
}

bool waitForPixel(HWND window, int width, int height, int x, int y, uint32_t rgb) {
  return waitUntil(
      [&] {
        return clientPixels(window, width, height)[static_cast<size_t>(y) * width + x] == rgb;
      },
      5.0);
}

std::string waitForKey() {
  std::string key;
  waitUntil(
      [&] {
        key = readKey();
        return !key.empty();
      },
      5.0);
  return key;
}

void putPixel16(int x, int y, uint16_t value) {
  uint8_t* pixels = static_cast<uint8_t*>(screenPixels());
  std::memcpy(pixels + y * screenInfo().pitch + x * 2, &value, 2);
}

std::string extendedKey(int code) {
  return std::string{static_cast<char>(255), static_cast<char>(code)};
}
