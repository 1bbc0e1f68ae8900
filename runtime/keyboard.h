// The key queue and the key-held flags, fed by the presenter thread (window keys) and by the
// standard-input keyboard; read by the caller's thread. Everything here takes the presenter's lock.
#pragma once
#include <string>

// Key code posted when the window's close button is pressed: 255 with "k" (107) above it.
constexpr int kCloseKeyCode = 0x6BFF;
constexpr int kEscapeScancode = 1;

// Posts a key code into the ring of 16 (dropping the oldest when full) and sets the key-event flag.
// A code below 256 is a character; a larger code is 255 plus an extended code in its high byte.
void postKey(int code);

// Takes the oldest key: "" when the queue is empty, one character for a code below 256, else the
// two characters 255 and the code's high byte.
std::string readKey();

// -1 while the key with this scancode (0..127; Escape is 1) is held, else 0.
int keyHeld(int scancode);

// -1 while the key is held or when it went down since the last call for it, else 0. A press
// and release that both fall between two calls still count once: a quick tap is not lost.
int keyDownSinceLastLook(int scancode);

// Sets or clears a key-held flag; used by presenters and the standard-input keyboard. A key that
// goes from released to held is also remembered for keyDownSinceLastLook.
void setKeyHeld(int scancode, bool held);

// Reads and clears the key-event flag.
bool takeKeyEvent();

// True when no source of keys is left: standard input has ended and no window gives keys.
// Waits for a key return at once then, instead of hanging.
bool keyboardClosed();

// Starts reading standard input as the keyboard, once per process (later calls do nothing).
// Each byte is a key press; 255 followed by b is the extended key b; byte 27 also holds Escape
// for about 300 ms; 255 followed by 254 starts a mouse event (stdin_keyboard.h). On a terminal,
// input is read raw.
void startStdinKeyboard();
