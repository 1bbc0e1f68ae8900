// Reads a recording the way the player plays it, without drawing, pacing or printing: part files,
// chunks and records in stream order. Receives the path template and handlers; hands each part,
// chunk, record and anomaly to the handlers, with their places in the files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "player/recording_stream.h"

// A byte in the recording's files: the part file's index and the offset from its first byte.
struct FilePlace {
  int32_t part = 0;
  int64_t offset = 0;
};

// A part file the player opens (or tries to), in the order it does.
struct ScanPart {
  int32_t index = 0;
  std::string name;
  int64_t length = -1;  // -1 when the part cannot be opened
};

// A chunk that was read whole; its records are walked next.
struct ScanChunk {
  int64_t index = 0;     // chunks counted from 0 in stream order
  FilePlace place;       // where its length field begins
  int32_t length = 0;    // compressed bytes, the length field's value
  int64_t unpacked = 0;  // bytes the walk covers: those zlib wrote into the output buffer
  int zlib_result = 0;   // uncompress's result code
};

// What the walk makes of a record's first byte and the bytes left behind it.
enum class RecordClass {
  kFrameMark,
  kTriangle,
  kPoints,   // kind 3 or 4: the rest of the chunk is skipped
  kBadKind,  // kind 0 or 5 to 255: the rest of the chunk is skipped
  kCutOff,   // a frame mark or triangle longer than the bytes left: the rest is skipped
};

// A record met by the walk. Frames count the frame marks before the record, so a frame mark
// closes the frame that carries its number.
struct ScanRecord {
  RecordClass what = RecordClass::kBadKind;
  int64_t chunk = 0;
  int64_t offset = 0;  // of its first byte inside the decompressed chunk
  int64_t frame = 0;
  const uint8_t* bytes = nullptr;  // its first byte in the output buffer
  int64_t bytes_left = 0;          // from its first byte to the end of the decompressed data
};

enum class AnomalyKind {
  kPoints,  // record anomalies: the rest of the chunk is skipped
  kBadKind,
  kCutOffRecord,
  kDamagedChunk,   // chunk anomalies: zlib data that does not decompress cleanly
  kOversizeChunk,  // more than the output buffer holds; the walk stops at its end
  kBadLength,      // stream anomalies, each ends the scan: a negative or missing length field
  kOverflow,       // a length above the input buffer: the player exits at once
  kBrokenStream,   // the part a chunk runs on into cannot be opened
  kBudgetOverrun,  // a chunk's data runs past the last part: not walked
};

struct Anomaly {
  AnomalyKind kind = AnomalyKind::kBadKind;
  int64_t chunk = 0;
  FilePlace place;      // where the chunk's length field begins
  int64_t record = -1;  // the record's offset in the decompressed chunk; -1 for chunk and stream
  std::string detail;   // the values involved and what the player does
};

enum class ScanEnd {
  kStreamEnd,     // the budget is used up: the recording ends where the player ends it
  kAnomaly,       // a stream anomaly ended it
  kStoppedEarly,  // a record handler asked to stop
};

struct ScanHandlers {
  std::function<void(const ScanPart&)> part;
  std::function<void(const ScanChunk&)> chunk;
  std::function<bool(const ScanRecord&)> record;  // false stops the scan
  std::function<void(const Anomaly&)> anomaly;
};

struct ScanResult {
  OpenRecordingResult open = OpenRecordingResult::kCannotOpen;
  RecordingHeader header;  // read whenever part 0 could be opened
  ScanEnd end = ScanEnd::kStreamEnd;
  int64_t chunks = 0;          // chunks walked
  int64_t frames = 0;          // frame marks walked
  int32_t next_part = 0;       // the first part index the player does not try to open
  int64_t bytes_consumed = 0;  // chunk-stream bytes read, length fields included
  int64_t byte_budget = 0;     // chunk-stream bytes in the parts opened
};

// Scans the recording named by the template ("%i" for part files), path taken as given. Empty
// handlers are not called. Memory stays at the player's two chunk buffers.
ScanResult scanRecording(const std::string& path_template, const ScanHandlers& handlers);

// The anomaly's name as the tool prints it ("bad-kind", "budget-overrun", ...).
const char* anomalyName(AnomalyKind kind);

// Six decimals; "nan", "inf" and "-inf" for values that are not finite.
std::string floatText(double value);

// "<name> chunk C at part P offset O[ record R]: <detail>", as info and dump print anomalies.
std::string anomalyText(const Anomaly& anomaly);

// The four magic bytes, anything unprintable as \xNN.
std::string magicText(const char (&magic)[4]);

// False, after "kestrune <command>: ..." on standard error, when part 0 cannot be opened or does
// not start like a recording.
bool recordingOpened(const char* command, const std::string& path, const ScanResult& result);
