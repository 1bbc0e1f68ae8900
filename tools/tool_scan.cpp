// Walks a recording's chunk stream with the player's rules but without its messages: receives the
// path template; hands parts, chunks, records and anomalies to the caller's handlers. Where the
// player's own steps print (reading across parts, the record walk) they are followed here step
// by step; the quiet ones (opening, the budget, the written length) are the player's own.
#include "tools/tool_scan.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "player/stream_records.h"
#include "runtime/files.h"

namespace {

struct Scan {
  StreamState stream;
  const ScanHandlers* handlers = nullptr;
  ScanResult* result = nullptr;
  int64_t part_offset = 0;  // the next byte to read in the open part
  FilePlace chunk_place;    // where the current chunk's length field begins
  int64_t frame = 0;
};

// A part was opened, or tried (length -1): reading starts at its first byte, and the handler
// hears of it.
void enterPart(Scan& scan, int64_t length) {
  scan.part_offset = 0;
  if (!scan.handlers->part) return;
  const int32_t index = scan.stream.part_index;
  scan.handlers->part(ScanPart{index, partFileName(scan.stream.path_template, index).name, length});
}

void reportAnomaly(Scan& scan, AnomalyKind kind, int64_t record, const std::string& detail) {
  if (!scan.handlers->anomaly) return;
  scan.handlers->anomaly(Anomaly{kind, scan.result->chunks, scan.chunk_place, record, detail});
}

// Stream anomalies end the scan.
bool endWith(Scan& scan, AnomalyKind kind, const std::string& detail) {
  reportAnomaly(scan, kind, -1, detail);
  scan.result->end = ScanEnd::kAnomaly;
  return false;
}

// Up to two numbers put into a printf pattern of %lld fields.
std::string format(const char* pattern, long long a, long long b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

// The player's streamHasMore, noting the part it opens (quietly) at the exact end of a part.
bool hasMore(Scan& scan) {
  const int32_t part_before = scan.stream.part_index;
  const bool more = streamHasMore(scan.stream);
  if (scan.stream.part_index != part_before) enterPart(scan, fileLength(scan.stream.file));
  return more;
}

// The next part under the same file number; a part shorter than part 0 is the last one.
bool openNextPart(Scan& scan) {
  StreamState& stream = scan.stream;
  closeFile(stream.file);
  stream.part_index += 1;
  const PartName part = partFileName(stream.path_template, stream.part_index);
  if (openForReading(part.name.c_str(), stream.file) != 0) {
    enterPart(scan, -1);
    return false;
  }
  const int64_t length = std::max<int64_t>(fileLength(stream.file), 0);
  if (length < stream.first_part_length) stream.has_parts = false;
  stream.byte_budget += length;
  enterPart(scan, length);
  return true;
}

// Reads `size` bytes, going on at the start of further parts while bytes are missing and another
// part may follow. False, after the broken-stream anomaly, when such a part cannot be opened.
bool readAcrossParts(Scan& scan, uint8_t* buffer, int32_t size, int32_t* got) {
  *got = 0;
  readAt(scan.stream.file, 0, buffer, size, got);
  scan.part_offset += *got;
  while (*got < size && scan.stream.has_parts) {
    if (!openNextPart(scan)) {
      const std::string name = partFileName(scan.stream.path_template, scan.stream.part_index).name;
      return endWith(scan, AnomalyKind::kBrokenStream,
                     format("part %lld (", scan.stream.part_index) + name +
                         ") cannot be opened; playback ends");
    }
    int32_t more = 0;
    readAt(scan.stream.file, 1, buffer + *got, size - *got, &more);
    scan.part_offset += more;
    *got += more;
  }
  return true;
}

// The length field: bytes that are not there stay 255, so a field cut short is negative.
bool readLength(Scan& scan, int32_t* length) {
  uint8_t field[4] = {255, 255, 255, 255};
  int32_t got = 0;
  if (!readAcrossParts(scan, field, 4, &got)) return false;
  *length = static_cast<int32_t>(readUint32(field));
  if (*length < 0) {
    return endWith(
        scan, AnomalyKind::kBadLength,
        format("length field %lld (%lld of its 4 bytes present); playback ends", *length, got));
  }
  if (*length > kInputBufferSize) {
    return endWith(
        scan, AnomalyKind::kOverflow,
        format("length %lld is above %lld; the player exits", *length, kInputBufferSize));
  }
  return true;
}

// The player's decompressChunk, keeping zlib's result code for the report.
int decompress(StreamState& stream, int32_t input_length) {
  uLongf reported = static_cast<uLongf>(stream.output.size());
  const int result = uncompress(stream.output.data(), &reported, stream.input.data(),
                                static_cast<uLong>(input_length));
  stream.decompressed_length =
      writtenLength(result, reported, static_cast<int64_t>(stream.output.size()));
  return result;
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

// A full output buffer has its own anomaly: the data may be sound, only too long.
void reportZlibTrouble(Scan& scan, int result) {
  const long long written = scan.stream.decompressed_length;
  if (result == Z_OK) return;
  if (result == Z_BUF_ERROR) {
    reportAnomaly(scan, AnomalyKind::kOversizeChunk, -1,
                  format("decompresses to more than %lld bytes; the walk covers %lld",
                         kOutputBufferSize, written));
    return;
  }
  reportAnomaly(scan, AnomalyKind::kDamagedChunk, -1,
                format("zlib result %lld (", result) + zlibResultName(result) +
                    format("); the %lld bytes written are walked", written));
}

RecordClass classify(const uint8_t* record, int64_t bytes_left) {
  switch (record[0]) {
    case kFrameMarkKind:
      return bytes_left < kFrameMarkSize ? RecordClass::kCutOff : RecordClass::kFrameMark;
    case kTriangleKind:
      return bytes_left < kTriangleRecordSize ? RecordClass::kCutOff : RecordClass::kTriangle;
    case kPointKindA:
    case kPointKindB:
      return RecordClass::kPoints;
    default:
      return RecordClass::kBadKind;
  }
}

// The anomaly of a record the walk cannot step over.
void reportStuckRecord(Scan& scan, const ScanRecord& record) {
  const long long kind = record.bytes[0];
  switch (record.what) {
    case RecordClass::kPoints:
      reportAnomaly(scan, AnomalyKind::kPoints, record.offset,
                    format("kind %lld; the rest of the chunk is skipped", kind));
      return;
    case RecordClass::kBadKind: {
      // The player shows the first two bytes as one number; a second byte beyond the data is 0.
      const long long next = record.bytes_left > 1 ? record.bytes[1] : 0;
      reportAnomaly(scan, AnomalyKind::kBadKind, record.offset,
                    format("kind %lld (Bad ID %lld); the rest of the chunk is skipped", kind,
                           kind + 256 * next));
      return;
    }
    default: {
      const long long size = kind == kTriangleKind ? kTriangleRecordSize : kFrameMarkSize;
      reportAnomaly(scan, AnomalyKind::kCutOffRecord, record.offset,
                    format("kind %lld needs %lld bytes, ", kind, size) +
                        format("%lld left; the rest of the chunk is skipped", record.bytes_left));
      return;
    }
  }
}

// The player's record walk. False when a handler asked to stop.
bool walkRecords(Scan& scan) {
  const uint8_t* data = scan.stream.output.data();
  const int64_t length = scan.stream.decompressed_length;
  int64_t offset = 0;
  while (offset < length) {
    ScanRecord record;
    record.chunk = scan.result->chunks;
    record.offset = offset;
    record.frame = scan.frame;
    record.bytes = data + offset;
    record.bytes_left = length - offset;
    record.what = classify(record.bytes, record.bytes_left);
    if (scan.handlers->record && !scan.handlers->record(record)) return false;
    if (record.what == RecordClass::kTriangle) {
      offset += kTriangleRecordSize;
    } else if (record.what == RecordClass::kFrameMark) {
      offset += kFrameMarkSize;
      scan.frame += 1;
    } else {
      reportStuckRecord(scan, record);
      return true;
    }
  }
  return true;
}

// One pass of the player's chunk loop: length, data across parts, decompress, budget, walk.
// False when the scan ends.
bool scanChunk(Scan& scan) {
  StreamState& stream = scan.stream;
  scan.chunk_place = FilePlace{stream.part_index, scan.part_offset};
  int32_t length = 0;
  if (!readLength(scan, &length)) return false;
  int32_t got = 0;
  if (!readAcrossParts(scan, stream.input.data(), length, &got)) return false;
  const int result = decompress(stream, got);
  if (!chunkWithinBudget(stream, length)) {
    return endWith(
        scan, AnomalyKind::kBudgetOverrun,
        format("chunk of %lld bytes with %lld present; not walked, playback ends", length, got));
  }
  if (scan.handlers->chunk) {
    scan.handlers->chunk(ScanChunk{scan.result->chunks, scan.chunk_place, length,
                                   stream.decompressed_length, result});
  }
  reportZlibTrouble(scan, result);
  const bool go_on = walkRecords(scan);
  scan.result->chunks += 1;
  scan.result->frames = scan.frame;
  if (!go_on) scan.result->end = ScanEnd::kStoppedEarly;
  return go_on;
}

}  // namespace

ScanResult scanRecording(const std::string& path_template, const ScanHandlers& handlers) {
  ScanResult result;
  Scan scan;
  scan.handlers = &handlers;
  scan.result = &result;
  scan.stream.path_template = path_template;
  result.open = openRecording(scan.stream, &result.header);
  if (result.open != OpenRecordingResult::kCannotOpen) {
    enterPart(scan, scan.stream.first_part_length);
  }
  if (result.open != OpenRecordingResult::kOpened) return result;
  scan.part_offset = std::min<int64_t>(scan.stream.first_part_length, kRecordingHeaderSize);
  allocateChunkBuffers(scan.stream);
  while (hasMore(scan) && scanChunk(scan)) {
  }
  closeFile(scan.stream.file);
  result.frames = scan.frame;
  result.next_part = scan.stream.part_index + 1;
  result.bytes_consumed = scan.stream.bytes_consumed;
  result.byte_budget = scan.stream.byte_budget;
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
