// Opens a recording's part 0, checks its header, and reads the chunk stream across numbered part
// files. Receives the path template; hands on compressed chunks decompressed into the output
// buffer, and tells the stream's sink of the parts it opens and the anomalies it meets.
#include "player/recording_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "player/stream_records.h"
#include "runtime/files.h"

const char* const kDefaultRecordingPath = "../Video/Stream/Recording_12_01_2013_13_41_13.%i.rec";
const char* const kInstalledDemoPath =
    "../share/kestrune/demo/Video/Stream/Recording_12_01_2013_13_41_13.%i.rec";

PartName partFileName(const std::string& path_template, int32_t index) {
  PartName part;
  const size_t found = path_template.find("%i");
  if (found == std::string::npos) {
    part.name = path_template;
    return part;
  }
  part.position = static_cast<int>(found) + 1;
  part.name = path_template;
  part.name.replace(found, 2, std::to_string(index));
  return part;
}

std::string recordingPath(int argc, const char* const* argv) {
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) path += ' ';
    path += argv[i];
  }
  return path.empty() ? defaultRecordingPath() : path;
}

bool hasPartZero(const std::string& path_template) {
  std::error_code failed;
  return std::filesystem::is_regular_file(partFileName(path_template, 0).name, failed);
}

std::string defaultRecordingPath(const std::string& folder) {
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
  const std::string game = prefix + kDefaultRecordingPath;
  const std::string installed = prefix + kInstalledDemoPath;
  return !hasPartZero(game) && hasPartZero(installed) ? installed : game;
}

RecordingHeader parseRecordingHeader(const uint8_t (&bytes)[kRecordingHeaderSize]) {
  RecordingHeader header;
  std::memcpy(header.magic, bytes, sizeof(header.magic));
  for (int slot = 1; slot <= kTextureSlots; ++slot) {
    header.texture_ids[slot - 1] = readUint64(bytes + 8 * slot);
  }
  return header;
}

bool hasRecordingMagic(const RecordingHeader& header) {
  return std::memcmp(header.magic, "KREC", 4) == 0;
}

OpenRecordingResult openRecording(StreamState& stream, RecordingHeader* header) {
  const PartName part0 = partFileName(stream.path_template, 0);
  stream.has_parts = part0.position != 0;
  stream.part_index = 0;
  stream.file = openUnderFreeNumber(part0.name.c_str());
  if (stream.file == 0) return OpenRecordingResult::kCannotOpen;
  stream.first_part_length = std::max<int64_t>(fileLength(stream.file), 0);
  stream.byte_budget = stream.first_part_length - kRecordingHeaderSize;
  stream.bytes_consumed = 0;

  uint8_t bytes[kRecordingHeaderSize] = {};  // a short file leaves the rest zero
  readAt(stream.file, 1, bytes, kRecordingHeaderSize);
  stream.part_offset = std::min<int64_t>(stream.first_part_length, kRecordingHeaderSize);
  stream.chunk_index = 0;
  tellPart(stream.events, StreamPart{0, part0.name, stream.first_part_length});
  *header = parseRecordingHeader(bytes);
  if (!hasRecordingMagic(*header)) {
    closeFile(stream.file);
    return OpenRecordingResult::kNotRecording;
  }
  return OpenRecordingResult::kOpened;
}

void allocateChunkBuffers(StreamState& stream) {
  stream.input.assign(kInputBufferSize, 0);
  stream.output.assign(kOutputBufferSize, 0);
}

static void tellStreamAnomaly(const StreamState& stream, AnomalyKind kind, int64_t value,
                              int64_t count, const std::string& part_name = "") {
  StreamAnomaly anomaly =
      anomalyAt(kind, stream.chunk_index, stream.chunk_start.chunk_place, -1, value, count);
  anomaly.part_name = part_name;
  tellAnomaly(stream.events, anomaly);
}

// Closes the open part and opens the next one under the same file number, in one step so that
// another thread cannot take the number in between. A part shorter than part 0 is the last one. The
// sink hears of the part, also when it cannot be opened; a chunk that runs on into a missing part
// is a broken stream, when asked to report it.
static bool openNextPart(StreamState& stream, bool report_missing) {
  stream.part_index += 1;
  stream.part_offset = 0;
  const PartName part = partFileName(stream.path_template, stream.part_index);
  if (reopenForReading(part.name.c_str(), stream.file) != 0) {
    stream.file = 0;  // the number is free now: closing it later must not close another's file
    tellPart(stream.events, StreamPart{stream.part_index, part.name, -1});
    if (report_missing) {
      tellStreamAnomaly(stream, AnomalyKind::kBrokenStream, stream.part_index, 0, part.name);
    }
    return false;
  }
  const int64_t length = std::max<int64_t>(fileLength(stream.file), 0);
  if (length < stream.first_part_length) stream.has_parts = false;
  stream.byte_budget += length;
  tellPart(stream.events, StreamPart{stream.part_index, part.name, length});
  return true;
}

void closeRecording(StreamState& stream) {
  if (stream.file != 0) closeFile(stream.file);
  stream.file = 0;
}

bool resumeStream(StreamState& stream, const StreamCheckpoint& at) {
  const std::string name = partFileName(stream.path_template, at.part_index).name;
  if (stream.file == 0) {
    stream.file = openUnderFreeNumber(name.c_str());
  } else if (reopenForReading(name.c_str(), stream.file) != 0) {
    stream.file = 0;
  }
  if (stream.file == 0) return false;
  readAt(stream.file, at.chunk_place.offset + 1, nullptr, 0);  // moves to the length field
  stream.part_index = at.part_index;
  stream.has_parts = at.has_parts;
  stream.byte_budget = at.byte_budget;
  stream.bytes_consumed = at.bytes_consumed;
  stream.chunk_index = at.chunk_index;
  stream.part_offset = at.chunk_place.offset;
  return true;
}

bool streamHasMore(StreamState& stream) {
  // Each part opened here either adds to the budget or clears the has-parts flag (it is shorter
  // than part 0), so the loop ends.
  while (stream.bytes_consumed >= stream.byte_budget) {
    const bool at_end_of_part = stream.bytes_consumed == stream.byte_budget;
    if (!at_end_of_part || !stream.has_parts) return false;
    if (!openNextPart(stream, false)) return false;
  }
  return true;
}

// Reads `size` bytes at the current position and goes on at the start of the next part for as
// long as bytes are missing and another part may follow. False when a needed part is missing.
static bool readAcrossParts(StreamState& stream, uint8_t* buffer, int32_t size, int32_t* got) {
  *got = 0;
  readAt(stream.file, 0, buffer, size, got);
  stream.part_offset += *got;
  while (*got < size && stream.has_parts) {
    if (!openNextPart(stream, true)) return false;
    int32_t more = 0;
    readAt(stream.file, 1, buffer + *got, size - *got, &more);
    stream.part_offset += more;
    *got += more;
  }
  return true;
}

StreamStep readChunkLength(StreamState& stream, int32_t* length) {
  // Bytes that are not there stay 255, so a length cut short reads as negative.
  uint8_t field[4] = {255, 255, 255, 255};
  int32_t got = 0;
  stream.chunk_start = StreamCheckpoint{
      stream.part_index,     stream.has_parts,   stream.byte_budget,
      stream.bytes_consumed, stream.chunk_index, {stream.part_index, stream.part_offset}};
  if (!readAcrossParts(stream, field, 4, &got)) return StreamStep::kBroken;
  *length = static_cast<int32_t>(readUint32(field));
  if (*length < 0) {
    tellStreamAnomaly(stream, AnomalyKind::kBadLength, *length, got);
    return StreamStep::kBroken;
  }
  if (*length > kInputBufferSize) {
    tellStreamAnomaly(stream, AnomalyKind::kOverflow, *length, 0);
    return StreamStep::kExitNow;
  }
  return StreamStep::kGoOn;
}

StreamStep readChunkData(StreamState& stream, int32_t length, int32_t* bytes_read) {
  if (!readAcrossParts(stream, stream.input.data(), length, bytes_read)) return StreamStep::kBroken;
  return StreamStep::kGoOn;
}

int64_t writtenLength(int result, uint64_t reported_length, int64_t output_size) {
  // Since zlib 1.2.9, uncompress reports the bytes it wrote also when the data is damaged or the
  // output is full; older versions leave the length untouched then.
  bool reported_is_written = result == Z_OK;
#if ZLIB_VERNUM >= 0x1290
  reported_is_written = reported_is_written || result == Z_DATA_ERROR || result == Z_BUF_ERROR;
#endif
  if (!reported_is_written) return 0;
  return std::min<int64_t>(static_cast<int64_t>(reported_length), output_size);
}

void decompressChunk(StreamState& stream, int32_t input_length) {
  uLongf reported = static_cast<uLongf>(stream.output.size());
  const int result = uncompress(stream.output.data(), &reported, stream.input.data(),
                                static_cast<uLong>(input_length));
  stream.zlib_result = result;
  stream.decompressed_length =
      writtenLength(result, reported, static_cast<int64_t>(stream.output.size()));
}

bool chunkWithinBudget(StreamState& stream, int32_t length) {
  stream.bytes_consumed += static_cast<int64_t>(length) + 4;
  return stream.bytes_consumed <= stream.byte_budget;
}
