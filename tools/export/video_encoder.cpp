// Encodes and muxes pictures with libavcodec and libavformat: 5-6-5 pictures converted to
// YUV 4:2:0, or widened exactly into 8-bit BGR0 for FFV1, encoded and interleaved into the
// container. Receives pictures and time stamps; hands on the written file.
#include "tools/export/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/platform.h"
#include "tools/export/yuv_convert.h"
#include "tools/tool_frame_files.h"  // widenPixel

struct VideoEncoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  std::vector<uint8_t> bgr0;  // the widened picture
  std::FILE* out = nullptr;
};

const char* const kPresetNames[10] = {"placebo", "veryslow", "slower",   "slow",      "medium",
                                      "fast",    "faster",   "veryfast", "superfast", "ultrafast"};

int presetIndex(const std::string& name) {
  for (int index = 0; index < 10; ++index) {
    if (name == kPresetNames[index]) return index;
  }
  return -1;
}

int highestCrf(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::kH264:
      return 51;
    case VideoCodec::kVp9:
      return 63;
    case VideoCodec::kFfv1:
      return 0;
  }
  return 0;
}

namespace {

std::string averror(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

const char* encoderName(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::kH264:
      return "libx264";
    case VideoCodec::kVp9:
      return "libvpx-vp9";
    case VideoCodec::kFfv1:
      return "ffv1";
  }
  return "";
}

AVPixelFormat pixelFormat(VideoCodec codec) {
  return codec == VideoCodec::kFfv1 ? AV_PIX_FMT_0RGB32 : AV_PIX_FMT_YUV420P;
}

// VP9's speed from the x264 preset names: libvpx's cpu-used, 0 slowest to 8 fastest; 6 when no
// preset is given, where x264's "veryfast" lies.
int vp9Speed(const std::string& preset) {
  const int index = presetIndex(preset);
  return index < 0 ? 6 : std::max(index - 1, 0);
}

void setCodecOptions(AVCodecContext* context, const VideoSettings& settings) {
  switch (settings.codec) {
    case VideoCodec::kH264:
      // ultrafast by default: on two cores the only preset that encodes 960x540 pictures that
      // change all over at four times real time; slower presets give smaller files.
      av_opt_set(context->priv_data, "preset",
                 settings.preset.empty() ? "ultrafast" : settings.preset.c_str(), 0);
      av_opt_set_int(context->priv_data, "crf", settings.crf < 0 ? 23 : settings.crf, 0);
      break;
    case VideoCodec::kVp9:
      av_opt_set_int(context->priv_data, "crf", settings.crf < 0 ? 32 : settings.crf, 0);
      av_opt_set(context->priv_data, "deadline", "good", 0);
      av_opt_set_int(context->priv_data, "cpu-used", vp9Speed(settings.preset), 0);
      av_opt_set_int(context->priv_data, "row-mt", 1, 0);
      context->bit_rate = 0;  // constant quality: the crf alone decides
      break;
    case VideoCodec::kFfv1:
      context->level = 3;  // version 3 codes slices, so that every thread has work
      av_opt_set_int(context->priv_data, "slicecrc", 1, 0);
      break;
  }
}

bool openCodec(VideoEncoder& encoder, const VideoSettings& settings, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(encoderName(settings.codec));
  if (codec == nullptr) {
    *error = std::string("the installed FFmpeg libraries have no ") + encoderName(settings.codec) +
             " encoder";
    return false;
  }
  AVCodecContext* context = encoder.codec = avcodec_alloc_context3(codec);
  context->width = settings.width;
  context->height = settings.height;
  context->time_base = AVRational{1, settings.time_base};
  context->framerate = AVRational{settings.frame_rate, 1};
  context->pix_fmt = pixelFormat(settings.codec);
  context->thread_count = settings.threads;
  if (settings.codec != VideoCodec::kFfv1) {  // BT.601, limited range: what players assume
    context->colorspace = AVCOL_SPC_SMPTE170M;
    context->color_primaries = AVCOL_PRI_SMPTE170M;
    context->color_trc = AVCOL_TRC_SMPTE170M;
    context->color_range = AVCOL_RANGE_MPEG;
  }
  if (encoder.format->oformat->flags & AVFMT_GLOBALHEADER) {
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  setCodecOptions(context, settings);
  const int opened = avcodec_open2(context, codec, nullptr);
  if (opened < 0) {
    *error = std::string("cannot open the ") + encoderName(settings.codec) +
             " encoder: " + averror(opened);
    return false;
  }
  return true;
}

// The container's bytes go to the caller's file through these, so that the caller alone names,
// checks and moves the file.
int writeBytes(void* opaque, uint8_t* bytes, int size) {
  auto* file = static_cast<std::FILE*>(opaque);
  if (std::fwrite(bytes, 1, size_t(size), file) != size_t(size)) return AVERROR(EIO);
  return size;
}

int64_t seekBytes(void* opaque, int64_t offset, int whence) {
  auto* file = static_cast<std::FILE*>(opaque);
  if (whence & AVSEEK_SIZE) return -1;  // not known ahead; the muxers do without
  if ((whence & ~AVSEEK_FORCE) == SEEK_CUR) offset += tellFile(file);
  if ((whence & ~AVSEEK_FORCE) == SEEK_END) return -1;
  return seekFile(file, offset) == 0 ? offset : -1;
}

constexpr int kIoBufferSize = 1 << 16;

bool openStream(VideoEncoder& encoder, std::string* error) {
  encoder.stream = avformat_new_stream(encoder.format, nullptr);
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (encoder.stream == nullptr || buffer == nullptr) {
    av_free(buffer);
    *error = "no memory for the video stream";
    return false;
  }
  avcodec_parameters_from_context(encoder.stream->codecpar, encoder.codec);
  encoder.stream->time_base = encoder.codec->time_base;
  encoder.format->pb =
      avio_alloc_context(buffer, kIoBufferSize, 1, encoder.out, nullptr, writeBytes, seekBytes);
  if (encoder.format->pb == nullptr) {
    av_free(buffer);
    *error = "no memory for the video stream";
    return false;
  }
  const int written = avformat_write_header(encoder.format, nullptr);
  if (written < 0) {
    *error = "cannot write the video: " + averror(written);
    return false;
  }
  return true;
}

bool allocatePictures(VideoEncoder& encoder, const VideoSettings& settings, std::string* error) {
  encoder.frame = av_frame_alloc();
  encoder.packet = av_packet_alloc();
  if (settings.codec == VideoCodec::kFfv1) {
    encoder.bgr0.resize(size_t(settings.width) * size_t(settings.height) * 4);
  }
  if (encoder.frame == nullptr || encoder.packet == nullptr) {
    *error = "no memory for the video frames";
    return false;
  }
  encoder.frame->format = encoder.codec->pix_fmt;
  encoder.frame->width = settings.width;
  encoder.frame->height = settings.height;
  if (av_frame_get_buffer(encoder.frame, 0) < 0) {
    *error = "no memory for the video frames";
    return false;
  }
  return true;
}

// 5-6-5 to 8-bit B, G, R, 0 in memory order (FFmpeg's 0RGB32 on a little-endian machine), each
// channel's top bits repeated into its low ones; one table entry per 5-6-5 value.
const uint32_t* widenedPixels() {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> values(65536);
    for (uint32_t p = 0; p < 65536; ++p) {
      const Rgb8 c = widenPixel(Pixel565(p));
      values[p] = uint32_t(c.blue) | uint32_t(c.green) << 8 | uint32_t(c.red) << 16;
    }
    return values;
  }();
  return table.data();
}

void widen(const Pixel565* pixels, size_t count, uint8_t* out) {
  const uint32_t* widened = widenedPixels();
  for (size_t i = 0; i < count; ++i) std::memcpy(out + 4 * i, &widened[pixels[i]], 4);
}

// YUV codecs: 4:2:0 planes from the 5-6-5 pixels. FFV1 (RGB): each pixel widened exactly.
void fillFrame(VideoEncoder& encoder, const Pixel565* pixels) {
  AVFrame* frame = encoder.frame;
  const int width = frame->width, height = frame->height;
  if (frame->format == AV_PIX_FMT_YUV420P) {
    convertToYuv420(pixels, width, height,
                    YuvPlanes{frame->data[0], frame->data[1], frame->data[2], frame->linesize[0],
                              frame->linesize[1], frame->linesize[2]});
    return;
  }
  widen(pixels, size_t(width) * size_t(height), encoder.bgr0.data());
  av_image_copy_plane(frame->data[0], frame->linesize[0], encoder.bgr0.data(), 4 * width, 4 * width,
                      height);
}

// Writes every packet the encoder has ready.
bool drainPackets(VideoEncoder& encoder, std::string* error) {
  for (;;) {
    const int received = avcodec_receive_packet(encoder.codec, encoder.packet);
    if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
    if (received < 0) {
      *error = "encoding failed: " + averror(received);
      return false;
    }
    av_packet_rescale_ts(encoder.packet, encoder.codec->time_base, encoder.stream->time_base);
    encoder.packet->stream_index = encoder.stream->index;
    const int written = av_interleaved_write_frame(encoder.format, encoder.packet);
    if (written < 0) {
      *error = "cannot write the video: " + averror(written);
      return false;
    }
  }
}

}  // namespace

VideoEncoder* openVideoEncoder(std::FILE* out, const VideoSettings& settings, std::string* error) {
  av_log_set_level(AV_LOG_ERROR);  // the encoders' own reports are not the tool's
  auto* encoder = new VideoEncoder;
  encoder->out = out;
  avformat_alloc_output_context2(&encoder->format, nullptr, settings.container.c_str(), nullptr);
  if (encoder->format == nullptr) {
    *error = "the installed FFmpeg libraries cannot write " + settings.container + " files";
  } else if (openCodec(*encoder, settings, error) && openStream(*encoder, error) &&
             allocatePictures(*encoder, settings, error)) {
    return encoder;
  }
  closeVideoEncoder(encoder);
  return nullptr;
}

bool encodePicture(VideoEncoder& encoder, const Pixel565* pixels, int64_t pts, std::string* error) {
  if (av_frame_make_writable(encoder.frame) < 0) {
    *error = "no memory for the video frames";
    return false;
  }
  fillFrame(encoder, pixels);
  encoder.frame->pts = pts;
  const int sent = avcodec_send_frame(encoder.codec, encoder.frame);
  if (sent < 0) {
    *error = "encoding failed: " + averror(sent);
    return false;
  }
  return drainPackets(encoder, error);
}

bool finishVideo(VideoEncoder& encoder, std::string* error) {
  const int sent = avcodec_send_frame(encoder.codec, nullptr);
  if (sent < 0 && sent != AVERROR_EOF) {
    *error = "encoding failed: " + averror(sent);
    return false;
  }
  if (!drainPackets(encoder, error)) return false;
  const int trailer = av_write_trailer(encoder.format);
  avio_flush(encoder.format->pb);
  const int io_error = encoder.format->pb->error;
  const int failed = trailer < 0 ? trailer : io_error;
  if (failed < 0) {
    *error = "cannot write the video: " + averror(failed);
    return false;
  }
  return true;
}

void closeVideoEncoder(VideoEncoder* encoder) {
  if (encoder == nullptr) return;
  if (encoder->format != nullptr && encoder->format->pb != nullptr) {
    av_freep(&encoder->format->pb->buffer);  // ours, possibly replaced by a larger one
    avio_context_free(&encoder->format->pb);
  }
  avformat_free_context(encoder->format);
  avcodec_free_context(&encoder->codec);
  av_frame_free(&encoder->frame);
  av_packet_free(&encoder->packet);
  delete encoder;
}
