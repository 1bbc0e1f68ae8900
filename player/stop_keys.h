// The keys that stop playback: Escape held or pressed since the last look, or the window's close
// button in the key queue. Receives key state; hands on whether playback should stop.
#pragma once
#include <string>

// One look at the keyboard through the given services: true when Escape is held or went down
// since the previous look (a quick tap between two looks counts), or the next queued key is the
// close key (255, "k"). Takes at most one key from the queue; any other key is dropped.
bool stopKeyLooked(int (*key_down)(int scancode), std::string (*read_key)());

// The same look through the runtime's keyboard.
bool stopKeyPressed();
