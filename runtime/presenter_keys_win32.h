// The GDI presenter's keys: receives the window's key messages; hands on key-held flags by
// scancode and the key codes of keys that type no character to the key queue.
#pragma once
#include <windows.h>

// Presenter thread, as the message is taken from the queue and before it is dispatched. The
// key-held flags follow the key messages: down and system-down set a key's flag, up and system-up
// clear it. A key pressed and released between two looks of the player is then still seen (the
// flag went up), and no key goes unseen because the keyboard state was read before its message
// arrived.
void followKeyMessage(const MSG& message);

// The key-ups of keys held now will go to another window (or nowhere): release them all.
void releaseHeldKeys();

// A key that types no character is queued as 255 with its scancode in the high byte, the PC's
// extended key codes: F1 is 255 ";" (59), Up 255 "H" (72), Delete 255 "S" (83). Keys that type a
// character arrive as WM_CHAR instead; modifier and lock keys queue nothing.
void postKeyWithoutCharacter(WPARAM virtual_key, LPARAM lparam);
