// What the Windows screen window offers beyond the portable screen interface: the function
// pointers that the window module may redirect, and the last mouse position the window saw.
// Windows build only; the GDI presenter fills these in.
#pragma once
#include <windows.h>

// Renderer entry points that a presenter calls through a pointer, so that the window module can
// put its own function in their place. This build offers no "OpenGL" presenter, so gl_viewport
// stays null unless someone installs one; redirecting it is still a plain pointer swap.
struct OpenGlHooks {
  void(WINAPI* gl_viewport)(int x, int y, int width, int height) = nullptr;
};

// The process-wide hooks record. Written by the caller's thread, read by the presenter thread.
OpenGlHooks& openGlHooks();

// The mouse as the screen window last saw it: position in client pixels and the MK_* button
// bits of the last mouse message.
struct GdiMouse {
  int x = 0;
  int y = 0;
  int buttons = 0;
};

// Caller's thread; takes the screen lock. Zeros when no GDI window is open.
GdiMouse gdiMouse();
