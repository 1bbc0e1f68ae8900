// 5-6-5 pictures to planar YUV 4:2:0 (BT.601, limited range), for the video encoders. Each
// channel is first widened by repeating its top bits, as the PNG output does; luma is per pixel,
// chroma the rounded mean of each 2x2 block. Receives a picture; hands on the three planes.
#pragma once

#include <cstdint>

#include "renderer/zbuffer.h"  // Pixel565

struct YuvPlanes {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
  int y_pitch, u_pitch, v_pitch;  // bytes from one row to the next
};

// Width and height even; `pixels` holds height rows of width pixels, row 0 first.
void convertToYuv420(const Pixel565* pixels, int width, int height, const YuvPlanes& out);
