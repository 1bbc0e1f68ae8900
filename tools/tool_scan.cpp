// Walks a recording's chunk stream through the player's own steps, with a sink that tells the
// caller instead of printing: receives the path template; hands parts, chunks, records and
// anomalies to the caller's handlers, the anomalies with their values in words.
#include "tools/tool_scan.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>

#include "player/chunk_loop.h"
#include "player/stream_records.h"

namespace {

struct Scan {
  const ScanHandlers* handlers = nullptr;
  ScanResult* result = nullptr;
};

// Up to two numbers put into a printf pattern of %lld fields.
std::string format(const char* pattern, long long a, long long b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

const char* zlibResultName(int result) {
  switch (result) {
    case Z_DATA_ERROR:
      return "data error";
    case Z_MEM_ERROR:
      return "out of memory";
    default:
      return "error";
  }
}

std::string recordDetail(const StreamAnomaly& anomaly) {
  const long long kind = anomaly.value;
  switch (anomaly.kind) {
    case AnomalyKind::kPoints:
      return format("kind %lld; the rest of the chunk is skipped", kind);
    case AnomalyKind::kBadKind:
      return format("kind %lld (Bad ID %lld); the rest of the chunk is skipped", kind,
                    anomaly.count);
    default: {
      const long long size = kind == kTriangleKind ? kTriangleRecordSize : kFrameMarkSize;
      return format("kind %lld needs %lld bytes, ", kind, size) +
             format("%lld left; the rest of the chunk is skipped", anomaly.count);
    }
  }
}

// The values involved and what the player does, in words.
std::string anomalyDetail(const StreamAnomaly& anomaly) {
  switch (anomaly.kind) {
    case AnomalyKind::kBadLength:
      return format("length field %lld (%lld of its 4 bytes present); playback ends", anomaly.value,
                    anomaly.count);
    case AnomalyKind::kOverflow:
      return format("length %lld is above %lld; the player exits", anomaly.value, kInputBufferSize);
    case AnomalyKind::kBrokenStream:
      return "part " + std::to_string(anomaly.value) + " (" + anomaly.part_name +
             ") cannot be opened; playback ends";
    case AnomalyKind::kBudgetOverrun:
      return format("chunk of %lld bytes with %lld present; not walked, playback ends",
                    anomaly.value, anomaly.count);
    case AnomalyKind::kOversizeChunk:
      return format("decompresses to more than %lld bytes; the walk covers %lld", kOutputBufferSize,
                    anomaly.count);
    case AnomalyKind::kDamagedChunk:
      return format("zlib result %lld (", anomaly.value) + zlibResultName(int(anomaly.value)) +
             format("); the %lld bytes written are walked", anomaly.count);
    default:
      return recordDetail(anomaly);
  }
}

void takePart(void* context, const StreamPart& part) {
  const Scan& scan = *static_cast<Scan*>(context);
  if (scan.handlers->part) scan.handlers->part(part);
}

void takeChunk(void* context, const StreamChunk& chunk) {
  const Scan& scan = *static_cast<Scan*>(context);
  if (scan.handlers->chunk) scan.handlers->chunk(chunk);
}

bool takeRecord(void* context, const StreamRecord& record) {
  const Scan& scan = *static_cast<Scan*>(context);
  if (!scan.handlers->record || scan.handlers->record(record)) return true;
  scan.result->end = ScanEnd::kStoppedEarly;
  return false;
}

void takeAnomaly(void* context, const StreamAnomaly& anomaly) {
  const Scan& scan = *static_cast<Scan*>(context);
  if (endsStream(anomaly.kind)) scan.result->end = ScanEnd::kAnomaly;
  if (!scan.handlers->anomaly) return;
  scan.handlers->anomaly(
      Anomaly{anomaly.kind, anomaly.chunk, anomaly.place, anomaly.record, anomalyDetail(anomaly)});
}

// Frame marks go on without pacing: the scan presents nothing and never waits.
PlaybackStep goOn(void*, float) { return PlaybackStep::kGoOn; }

}  // namespace

ScanResult scanRecording(const std::string& path_template, const ScanHandlers& handlers) {
  ScanResult result;
  Scan scan{&handlers, &result};
  StreamState stream;
  stream.path_template = path_template;
  stream.events = StreamEvents{takePart, takeChunk, takeRecord, takeAnomaly, &scan};
  result.open = openRecording(stream, &result.header);
  if (result.open != OpenRecordingResult::kOpened) return result;
  allocateChunkBuffers(stream);
  PlaybackState playback = startUnpacedPlayback({goOn, nullptr}, TriangleDrawing{});
  playChunks(stream, playback);
  closeRecording(stream);
  result.chunks = stream.chunk_index;
  result.frames = playback.frames_walked;
  result.next_part = stream.part_index + 1;
  result.bytes_consumed = stream.bytes_consumed;
  result.byte_budget = stream.byte_budget;
  return result;
}

const char* anomalyName(AnomalyKind kind) {
  switch (kind) {
    case AnomalyKind::kPoints:
      return "points";
    case AnomalyKind::kBadKind:
      return "bad-kind";
    case AnomalyKind::kCutOffRecord:
      return "cut-off-record";
    case AnomalyKind::kDamagedChunk:
      return "damaged-chunk";
    case AnomalyKind::kOversizeChunk:
      return "oversize-chunk";
    case AnomalyKind::kBadLength:
      return "bad-length";
    case AnomalyKind::kOverflow:
      return "overflow";
    case AnomalyKind::kBrokenStream:
      return "broken-stream";
    case AnomalyKind::kBudgetOverrun:
      return "budget-overrun";
  }
  return "unknown";
}

std::string floatText(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

std::string anomalyText(const Anomaly& anomaly) {
  std::string text = std::string(anomalyName(anomaly.kind)) +
                     format(" chunk %lld at part %lld", anomaly.chunk, anomaly.place.part) +
                     format(" offset %lld", anomaly.place.offset);
  if (anomaly.record >= 0) text += format(" record %lld", anomaly.record);
  return text + ": " + anomaly.detail;
}

std::string magicText(const char (&magic)[4]) {
  std::string text;
  for (char c : magic) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte < 127) {
      text += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      text += escaped;
    }
  }
  return text;
}

bool recordingOpened(const char* command, const std::string& path, const ScanResult& result) {
  const std::string part0 = partFileName(path, 0).name;
  if (result.open == OpenRecordingResult::kCannotOpen) {
    std::fprintf(stderr, "kestrune %s: cannot open %s\n", command, part0.c_str());
    return false;
  }
  if (result.open == OpenRecordingResult::kNotRecording) {
    std::fprintf(stderr, "kestrune %s: %s is not a Kestrune recording (magic \"%s\")\n", command,
                 part0.c_str(), magicText(result.header.magic).c_str());
    return false;
  }
  return true;
}
