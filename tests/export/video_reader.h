// Reads a video file back with FFmpeg's libraries for the export tests. Receives a path; hands on
// the stream's size, time stamps and every frame as 8-bit RGB.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DecodedVideo {
  bool ok = false;
  std::string codec;  // libavcodec's name: "h264", "vp9", "ffv1"
  int width = 0;
  int height = 0;
  double duration = 0;        // seconds, from the container
  std::vector<double> times;  // each frame's time stamp, seconds
  // Each frame: 4:2:0 videos as their Y, U and V planes one after the other, unpadded; other
  // videos as 8-bit RGB, width x height x 3 bytes.
  std::vector<std::vector<uint8_t>> pictures;
};

// With `rgb`, 4:2:0 frames too come as RGB (converted as a player shows them).
DecodedVideo decodeVideo(const std::string& path, bool rgb = false);

// 8-bit RGB of 5-6-5 pixels, each channel's top bits repeated into its low ones.
std::vector<uint8_t> widenedRgb(const std::string& raw_565);

// An RGB picture in YUV 4:2:0 planes as the exporter converts it (BT.601, limited range), for
// comparing with a decoded 4:2:0 frame.
std::vector<uint8_t> yuv420FromRgb(const std::vector<uint8_t>& rgb, int width, int height);

// Peak signal-to-noise ratio of two pictures of the same layout, over all their samples as
// video tools average it, in dB (1000 when equal).
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
