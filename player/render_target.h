// Where the player draws and shows frames: the screen window at half the desktop's size.
// Receives the desktop's size from the screen service; hands on an open screen.
#pragma once

// Opens the screen at half the desktop's width and height, 16 bits per pixel. On failure prints
// a message and returns false; the caller waits for a key and ends the program.
bool openRenderTarget();

// Shows the frame drawn so far in the window. Called at every frame mark that is not dropped.
void presentFrame();
