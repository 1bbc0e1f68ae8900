// Decodes every frame of a video with libavformat and libavcodec and converts it to RGB24 with
// libswscale, with the colour matrix the encoder's side used (BT.601, limited range).
#include "tests/export/video_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>

namespace {

struct Decoding {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwsContext* convert = nullptr;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  int stream = -1;
  ~Decoding() {
    sws_freeContext(convert);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

bool openDecoding(const std::string& path, Decoding& d, DecodedVideo& video) {
  if (avformat_open_input(&d.format, path.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(d.format, nullptr) < 0) return false;
  const AVCodec* codec = nullptr;
  d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (d.stream < 0) return false;
  d.codec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(d.codec, d.format->streams[d.stream]->codecpar);
  if (avcodec_open2(d.codec, codec, nullptr) < 0) return false;
  video.codec = codec->name;
  video.width = d.codec->width;
  video.height = d.codec->height;
  video.duration = double(d.format->duration) / AV_TIME_BASE;
  return true;
}

std::vector<uint8_t> planesOf(const AVFrame* frame) {
  std::vector<uint8_t> planes;
  for (int plane = 0; plane < 3; ++plane) {
    const int width = plane == 0 ? frame->width : (frame->width + 1) / 2;
    const int height = plane == 0 ? frame->height : (frame->height + 1) / 2;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = frame->data[plane] + ptrdiff_t(y) * frame->linesize[plane];
      planes.insert(planes.end(), row, row + width);
    }
  }
  return planes;
}

void takeFrames(Decoding& d, DecodedVideo& video, bool rgb_wanted) {
  const AVRational base = d.format->streams[d.stream]->time_base;
  while (avcodec_receive_frame(d.codec, d.frame) == 0) {
    video.times.push_back(double(d.frame->best_effort_timestamp) * av_q2d(base));
    if (d.frame->format == AV_PIX_FMT_YUV420P && !rgb_wanted) {
      video.pictures.push_back(planesOf(d.frame));
      continue;
    }
    if (d.convert == nullptr) {
      d.convert = sws_getContext(video.width, video.height, AVPixelFormat(d.frame->format),
                                 video.width, video.height, AV_PIX_FMT_RGB24,
                                 SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                 nullptr, nullptr);
    }
    std::vector<uint8_t> rgb(size_t(video.width) * size_t(video.height) * 3);
    uint8_t* planes[1] = {rgb.data()};
    const int pitches[1] = {3 * video.width};
    sws_scale(d.convert, d.frame->data, d.frame->linesize, 0, video.height, planes, pitches);
    video.pictures.push_back(std::move(rgb));
  }
}

}  // namespace

DecodedVideo decodeVideo(const std::string& path, bool rgb) {
  DecodedVideo video;
  Decoding d;
  if (!openDecoding(path, d, video)) return video;
  while (av_read_frame(d.format, d.packet) >= 0) {
    if (d.packet->stream_index == d.stream) avcodec_send_packet(d.codec, d.packet);
    av_packet_unref(d.packet);
    takeFrames(d, video, rgb);
  }
  avcodec_send_packet(d.codec, nullptr);
  takeFrames(d, video, rgb);
  video.ok = true;
  return video;
}

std::vector<uint8_t> widenedRgb(const std::string& raw_565) {
  std::vector<uint8_t> rgb;
  for (size_t i = 0; i + 1 < raw_565.size(); i += 2) {
    const unsigned p = uint8_t(raw_565[i]) | uint8_t(raw_565[i + 1]) << 8;
    const unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    rgb.insert(rgb.end(),
               {uint8_t(r << 3 | r >> 2), uint8_t(g << 2 | g >> 4), uint8_t(b << 3 | b >> 2)});
  }
  return rgb;
}

std::vector<uint8_t> yuv420FromRgb(const std::vector<uint8_t>& rgb, int width, int height) {
  SwsContext* convert = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height,
                                       AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  AVFrame* frame = av_frame_alloc();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  av_frame_get_buffer(frame, 0);
  const uint8_t* source[1] = {rgb.data()};
  const int pitches[1] = {3 * width};
  sws_scale(convert, source, pitches, 0, height, frame->data, frame->linesize);
  std::vector<uint8_t> planes = planesOf(frame);
  av_frame_free(&frame);
  sws_freeContext(convert);
  return planes;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double squares = 0;
  for (size_t i = 0; i < a.size(); ++i) squares += double(a[i] - b[i]) * double(a[i] - b[i]);
  if (squares == 0) return 1000;
  return 10 * std::log10(255.0 * 255.0 * double(a.size()) / squares);
}
