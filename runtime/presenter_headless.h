// What the headless presenter has shown: a copy of the window it would have had, kept in memory.
// Hands tests and tools the presented frame; the presenter itself lives in presenter_headless.cpp.
// KESTRUNE_FRAME_DUMP=DIR makes it also write every whole presented frame to DIR/frame_NNNNNN.raw
// (setFrameDumpFolder overrides the variable).
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

// Whether the next headless screen makes standard input the keyboard (the default). A tool that
// opens a screen only for the image services turns this off, so its terminal is left alone.
void setHeadlessStdinKeyboard(bool enabled);

// The file name of dumped frame `index`: "frame_" and the index in six or more digits, ".raw".
// Each file holds width x height little-endian 16-bit pixels, rows top first.
const char* headlessDumpName(int index, char (&name)[32]);
