// The 8-bit dithered pixel mode, shared between the surface code and the dither code: receives
// the caller's palette choice and 5-6-5 rows; hands on the mode-2 tables and 8-bit index rows.
#pragma once
#include <cstdint>

#include "renderer/zbuffer.h"

// Ends the process with "zdither: not enough colors" when the palette cannot hold the cube.
void zditherCheckColors(int color_count);

// Writes the cube's colours into palette_out and zb->cube_colors, stores color_count and builds
// zb->dither_table from cube_to_palette (225 entries read). False when an allocation failed; what
// was allocated stays in zb for zbClose to free.
bool zditherOpen(ZBuffer* zb, int color_count, const uint8_t* cube_to_palette, int* palette_out);

// Converts the picture to palette indexes: row y starts at dest + y x line. Asserts that dest
// and line are even.
void zditherCopyOut(const ZBuffer* zb, uint8_t* dest, int line);
