// Reads a recording through the player's own stream steps and record walk, without drawing,
// pacing or printing: part files, chunks and records in stream order. Receives the path template
// and handlers; hands each part, chunk, record and anomaly to the handlers, with their places in
// the files.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "player/recording_stream.h"
#include "player/stream_events.h"

// An anomaly as the tool reports it: where it was met, and the values involved with what the
// player does, in words.
struct Anomaly {
  AnomalyKind kind = AnomalyKind::kBadKind;
  int64_t chunk = 0;
  FilePlace place;      // where the chunk's length field begins
  int64_t record = -1;  // the record's offset in the decompressed chunk; -1 for chunk and stream
  std::string detail;
};

enum class ScanEnd {
  kStreamEnd,     // the budget is used up: the recording ends where the player ends it
  kAnomaly,       // a stream anomaly ended it
  kStoppedEarly,  // a record handler asked to stop
};

struct ScanHandlers {
  std::function<void(const StreamPart&)> part;
  std::function<void(const StreamChunk&)> chunk;
  std::function<bool(const StreamRecord&)> record;  // false stops the scan
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
