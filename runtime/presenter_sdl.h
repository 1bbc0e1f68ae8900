// The "SDL" presenter's seams for the native window module: what the presenter thread made for
// the window, an event hook the module can take over (as a window procedure is subclassed), and
// the steps of the default present routine, so that a redirected present can reuse them.
#pragma once
#include <cstdint>

#include "runtime/screen_state.h"

union SDL_Event;
struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

// The SDL objects behind the open screen. Owned by the presenter thread; use them only on that
// thread (from an event hook or a present routine) while the screen is open.
struct SdlWindowParts {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;  // the frame buffer's copy, screen width x height
};

// Sees every event the presenter thread polls, before the presenter's own handling. The
// presenter's lock is not held: a hook takes it while it reads or changes screen state, and
// never across window-system calls that may wait. Returns true when it consumed the event;
// false lets the presenter handle it as usual (sdlDefaultEvent).
using SdlEventHook = bool (*)(ScreenState& screen, const SDL_Event& event);

// Any thread. Installs the hook (null removes it) and returns the one it replaces, so that a
// module can chain to it; the next polled event goes to the new hook.
SdlEventHook setSdlEventHook(SdlEventHook hook);

// Any thread. SDL window flags (SDL_WindowFlags bits) that the next window the presenter creates
// gets added and removed; used once, then forgotten. This is how a window can be made to start
// hidden or resizable, as a creation hook edits a window's style.
void setSdlCreationFlags(uint32_t add, uint32_t remove);

// Presenter thread, lock not held (the key queue takes it itself). The presenter's own handling of
// an event: the close button posts the close key, keys and text feed the key queue, exposure
// redraws, Alt+Enter toggles full screen (unless the screen was opened with kScreenNoToggle), and
// mouse buttons, motion and the wheel feed the mouse queue, clamped to the screen. Mouse
// positions are window positions while the presenter's own present routine (sdlPresentRows)
// draws the picture, mapped through the rectangle it fills; a module that redirects the present
// routine draws the picture itself and hands mouse events on in screen pixels.
void sdlDefaultEvent(ScreenState& screen, const SDL_Event& event);

// Presenter thread. The SDL objects of the open screen; all null when the SDL presenter is not
// the one serving the screen.
SdlWindowParts sdlWindowParts(ScreenState& screen);

// Presenter thread. Copies rows first..last of the frame buffer into the texture (rows are
// clamped to the screen; an empty span does nothing): out of the frame buffer under the
// presenter's lock, which it takes itself, and into the texture without it.
void sdlUploadRows(ScreenState& screen, int first_row, int last_row);

// Presenter thread. Draws the whole texture to the window, scaled to the window's size with its
// aspect kept and black bars around it, and shows it.
void sdlRenderPicture(ScreenState& screen);

// The presenter's present routine, the initial value of screen.present: sdlUploadRows and then
// sdlRenderPicture, the lock held only while the rows are copied out. Called from any other
// thread it only marks the rows changed (under the lock), and the presenter thread shows them on
// its next turn, because SDL may be used by one thread only.
void sdlPresentRows(ScreenState& screen, int first_row, int last_row);
