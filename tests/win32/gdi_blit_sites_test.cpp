// The code shape that the window module patches: scanning forward from the present routine for
// SetDIBitsToDevice's import-slot address finds two `call [slot]` operands, the present routine's
// first and the presenter loop's second, and redirecting them reroutes exactly those presents.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/screen.h"
#include "runtime/screen_state.h"
#include "tests/support/runtime_state.h"
#include "tests/win32/gdi_window.h"

// The import library's thunk for SetDIBitsToDevice, `jmp [slot]`, reached under its decorated
// name: the dllimport declaration of the header would call through the slot instead.
extern "C" int WINAPI SetDIBitsToDevice_thunk(HDC dc, int x, int y, DWORD width, DWORD height,
                                              int source_x, int source_y, UINT start_scan,
                                              UINT lines, const void* bits, const BITMAPINFO* info,
                                              UINT colour_use) __asm__("_SetDIBitsToDevice@48");

namespace {

constexpr uintptr_t kScanLength = 165536;

using BlitFunction = int(WINAPI*)(HDC, int, int, DWORD, DWORD, int, int, UINT, UINT, const void*,
                                  const BITMAPINFO*, UINT);

// What one redirected call site saw: calls from the test's own thread and from others, and the
// destination rows and bitmap height of the last call.
struct SiteRecord {
  std::atomic<int> calls_on_test_thread{0};
  std::atomic<int> calls_elsewhere{0};
  std::atomic<int> y{-1};
  std::atomic<int> rows{-1};
  std::atomic<int> bitmap_height{0};
};

SiteRecord present_site;
SiteRecord loop_site;
std::thread::id test_thread;

int record(SiteRecord& site, HDC dc, int x, int y, DWORD width, DWORD height, int source_x,
           int source_y, UINT start_scan, UINT lines, const void* bits, const BITMAPINFO* info,
           UINT colour_use) {
  if (std::this_thread::get_id() == test_thread) {
    ++site.calls_on_test_thread;
  } else {
    ++site.calls_elsewhere;
  }
  site.y = y;
  site.rows = static_cast<int>(height);
  site.bitmap_height = info->bmiHeader.biHeight;
  return SetDIBitsToDevice_thunk(dc, x, y, width, height, source_x, source_y, start_scan, lines,
                                 bits, info, colour_use);
}

int WINAPI presentSiteBlit(HDC dc, int x, int y, DWORD width, DWORD height, int source_x,
                           int source_y, UINT start_scan, UINT lines, const void* bits,
                           const BITMAPINFO* info, UINT colour_use) {
  return record(present_site, dc, x, y, width, height, source_x, source_y, start_scan, lines, bits,
                info, colour_use);
}

int WINAPI loopSiteBlit(HDC dc, int x, int y, DWORD width, DWORD height, int source_x, int source_y,
                        UINT start_scan, UINT lines, const void* bits, const BITMAPINFO* info,
                        UINT colour_use) {
  return record(loop_site, dc, x, y, width, height, source_x, source_y, start_scan, lines, bits,
                info, colour_use);
}

// The redirected operands point at these, as they pointed at the import slot.
BlitFunction present_site_pointer = presentSiteBlit;
BlitFunction loop_site_pointer = loopSiteBlit;

uint32_t importSlot() {
  const uint8_t* thunk = reinterpret_cast<const uint8_t*>(&SetDIBitsToDevice_thunk);
  EXPECT_EQ(thunk[0], 0xFF);
  EXPECT_EQ(thunk[1], 0x25);
  uint32_t slot;
  std::memcpy(&slot, thunk + 2, 4);
  return slot;
}

// Addresses a from start to start + 165535 where the 4-byte word equals value, at most `count`.
std::vector<uintptr_t> findWords(uintptr_t start, uint32_t value, size_t count) {
  std::vector<uintptr_t> found;
  for (uintptr_t a = start; a < start + kScanLength && found.size() < count; ++a) {
    uint32_t word;
    std::memcpy(&word, reinterpret_cast<const void*>(a), 4);
    if (word == value) found.push_back(a);
  }
  return found;
}

void writeOperand(uintptr_t site, uint32_t value) {
  void* address = reinterpret_cast<void*>(site);
  DWORD protection = 0;
  VirtualProtect(address, 4, PAGE_EXECUTE_READWRITE, &protection);
  std::memcpy(address, &value, 4);
  VirtualProtect(address, 4, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), address, 4);
}

uint32_t addressOf(const BlitFunction* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

using GdiBlitSitesTest = GdiWindowTest;

TEST_F(GdiBlitSitesTest, ScanFromThePresentRoutineFindsItsCallThenTheLoops) {
  HWND window = openWindow(320, 240);
  ASSERT_NE(window, nullptr);
  ScreenState& screen = screenState();
  ASSERT_NE(screen.present, nullptr);
  const uint32_t slot = importSlot();
  const uintptr_t start = reinterpret_cast<uintptr_t>(screen.present);
  const std::vector<uintptr_t> sites = findWords(start, slot, 2);
  ASSERT_EQ(sites.size(), 2u);
  for (uintptr_t site : sites) {
    const uint8_t* call = reinterpret_cast<const uint8_t*>(site - 2);
    EXPECT_EQ(call[0], 0xFF) << "no indirect call before the operand";
    EXPECT_EQ(call[1], 0x15) << "no indirect call before the operand";
  }

  // Redirect both with the presenter held off by the lock: it calls either site only under it.
  test_thread = std::this_thread::get_id();
  {
    std::lock_guard<std::recursive_mutex> hold(screen.lock);
    writeOperand(sites[0], addressOf(&present_site_pointer));
    writeOperand(sites[1], addressOf(&loop_site_pointer));
  }

  // The present routine called on this thread goes through the first site only.
  screen.present(screen, 20, 29);
  EXPECT_EQ(present_site.calls_on_test_thread.load(), 1);
  EXPECT_EQ(present_site.y.load(), 20);
  EXPECT_EQ(present_site.rows.load(), 10);
  EXPECT_EQ(present_site.bitmap_height.load(), -10);
  EXPECT_EQ(loop_site.calls_on_test_thread.load(), 0);

  // Changed rows are presented by the loop, on the presenter thread, through the second site.
  lockScreen();
  putPixel16(0, 5, 0xFFFF);
  unlockScreen(5, 6);
  EXPECT_TRUE(waitUntil([] { return loop_site.calls_elsewhere.load() > 0; }, 5.0));
  EXPECT_EQ(loop_site.y.load(), 5);
  EXPECT_EQ(loop_site.rows.load(), 2);
  EXPECT_EQ(loop_site.bitmap_height.load(), -2);
  EXPECT_TRUE(waitForPixel(window, 320, 240, 0, 5, 0xFFFFFF));

  {
    std::lock_guard<std::recursive_mutex> hold(screen.lock);
    writeOperand(sites[0], slot);
    writeOperand(sites[1], slot);
  }
  EXPECT_EQ(findWords(start, slot, 2), sites);
}

}  // namespace
