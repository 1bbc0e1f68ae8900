// The blit and viewport redirections: stretchBlit on a memory bitmap, the two call sites of the
// "GDI" presenter patched and restored, and the real window's client pixels after a resize.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/scaled_fixture.h"
#include "window/scaled_window.h"
#include "window/scaled_window_win32.h"

namespace {

constexpr uint16_t W = 0xFFFF;  // white in 5-6-5
constexpr uint16_t B = 0x0000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kUntouched = 0x123456;

// A 5-6-5 top-down source bitmap as the presenter describes its frame buffer.
struct Source565 {
  BITMAPINFOHEADER header;
  DWORD masks[3];
};

Source565 sourceHeader(int width, int height) {
  Source565 source = {};
  source.header.biSize = sizeof source.header;
  source.header.biWidth = width;
  source.header.biHeight = height;  // stretchBlit must make this top-down itself
  source.header.biPlanes = 1;
  source.header.biBitCount = 16;
  source.header.biCompression = BI_BITFIELDS;
  source.masks[0] = 0xF800;
  source.masks[1] = 0x07E0;
  source.masks[2] = 0x001F;
  return source;
}

// A 32-bit memory bitmap filled with kUntouched, selected into its own DC.
struct Target {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;

  Target(int w, int h) : width(w), height(h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    void* memory = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    bits = static_cast<uint32_t*>(memory);
    SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) bits[i] = kUntouched;
  }
  ~Target() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  std::vector<uint32_t> pixels() const {
    GdiFlush();
    std::vector<uint32_t> out(bits, bits + width * height);
    for (uint32_t& p : out) p &= 0xFFFFFF;
    return out;
  }
};

uint32_t importSlot() {
  uint32_t slot;
  std::memcpy(&slot, reinterpret_cast<const uint8_t*>(&SetDIBitsToDevice_importThunk) + 2, 4);
  return slot;
}

uint32_t operandAt(uintptr_t site) {
  uint32_t value;
  std::memcpy(&value, reinterpret_cast<const void*>(site), 4);
  return value;
}

using ScaledBlit = ScaledWindowTest;

// A 4 x 3 screen drawn into an 8 x 6 memory bitmap: nothing before the client size is known,
// then rows 1 and 2, passed as the presenter passes a span (bits at its first row), land on
// y = 1 * 6 / 3 = 2 with height 2 * 6 / 3 = 4, each pixel doubled.
TEST_F(ScaledBlit, StretchesARowSpanOntoItsBandOnceTheClientSizeIsKnown) {
  scaledWindowState().clientWidth = 99;
  ASSERT_EQ(openScaledScreen(4, 3, 16, 1, 0, 0), 0);
  EXPECT_EQ(scaledWindowState().clientWidth.load(), 0);
  EXPECT_EQ(scaledWindowState().clientHeight.load(), 0);
  scaledWindowState().modeWidth = 4;
  scaledWindowState().modeHeight = 3;
  Target target(8, 6);
  Source565 source = sourceHeader(4, 3);
  const uint16_t span[8] = {B, W, B, B,  //
                            W, W, B, W};
  const BITMAPINFO* info = reinterpret_cast<BITMAPINFO*>(&source);
  EXPECT_EQ(stretchBlit(target.dc, 0, 1, 4, 2, 0, 0, 0, 2, span, info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(target.pixels(), std::vector<uint32_t>(48, kUntouched));
  EXPECT_EQ(source.header.biHeight, -2);

  scaledWindowState().clientWidth = 8;
  scaledWindowState().clientHeight = 6;
  source.header.biHeight = 3;
  EXPECT_NE(stretchBlit(target.dc, 0, 1, 4, 2, 0, 0, 0, 2, span, info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(source.header.biHeight, -2);
  const uint32_t U = kUntouched, K = kBlack, H = kWhite;
  const std::vector<uint32_t> expected = {
      U, U, U, U, U, U, U, U,  //
      U, U, U, U, U, U, U, U,  //
      K, K, H, H, K, K, K, K,  //
      K, K, H, H, K, K, K, K,  //
      H, H, H, H, K, K, H, H,  //
      H, H, H, H, K, K, H, H,  //
  };
  EXPECT_EQ(target.pixels(), expected);
}

TEST_F(ScaledBlit, BothCallSitesArePatchedOnceAndRestoredAtClose) {
  HWND window = openScaled(320, 240);
  ASSERT_NE(window, nullptr);
  const ScaledWindowState& s = scaledWindowState();
  const uintptr_t present = reinterpret_cast<uintptr_t>(screenState().present);
  const uintptr_t first = s.blitSite[0];
  const uintptr_t second = s.blitSite[1];
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_LT(present, first);
  EXPECT_LT(first, second);
  EXPECT_LE(second, present + kCallSiteScanLength - 1);
  const uint32_t pointer = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&stretchBlitPointer));
  for (uintptr_t site : {first, second}) {
    const uint8_t* call = reinterpret_cast<const uint8_t*>(site - 2);
    EXPECT_EQ(call[0], 0xFF);
    EXPECT_EQ(call[1], 0x15);
    EXPECT_EQ(operandAt(site), pointer);
  }
  EXPECT_EQ(stretchBlitPointer, &stretchBlit);

  setupScaledWindow(160, 120, 1, 0);  // a later set-up does not search again
  EXPECT_EQ(s.blitSite[0], first);
  EXPECT_EQ(s.blitSite[1], second);

  closeScaledWindow();
  EXPECT_EQ(operandAt(first), importSlot());
  EXPECT_EQ(operandAt(second), importSlot());
  EXPECT_EQ(s.blitSite[0], 0u);
  EXPECT_EQ(s.blitSite[1], 0u);
}

TEST_F(ScaledBlit, PatchCallSiteSearchesForwardAndRestoresOnlyAGivenAddress) {
  const void* thunk = reinterpret_cast<const void*>(&SetDIBitsToDevice_importThunk);
  const uint32_t slot = importSlot();
  // A data word equal to the slot, then a `jmp [slot]`, then the `call [slot]` that counts.
  uint8_t code[24] = {0x90, 0x90};
  std::memcpy(code + 2, &slot, 4);
  code[8] = 0xFF;
  code[9] = 0x25;
  std::memcpy(code + 10, &slot, 4);
  code[16] = 0xFF;
  code[17] = 0x15;
  std::memcpy(code + 18, &slot, 4);
  const uint32_t marker = 0x0BADF00D;
  void* found = patchCallSite(thunk, code, reinterpret_cast<const void*>(marker));
  EXPECT_EQ(found, code + 18);
  EXPECT_EQ(operandAt(reinterpret_cast<uintptr_t>(code + 18)), marker);
  EXPECT_EQ(operandAt(reinterpret_cast<uintptr_t>(code + 10)), slot);
  EXPECT_EQ(patchCallSite(thunk, nullptr, nullptr), nullptr);
  EXPECT_EQ(patchCallSite(thunk, code + 18, nullptr), code + 18);
  EXPECT_EQ(operandAt(reinterpret_cast<uintptr_t>(code + 18)), slot);
  EXPECT_EQ(patchCallSite(code, code + 18, nullptr), nullptr);  // not a `jmp [slot]` thunk
}

// A 160 x 120 screen: black with a white 20 x 20 square at (10, 20) and one white pixel at
// (100, 60). Stretched by a whole factor f, client pixel (x, y) shows screen pixel (x/f, y/f).
bool screenWhite(int x, int y) {
  return (x >= 10 && x < 30 && y >= 20 && y < 40) || (x == 100 && y == 60);
}

void drawPicture() {
  lockScreen();
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 160; ++x) putPixel16(x, y, screenWhite(x, y) ? W : B);
  }
  unlockScreen(0, -1);
}

std::vector<uint32_t> stretchedPicture(int factor) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 120 * factor; ++y) {
    for (int x = 0; x < 160 * factor; ++x) {
      pixels.push_back(screenWhite(x / factor, y / factor) ? kWhite : kBlack);
    }
  }
  return pixels;
}

TEST_F(ScaledBlit, ResizedWindowShowsThePictureStretched) {
  HWND window = openScaled(160, 120);
  ASSERT_NE(window, nullptr);
  for (int factor : {2, 3}) {
    setupScaledWindow(160 * factor, 120 * factor, 1, 0);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.right, 160 * factor);
    ASSERT_EQ(client.bottom, 120 * factor);
    EXPECT_EQ(scaledWindowState().clientWidth.load(), 160 * factor);
    drawPicture();
    const std::vector<uint32_t> expected = stretchedPicture(factor);
    EXPECT_TRUE(waitUntil(
        [&] { return clientPixels(window, 160 * factor, 120 * factor) == expected; }, 5.0))
        << "factor " << factor;
  }
}

struct ViewportCall {
  int x = -1, y = -1, width = -1, height = -1;
};
ViewportCall last_viewport;

void WINAPI recordViewport(int x, int y, int width, int height) {
  last_viewport = ViewportCall{x, y, width, height};
}

TEST_F(ScaledBlit, ViewportCoversTheClientAreaOnceItIsKnown) {
  openGlHooks().gl_viewport = recordViewport;
  HWND window = openScaled(160, 120);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(openGlHooks().gl_viewport, &clientViewport);
  setupScaledWindow(320, 240, 1, 0);  // already redirected: the saved function stays
  EXPECT_EQ(scaledWindowState().savedViewport, reinterpret_cast<uintptr_t>(&recordViewport));

  openGlHooks().gl_viewport(1, 2, 3, 4);
  EXPECT_EQ(last_viewport.x, 0);
  EXPECT_EQ(last_viewport.y, 0);
  EXPECT_EQ(last_viewport.width, 320);
  EXPECT_EQ(last_viewport.height, 240);
  scaledWindowState().clientWidth = 0;
  openGlHooks().gl_viewport(1, 2, 3, 4);
  EXPECT_EQ(last_viewport.x, 1);
  EXPECT_EQ(last_viewport.width, 3);
  EXPECT_EQ(last_viewport.height, 4);
}

}  // namespace
