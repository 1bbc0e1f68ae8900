// Redirects the screen service's presents from outside: receives the present routine's address
// and the OpenGL hooks record; hands on the "GDI" presenter's SetDIBitsToDevice calls to
// stretchBlit and its viewport to clientViewport, both sized from ScaledWindowState.
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "runtime/presenter_gdi_win32.h"
#include "runtime/screen_state.h"
#include "window/geometry.h"
#include "window/scaled_window.h"
#include "window/scaled_window_win32.h"

const BlitFunction stretchBlitPointer = stretchBlit;

namespace {

using ViewportFunction = void(WINAPI*)(int, int, int, int);

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// The slot address that a `jmp [slot]` thunk (FF 25 operand) jumps through; false otherwise.
bool importSlotOf(const void* thunk, uint32_t* slot) {
  const uint8_t* code = static_cast<const uint8_t*>(thunk);
  if (code == nullptr || code[0] != 0xFF || code[1] != 0x25) return false;
  std::memcpy(slot, code + 2, 4);
  return true;
}

// The end of the committed, readable memory that runs on from `start`, at most `limit`: the scan
// must not fault past the end of the image when the routine sits near it.
uintptr_t readableEnd(uintptr_t start, uintptr_t limit) {
  uintptr_t end = start;
  while (end < limit) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<void*>(end), &region, sizeof region) == 0) break;
    bool readable = region.State == MEM_COMMIT && (region.Protect & kReadable) != 0 &&
                    (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0;
    if (!readable) break;
    end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return end < limit ? end : limit;
}

// The first `call [value]` operand (FF 15 then the 4-byte address) at or after start + 2 and no
// further than start + kCallSiteScanLength - 1; 0 when there is none. Only operands of indirect
// calls count, so neither the import thunk's `jmp [slot]` nor a data word is ever rewritten.
uintptr_t findCallOperand(uintptr_t start, uint32_t value) {
  const uint64_t last = static_cast<uint64_t>(start) + kCallSiteScanLength - 1;
  if (last > UINT32_MAX) return 0;
  const uintptr_t end = readableEnd(start, static_cast<uintptr_t>(last) + 4);
  for (uintptr_t a = start + 2; a + 4 <= end; ++a) {
    const uint8_t* operand = reinterpret_cast<const uint8_t*>(a);
    if (operand[-2] != 0xFF || operand[-1] != 0x15) continue;
    uint32_t word;
    std::memcpy(&word, operand, 4);
    if (word == value) return a;
  }
  return 0;
}

void writeOperand(uintptr_t site, uint32_t value) {
  void* address = reinterpret_cast<void*>(site);
  DWORD protection = 0;
  VirtualProtect(address, 4, PAGE_EXECUTE_READWRITE, &protection);
  std::memcpy(address, &value, 4);
  VirtualProtect(address, 4, protection, &protection);
  FlushInstructionCache(GetCurrentProcess(), address, 4);
}

bool activePresenterIsGdi(const ScaledWindowState& state) {
  const char* name = state.activePresenter;
  const char gdi[] = "gdi";
  for (int i = 0; i < 4; ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != gdi[i]) return false;
  }
  return true;
}

void redirectViewport(ScaledWindowState& state) {
  OpenGlHooks& hooks = openGlHooks();
  if (hooks.gl_viewport == clientViewport) return;
  state.savedViewport = reinterpret_cast<uintptr_t>(hooks.gl_viewport);
  hooks.gl_viewport = clientViewport;
}

// Both call sites, the present routine's and the thread loop's, are found by scanning from the
// present routine; the second scan no longer sees the first site, which holds the new operand.
// The presenter calls either site only under the screen lock, so holding it keeps every present
// out of the instructions being rewritten.
void redirectBlits(ScaledWindowState& state) {
  ScreenState& screen = screenState();
  std::lock_guard<std::recursive_mutex> hold(screen.lock);
  void* start = reinterpret_cast<void*>(screen.present);
  if (start == nullptr) return;
  for (uintptr_t& site : state.blitSite) {
    void* found = patchCallSite(reinterpret_cast<const void*>(&SetDIBitsToDevice_importThunk),
                                start, &stretchBlitPointer);
    site = reinterpret_cast<uintptr_t>(found);
  }
  registerScaledWindowExit();
}

}  // namespace

void* patchCallSite(const void* import_thunk, void* address, const void* new_value) {
  uint32_t slot;
  if (!importSlotOf(import_thunk, &slot)) return nullptr;
  if (new_value == nullptr) {
    if (address == nullptr) return nullptr;
    writeOperand(reinterpret_cast<uintptr_t>(address), slot);
    return address;
  }
  uintptr_t site = findCallOperand(reinterpret_cast<uintptr_t>(address), slot);
  if (site == 0) return nullptr;
  writeOperand(site, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(new_value)));
  return reinterpret_cast<void*>(site);
}

void redirectPresenter() {
  ScaledWindowState& state = scaledWindowState();
  redirectViewport(state);
  if (activePresenterIsGdi(state) && state.blitSite[0] == 0) redirectBlits(state);
}

void restoreBlitSites() {
  ScaledWindowState& state = scaledWindowState();
  std::lock_guard<std::recursive_mutex> hold(screenState().lock);
  for (uintptr_t& site : state.blitSite) {
    if (site == 0) continue;
    patchCallSite(reinterpret_cast<const void*>(&SetDIBitsToDevice_importThunk),
                  reinterpret_cast<void*>(site), nullptr);
    site = 0;
  }
}

// The presenter's bitmap header is shared by its two present paths; each present sets its height
// to the rows it passes, and so does this one (the rows start at `bits`, top row first).
int WINAPI stretchBlit(HDC dc, int x, int y, DWORD width, DWORD height, int source_x, int source_y,
                       UINT, UINT, const void* bits, const BITMAPINFO* info, UINT colour_use) {
  const ScaledWindowState& state = scaledWindowState();
  const_cast<BITMAPINFO*>(info)->bmiHeader.biHeight = -static_cast<LONG>(height);
  Rect32 source{x, y, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  Rect32 target =
      stretchRect(source, state.clientWidth, state.clientHeight, state.modeWidth, state.modeHeight);
  if (target.width == 0 || target.height == 0) return 0;  // no client size known yet
  return StretchDIBits(dc, target.x, target.y, target.width, target.height, source_x, source_y,
                       static_cast<int>(width), static_cast<int>(height), bits, info, colour_use,
                       SRCCOPY);
}

void WINAPI clientViewport(int x, int y, int width, int height) {
  const ScaledWindowState& state = scaledWindowState();
  auto viewport = reinterpret_cast<ViewportFunction>(state.savedViewport);
  if (viewport == nullptr) return;  // nothing was installed before us
  if (state.clientWidth != 0) {
    viewport(0, 0, state.clientWidth, state.clientHeight);
  } else {
    viewport(x, y, width, height);
  }
}
