// What the headless presenter has shown: a copy of the window it would have had, kept in memory.
// Hands tests and tools the presented frame; the presenter itself lives in presenter_headless.cpp.
#pragma once
#include <cstdint>
#include <vector>

struct HeadlessFrame {
  std::vector<uint8_t> pixels;  // pitch * height bytes, rows top first, as last presented
  int presents = 0;             // present calls since the screen opened
  int first_row = -1;           // the span of the last present
  int last_row = -1;
};

// Copies what the headless presenter has presented into *frame (taking the presenter's lock);
// false, leaving *frame alone, when the open screen is not served by the headless presenter.
bool headlessPresented(HeadlessFrame* frame);
