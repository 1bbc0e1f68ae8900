// Shared helpers of the scalable window's Windows tests: a fixture that leaves the module, the
// screen and the creation hook as a fresh process has them, and read-back of whole-window pixels.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/win32/gdi_window.h"

// GDI screen per test; the module's state, hooks, timer request, cursor clip and viewport hook
// are put back before and after each test.
class ScaledWindowTest : public GdiWindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Arms the creation hook, opens a 16-bit screen through the module and sets it up with the
  // given client size, keepAspect 1 and resizable 0. Null (and a failure) when it did not open.
  HWND openScaled(int width, int height, int flags = 0);
};

// The module's record back to its start values (the hooks are undone by closeScaledWindow).
void resetScaledState();

// Pixels of the whole window, frame included, as 0x00RRGGBB, rows top first.
std::vector<uint32_t> windowPixels(HWND window, int width, int height);

// Posts a key press behind whatever the window has queued and waits until the screen service
// has taken it: every message posted earlier has been handled then.
void flushPosted(HWND window);

// CreateWindowExA's first eight bytes as they are now.
std::vector<uint8_t> creationPrologue();

// The window's style and extended style.
uint32_t styleOf(HWND window);
uint32_t exStyleOf(HWND window);
