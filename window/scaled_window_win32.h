// The Windows module's own entry points beyond the portable interface: the subclassing window
// procedure, the creation hook's stub and the presenter redirections (stretching blit, viewport,
// call-site patching). Windows build only; receives Win32 handles and hands on Win32 results.
#pragma once
#include <windows.h>

#include <cstdint>

// The subclassing procedure that stands in front of the screen service's own.
LRESULT CALLBACK scaledWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Never called: the hook jump over CreateWindowExA's first five bytes lands here, with
// CreateWindowExA's own stack (return address on top, then its twelve arguments).
extern "C" void creationStub();

// A drop-in for SetDIBitsToDevice that stretches the rows given to the current client area.
int WINAPI stretchBlit(HDC dc, int x, int y, DWORD width, DWORD height, int source_x, int source_y,
                       UINT start_scan, UINT lines, const void* bits, const BITMAPINFO* info,
                       UINT colour_use);

using BlitFunction = int(WINAPI*)(HDC, int, int, DWORD, DWORD, int, int, UINT, UINT, const void*,
                                  const BITMAPINFO*, UINT);

// The variable that redirected `call [operand]` sites point at: it holds stretchBlit's address
// from process start.
extern const BlitFunction stretchBlitPointer;

// A drop-in for glViewport that covers the client area once its size is known.
void WINAPI clientViewport(int x, int y, int width, int height);

// The import library's thunk for SetDIBitsToDevice (`jmp [slot]`), whose operand is the address
// of the import slot that the presenter's `call [slot]` sites name.
extern "C" int WINAPI SetDIBitsToDevice_importThunk(
    HDC dc, int x, int y, DWORD width, DWORD height, int source_x, int source_y, UINT start_scan,
    UINT lines, const void* bits, const BITMAPINFO* info,
    UINT colour_use) __asm__("_SetDIBitsToDevice@48");

// Bytes scanned from the search start for a call operand (the last operand address is
// start + kCallSiteScanLength - 1).
constexpr uint32_t kCallSiteScanLength = 165536;

// Search mode (new_value non-null): from `address`, finds the first `call [slot]` whose operand
// is the slot that `import_thunk` jumps through, writes new_value over that operand and returns
// the operand's address; null when none is found. Restore mode (new_value null): writes the slot
// back over the operand at `address` and returns it; does nothing and returns null for a null
// address. Null also when `import_thunk` is not a `jmp [slot]`.
void* patchCallSite(const void* import_thunk, void* address, const void* new_value);

// Set-up's part of the redirections: the viewport always, the blit call sites when the active
// presenter is "GDI" and they are not redirected yet. Caller's thread, screen lock not held.
void redirectPresenter();

// Writes the import slot back over every redirected blit call site and forgets them.
void restoreBlitSites();

// Registers closeScaledWindow to run at process exit, once.
void registerScaledWindowExit();
