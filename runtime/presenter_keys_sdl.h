// The SDL presenter's keys: receives SDL key events, scancodes and the keyboard state; hands on
// the PC set-1 scancodes the key-held flags go by and the key codes the key queue takes.
#pragma once
#include <SDL.h>

#include "runtime/screen_state.h"

// The set-1 scancode of the key SDL's scancode names, 0 when no held flag follows that key.
int sdlHeldScancode(SDL_Scancode scancode);

// The held flag of every set-1 scancode from SDL's keyboard state (SDL_GetKeyboardState).
void sdlHeldKeys(const Uint8* state, bool (&held)[kScancodes]);

// The key code a key-down posts, 0 when it posts none (its text arrives as SDL_TEXTINPUT, or
// it is a modifier). Control characters come from here because SDL sends no text for them.
int sdlKeyDownCode(const SDL_Keysym& key);

// Decodes UTF-8 text and posts each character that Latin-1 holds; others cannot be expressed
// in a one-byte key code and are dropped, as are malformed bytes.
void sdlPostText(const char* text);
