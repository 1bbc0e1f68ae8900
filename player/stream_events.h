// What the stream steps meet on their way through a recording, and the sink they tell it to:
// part files opened (or missing), chunks read whole, every record the walk meets, and the
// anomalies, each with its chunk and its place in the files. The player's messages are one
// sink; the tool's report and the frame index are others.
#pragma once
#include <cstdint>
#include <string>

// A byte in the recording's files: the part file's index and the offset from its first byte.
struct FilePlace {
  int32_t part = 0;
  int64_t offset = 0;
};

// A part file the stream opened, or tried to, in the order it did.
struct StreamPart {
  int32_t index = 0;
  std::string name;
  int64_t length = -1;  // -1 when the part cannot be opened
};

// A chunk that was read whole and lies within the budget; its records are walked next.
struct StreamChunk {
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

// A record met by the walk, before it is handled. Frames count the frame marks before the
// record, so a frame mark closes the frame that carries its number.
struct StreamRecord {
  RecordClass what = RecordClass::kBadKind;
  int64_t chunk = 0;
  FilePlace chunk_place;  // where the chunk's length field begins
  int64_t offset = 0;     // of its first byte inside the decompressed chunk
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
  kBadLength,      // stream anomalies, each ends the stream: a negative or missing length field
  kOverflow,       // a length above the input buffer: the player exits at once
  kBrokenStream,   // the part a chunk runs on into cannot be opened
  kBudgetOverrun,  // a chunk's data runs past the last part: not walked
};

// True for the anomalies after which the stream ends.
bool endsStream(AnomalyKind kind);

// An anomaly and the numbers it involves; which of `value` and `count` mean what depends on
// the kind.
struct StreamAnomaly {
  AnomalyKind kind = AnomalyKind::kBadKind;
  int64_t chunk = 0;
  FilePlace place;      // where the chunk's length field begins
  int64_t record = -1;  // the record's offset in the decompressed chunk; -1 for chunk and stream
  // Record anomalies: the record's kind byte. Bad length, overflow and budget overrun: the
  // length field's value. Damaged and oversize chunks: zlib's result code. Broken stream: the
  // index of the part that cannot be opened.
  int64_t value = 0;
  // Bad kind: the first two bytes as a little-endian number (a second byte beyond the data
  // counts as 0). Cut-off record: the bytes left. Bad length and budget overrun: the bytes
  // present. Damaged and oversize chunks: the bytes written.
  int64_t count = 0;
  std::string part_name;  // broken stream: the part that cannot be opened
};

// An anomaly of the kind with its values, met in chunk `chunk` whose length field is at `place`;
// `record` is the record's offset, -1 for chunk and stream anomalies.
StreamAnomaly anomalyAt(AnomalyKind kind, int64_t chunk, FilePlace place, int64_t record,
                        int64_t value = 0, int64_t count = 0);

// The sink. Empty members are not called; `record` answers false to stop the walk there.
struct StreamEvents {
  void (*part)(void* context, const StreamPart& part) = nullptr;
  void (*chunk)(void* context, const StreamChunk& chunk) = nullptr;
  bool (*record)(void* context, const StreamRecord& record) = nullptr;
  void (*anomaly)(void* context, const StreamAnomaly& anomaly) = nullptr;
  void* context = nullptr;
};

// The player's messages: "Points Not implemented!", "Bad ID n()!", "Record k cut off at the end
// of the chunk!", "bad luck end of file", "Overflow on input buffer" and "<part>\nBroken
// Stream", through printMessage. Chunk anomalies and a budget overrun are not told.
StreamEvents playerMessageEvents();

// Telling the sink, for the steps; each does nothing when its member is empty.
void tellPart(const StreamEvents& events, const StreamPart& part);
void tellChunk(const StreamEvents& events, const StreamChunk& chunk);
bool tellRecord(const StreamEvents& events, const StreamRecord& record);
void tellAnomaly(const StreamEvents& events, const StreamAnomaly& anomaly);
