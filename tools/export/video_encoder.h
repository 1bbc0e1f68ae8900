// Video files through FFmpeg's libraries: a container (MP4, Matroska, WebM) holding one video
// stream encoded with libx264, libvpx's VP9 or FFV1. Receives 5-6-5 pictures with their time
// stamps; hands on an encoded, muxed file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "renderer/zbuffer.h"  // Pixel565

enum class VideoCodec { kH264, kVp9, kFfv1 };

struct VideoSettings {
  std::string container;  // FFmpeg's muxer name: "mp4", "matroska" or "webm"
  VideoCodec codec = VideoCodec::kH264;
  int width = 0;
  int height = 0;
  int time_base = 30;   // time stamps count 1/time_base seconds
  int frame_rate = 30;  // the nominal rate, for the encoder's rate control
  int crf = -1;         // below 0: the codec's default here (H.264 23, VP9 32)
  std::string preset;   // one of kPresetNames; empty: the codec's default (see setCodecOptions)
  int threads = 1;
};

// x264's preset names, slowest first; VP9 takes them as libvpx speeds (see vp9Speed).
extern const char* const kPresetNames[10];

// The place of `name` in kPresetNames, or -1 when it is none of them.
int presetIndex(const std::string& name);

// The highest crf the codec takes (H.264 51, VP9 63; FFV1 has none and gives 0).
int highestCrf(VideoCodec codec);

struct VideoEncoder;

// Prepares the encoder and writes the container's header to `out` (a file open for binary
// writing, which must be able to seek for MP4; the caller closes it after closeVideoEncoder).
// Null with a message in *error: a codec the installed libraries lack, a failed write.
VideoEncoder* openVideoEncoder(std::FILE* out, const VideoSettings& settings, std::string* error);

// Encodes one picture of width x height pixels shown from `pts` (in 1/time_base seconds). For
// FFV1 each 5-6-5 channel is widened by repeating its top bits, as the PNG output does; the YUV
// codecs take the BT.601 4:2:0 conversion of those widened values. False with a message in *error
// when encoding or writing failed.
bool encodePicture(VideoEncoder& encoder, const Pixel565* pixels, int64_t pts, std::string* error);

// Drains the encoder, writes the container's trailer and flushes it to the file; false with a
// message when any of it failed (a full disk shows here at the latest).
bool finishVideo(VideoEncoder& encoder, std::string* error);

// Frees everything (after finishVideo, or instead of it when giving up).
void closeVideoEncoder(VideoEncoder* encoder);
