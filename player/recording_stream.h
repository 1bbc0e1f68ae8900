// The recording file and its chunk stream: part names, the header check, and reading chunk
// lengths and data across numbered part files. Receives the recording path; hands on the header's
// texture ids and each chunk's decompressed bytes, and tells the stream's sink of every part
// opened and every anomaly met, with its place in the files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/stream_events.h"

constexpr int kRecordingHeaderSize = 264;
constexpr int kTextureSlots = 32;
constexpr int32_t kInputBufferSize = 32768;    // one compressed chunk at most
constexpr int32_t kOutputBufferSize = 262144;  // one decompressed chunk at most

// The 264 bytes before the chunk stream: magic, a spare field and the 32 texture ids.
struct RecordingHeader {
  char magic[4] = {};
  uint64_t texture_ids[kTextureSlots] = {};  // slot i at index i - 1; 0 = empty slot
};

// What reading needs to start again at a chunk's length field: the part it lies in, the chunk's
// number and the budget as it stood there.
struct StreamCheckpoint {
  int32_t part_index = 0;
  bool has_parts = false;
  int64_t byte_budget = 0;
  int64_t bytes_consumed = 0;
  int64_t chunk_index = 0;
  FilePlace chunk_place;  // where the length field begins
};

// Everything the player knows about the stream for the whole run. The budget and the counters
// are 64-bit so that recordings of many large parts cannot overflow them.
struct StreamState {
  std::string path_template;
  int file = 0;            // file number of the open part, 0 before part 0 opens
  bool has_parts = false;  // a further part may follow the open one
  int32_t part_index = 0;
  int64_t first_part_length = 0;
  int64_t byte_budget = 0;      // chunk-stream bytes in the parts opened so far
  int64_t bytes_consumed = 0;   // chunk-stream bytes read so far, length fields included
  std::vector<uint8_t> input;   // one compressed chunk
  std::vector<uint8_t> output;  // one decompressed chunk
  int64_t decompressed_length = 0;
  int zlib_result = 0;  // uncompress's result code for the chunk in the output buffer
  // Where reading stands, for the events and for starting again: the next byte of the open
  // part, the chunk being read (chunks counted from 0, a chunk counting once it was walked), and
  // the checkpoint at that chunk's length field.
  int64_t part_offset = 0;
  int64_t chunk_index = 0;
  StreamCheckpoint chunk_start;
  StreamEvents events = playerMessageEvents();
};

struct PartName {
  std::string name;
  int position = 0;  // 1-based position of the first "%i" in the template, 0 when none
};

// The template with its first "%i" replaced by the index in decimal (index >= 0); the template
// unchanged when it holds no "%i".
PartName partFileName(const std::string& path_template, int32_t index);

// The command-line arguments after the program's name joined with single spaces, or the demo
// recording (defaultRecordingPath) when that text is empty.
std::string recordingPath(int argc, const char* const* argv);
extern const char* const kDefaultRecordingPath;
// Where the package installs the demo, relative to the programs' folder (/usr/bin).
extern const char* const kInstalledDemoPath;

// Whether the template's part 0 is a regular file.
bool hasPartZero(const std::string& path_template);

// The game's default recording, relative to `folder` (the programs' folder), or the installed
// demo when the default's part 0 is missing there and the installed one's is not. `folder` is
// put in front of the path unless it is empty (paths relative to the current folder).
std::string defaultRecordingPath(const std::string& folder = "");

RecordingHeader parseRecordingHeader(const uint8_t (&bytes)[kRecordingHeaderSize]);
bool hasRecordingMagic(const RecordingHeader& header);

enum class OpenRecordingResult { kOpened, kCannotOpen, kNotRecording };

// Opens part 0 of stream.path_template, reads its header (a short file leaves the rest zero) and
// sets up the budget and the has-parts flag; tells the sink of part 0 when it opened. On
// kNotRecording the file is closed again.
OpenRecordingResult openRecording(StreamState& stream, RecordingHeader* header);

void allocateChunkBuffers(StreamState& stream);

// Closes the open part, if any.
void closeRecording(StreamState& stream);

// Goes back (or forward) to a chunk's length field taken from chunk_start earlier in the same
// recording: opens its part under the stream's file number and restores the budget, so that the
// next readChunkLength reads that chunk again. False when the part cannot be opened any more.
bool resumeStream(StreamState& stream, const StreamCheckpoint& at);

// What the reading steps hand back to the chunk loop.
enum class StreamStep {
  kGoOn,     // go on with this chunk
  kEnd,      // playback is over: print "Done." and wait for a key
  kBroken,   // as kEnd, but the stream broke off (a reported failure): the program fails
  kExitNow,  // leave the program at once, as failed
};

// True while the budget holds another chunk. Reaching the exact end of a part with the has-parts
// flag set opens the next part quietly; when there is none, the stream has simply ended.
bool streamHasMore(StreamState& stream);

// Reads the 4-byte length field of the next chunk, continuing into the next part when a part
// ends inside it. Reports a negative or missing length (kBroken) and an overflowing one
// (kExitNow) to the sink.
StreamStep readChunkLength(StreamState& stream, int32_t* length);

// Reads the chunk's `length` bytes into the input buffer, continuing into further parts when a
// part ends inside them; sets *bytes_read to what is there (less at the end of the last part).
// kBroken after reporting a further part that cannot be opened.
StreamStep readChunkData(StreamState& stream, int32_t length, int32_t* bytes_read);

// Decompresses the input bytes into the output buffer and sets the decompressed length to the
// number of bytes actually written there, and zlib's result code.
void decompressChunk(StreamState& stream, int32_t input_length);

// Counts the chunk as consumed; false when it ran past the budget (its bytes were not all there).
bool chunkWithinBudget(StreamState& stream, int32_t length);

// How many output bytes zlib's uncompress wrote, from its result code and the length it reported.
// A failure before inflating began leaves the reported length meaningless: 0 bytes then.
int64_t writtenLength(int result, uint64_t reported_length, int64_t output_size);
