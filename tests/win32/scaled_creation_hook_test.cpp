// The one-shot creation hook, on Wine's real CreateWindowExA: the jump written over the hot-patch
// prologue, the edited style of the first window, the untouched second one, and the eight bytes
// put back by disarming, by the hook itself and by closeScaledWindow.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/win32/scaled_fixture.h"
#include "window/scaled_window.h"
#include "window/scaled_window_win32.h"

namespace {

const std::vector<uint8_t> kHotPatchPrologue = {0x8B, 0xFF, 0x55, 0x8B, 0xEC};
const char kClass[] = "ScaledHookTest";

uint8_t* creationEntry() {
  return reinterpret_cast<uint8_t*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "CreateWindowExA"));
}

// Visible, captioned, with system menu and min/max boxes but no sizing border: the screen
// service's kind of window. The tool-window extended style shows that dwExStyle passes through.
HWND createTestWindow(const char* title) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = kClass;
  RegisterClassA(&window_class);
  return CreateWindowExA(WS_EX_TOOLWINDOW, kClass, title, 0x10CB0000, 10, 20, 300, 200, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

std::string titleOf(HWND window) {
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  return title;
}

void writeCode(uint8_t* target, const uint8_t* bytes, size_t count) {
  DWORD protection = 0;
  VirtualProtect(target, count, PAGE_EXECUTE_READWRITE, &protection);
  std::memcpy(target, bytes, count);
  VirtualProtect(target, count, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), target, count);
}

using ScaledCreationHook = ScaledWindowTest;

TEST_F(ScaledCreationHook, EditsTheFirstWindowOnlyAndPutsThePrologueBack) {
  const std::vector<uint8_t> before = creationPrologue();
  ASSERT_EQ(std::vector<uint8_t>(before.begin(), before.begin() + 5), kHotPatchPrologue);
  uint8_t* entry = creationEntry();

  hookCreation(0);
  const std::vector<uint8_t> armed = creationPrologue();
  EXPECT_EQ(armed[0], 0xE9);
  int32_t displacement;
  std::memcpy(&displacement, &armed[1], 4);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(entry) + 5 + displacement,
            reinterpret_cast<uintptr_t>(&creationStub));
  EXPECT_EQ(std::vector<uint8_t>(armed.begin() + 5, armed.end()),
            std::vector<uint8_t>(before.begin() + 5, before.end()));
  EXPECT_EQ(scaledWindowState().hookResume.load(), reinterpret_cast<uintptr_t>(entry) + 5);
  EXPECT_EQ(scaledWindowState().timerRequests.load(), 1);

  // 0x10CB0000 without WS_VISIBLE, with WS_THICKFRAME: 0x00CF0000. Top-level windows also get
  // WS_CLIPSIBLINGS from the system, which is left out of the comparison.
  HWND first = createTestWindow("first");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(styleOf(first) & ~WS_CLIPSIBLINGS, 0x00CF0000u);
  EXPECT_NE(exStyleOf(first) & WS_EX_TOOLWINDOW, 0u);
  EXPECT_EQ(titleOf(first), "first");
  RECT outer;
  GetWindowRect(first, &outer);
  const RECT asked = {10, 20, 310, 220};
  EXPECT_TRUE(EqualRect(&outer, &asked));
  EXPECT_EQ(creationPrologue(), before);
  EXPECT_EQ(scaledWindowState().hookResume.load(), 0u);

  HWND second = createTestWindow("second");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(styleOf(second) & ~WS_CLIPSIBLINGS, 0x10CB0000u);
  EXPECT_TRUE(IsWindowVisible(second));
  DestroyWindow(first);
  DestroyWindow(second);
}

TEST_F(ScaledCreationHook, ArmingTwiceDisarmingTwiceAndClosingLeaveTheSameBytes) {
  const std::vector<uint8_t> before = creationPrologue();
  hookCreation(0);
  const std::vector<uint8_t> armed = creationPrologue();
  hookCreation(0);
  EXPECT_EQ(creationPrologue(), armed);
  EXPECT_EQ(scaledWindowState().timerRequests.load(), 1);
  hookCreation(7);
  EXPECT_EQ(creationPrologue(), before);
  hookCreation(1);
  EXPECT_EQ(creationPrologue(), before);

  hookCreation(0);  // armed, and no window made before the process ends
  ASSERT_EQ(creationPrologue(), armed);
  closeScaledWindow();
  EXPECT_EQ(creationPrologue(), before);
  EXPECT_EQ(scaledWindowState().hookResume.load(), 0u);
  EXPECT_EQ(scaledWindowState().timerRequests.load(), 0);
}

// `89 FF` is the other encoding of `mov edi, edi`: CreateWindowExA still works while it is there,
// but the entry no longer is the prologue the stub knows how to resume after.
TEST_F(ScaledCreationHook, RefusesToArmOverAnUnknownEntry) {
  uint8_t* entry = creationEntry();
  const std::vector<uint8_t> before = creationPrologue();
  const uint8_t other_encoding[2] = {0x89, 0xFF};
  writeCode(entry, other_encoding, 2);
  const std::vector<uint8_t> changed = creationPrologue();

  testing::internal::CaptureStderr();
  hookCreation(0);
  const std::string error = testing::internal::GetCapturedStderr();
  EXPECT_EQ(creationPrologue(), changed);
  EXPECT_EQ(scaledWindowState().hookResume.load(), 0u);
  EXPECT_EQ(scaledWindowState().timerRequests.load(), 0);
  writeCode(entry, before.data(), 2);
  EXPECT_EQ(creationPrologue(), before);
  EXPECT_NE(error.find("CreateWindowExA does not begin with the hot-patch prologue"),
            std::string::npos)
      << error;
}

}  // namespace
