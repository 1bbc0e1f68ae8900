// `kestrune info REC`: what the player meets in a recording. Receives the recording path;
// scans it with the player's rules and hands on one fact per line on standard output: header,
// parts, texture dumps, chunks, records, frames, triangle statistics and every anomaly.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "player/stream_records.h"
#include "player/texture_loader.h"
#include "runtime/bmp_header.h"
#include "runtime/files.h"
#include "runtime/text.h"
#include "tools/tool_args.h"
#include "tools/tool_commands.h"
#include "tools/tool_playback.h"
#include "tools/tool_scan.h"

namespace {

// What a usage error shows; --help gives the whole description.
constexpr const char* kShortUsage =
    "usage: kestrune info REC\n"
    "\"kestrune info --help\" describes the command and its output.\n";

constexpr const char* kUsage =
    "usage: kestrune info REC\n"
    "\n"
    "Reads the recording REC the way the player plays it and prints one fact per line:\n"
    "  recording, magic          the path as given and the header's first four bytes\n"
    "  part N                    each part file the player opens, its name and length in bytes\n"
    "                            (\"missing\" when it cannot be opened), then any further part\n"
    "                            files that exist but are never read (\"not read\")\n"
    "  texture folder            the recording's folder followed by ../TexDump/\n"
    "  texture N                 each of slots 1 to 32 that names a texture: the id, then\n"
    "                            \"missing\", or the dump's bits per pixel and width x height\n"
    "                            and whether the player's loader gives it an image (\"loads\" /\n"
    "                            \"does not load\")\n"
    "  empty texture slots       the slots whose id is 0, as runs (\"3-5, 7, 9-32\"), or \"none\"\n"
    "  chunks, compressed bytes, decompressed bytes\n"
    "                            the chunks walked and their bytes before and after zlib\n"
    "  stream bytes read         chunk-stream bytes read (length fields included) of those the\n"
    "                            opened parts hold\n"
    "  records, frame marks, triangles, point records, bad-kind records, cut-off records\n"
    "  frames                    frame marks; a frame is the triangles since the previous mark\n"
    "  duration                  last time stamp minus first, in seconds\n"
    "  triangles per frame       min, median (the lower middle value) and max\n"
    "  textured triangles        triangles naming texture slots 1 to 31, and their share\n"
    "  blend mode N              triangles of each blend mode 0 to 7\n"
    "  anomalies, anomaly        their number, then one line each (the first 1000 are listed)\n"
    "  end                       why the scan stopped: \"stream used up\" or the anomaly's name\n"
    "\n"
    "Anomaly lines read \"anomaly: NAME chunk C at part P offset O[ record R]: DETAIL\".\n"
    "C counts the chunks from 0 in stream order. P is the part file index (0 for a single\n"
    "file) and O the byte offset in that file, from 0 at its first byte, where the chunk's\n"
    "4-byte length field begins. R, for record anomalies, is the offset of the record's first\n"
    "byte inside the chunk's decompressed data. Names:\n"
    "  points          a record of kind 3 or 4; the rest of the chunk is skipped\n"
    "  bad-kind        a record of kind 0 or 5 to 255; the rest of the chunk is skipped\n"
    "  cut-off-record  a record longer than the bytes left in its chunk; the rest is skipped\n"
    "  damaged-chunk   zlib data that does not decompress cleanly; what it wrote is walked\n"
    "  oversize-chunk  data that decompresses to more than 262144 bytes; the walk stops there\n"
    "  bad-length      a negative or missing length field; playback ends\n"
    "  overflow        a length above 32768; the player exits\n"
    "  broken-stream   a chunk runs on into a part file that cannot be opened; playback ends\n"
    "  budget-overrun  a chunk's data runs past the end of the last part; playback ends\n"
    "\n"
    "A path with \"%i\" names numbered part files (0, 1, 2 ...). Paths are taken from the\n"
    "current directory. Exit code 0 when the recording was read, 1 when it cannot be opened or\n"
    "is not a recording, 2 on bad usage.\n";

constexpr size_t kListedAnomalies = 1000;
constexpr int kBlendModes = 8;

enum class DumpState { kEmpty, kMissing, kNotBmp, kLoads, kDoesNotLoad };

struct TextureFacts {
  DumpState state = DumpState::kEmpty;
  int bits = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct InfoFacts {
  std::vector<StreamPart> parts;
  std::vector<StreamPart> unread_parts;
  TextureFacts textures[kTextureSlots];
  int64_t compressed = 0;
  int64_t decompressed = 0;
  int64_t records[5] = {};  // by RecordClass
  bool has_time = false;
  double first_time = 0;
  double last_time = 0;
  std::map<int64_t, int64_t> frames_of_size;  // triangles in a frame -> frames
  int64_t open_frame = 0;                     // triangles since the last frame mark
  int64_t textured = 0;
  int64_t slot_use[kTextureSlots] = {};  // triangles by texture slot 1 to 31 (index slot - 1)
  int64_t blend[kBlendModes] = {};
  int64_t anomaly_count = 0;
  std::vector<Anomaly> anomalies;  // the first kListedAnomalies
  AnomalyKind last_kind = AnomalyKind::kBadKind;
};

int64_t& recordCount(InfoFacts& facts, RecordClass what) {
  return facts.records[static_cast<int>(what)];
}

// The BMP fields the loader reads; false when the file cannot be opened.
bool readDumpHeader(const std::string& path, TextureFacts* facts) {
  BmpHeader header;
  if (!readBmpHeader(path.c_str(), &header)) return false;
  if (!bmpHasSizeFields(header)) {
    facts->state = DumpState::kNotBmp;
    return true;
  }
  facts->width = header.width;
  facts->height = header.height;
  facts->bits = header.bits;
  facts->state = DumpState::kDoesNotLoad;
  return true;
}

TextureFacts checkTexture(const std::string& folder, uint64_t id) {
  TextureFacts facts;
  if (id == 0) return facts;
  const std::string path = textureDumpPath(folder, id);
  facts.state = DumpState::kMissing;
  if (!readDumpHeader(path, &facts) || facts.state == DumpState::kNotBmp) return facts;
  TextureDump dump;
  if (loadTextureDump(path, &dump) == DumpLoad::kLoaded) {
    facts.state = DumpState::kLoads;
    releaseTextureDump(&dump);
  }
  return facts;
}

void checkTextures(const RecordingHeader& header, const std::string& folder, InfoFacts& facts) {
  for (int slot = 1; slot <= kTextureSlots; ++slot) {
    facts.textures[slot - 1] = checkTexture(folder, header.texture_ids[slot - 1]);
  }
}

void countTriangle(InfoFacts& facts, const TriangleRecord& triangle) {
  facts.open_frame += 1;
  facts.blend[triangle.blend_mode] += 1;
  if (triangle.texture_slot == 0) return;
  facts.textured += 1;
  facts.slot_use[triangle.texture_slot - 1] += 1;
}

// Textured triangles whose slot holds no image: the player draws them with an imageless name.
int64_t trianglesWithoutImage(const InfoFacts& facts) {
  int64_t count = 0;
  for (int slot = 1; slot <= kTextureSlots; ++slot) {
    if (facts.textures[slot - 1].state != DumpState::kLoads) count += facts.slot_use[slot - 1];
  }
  return count;
}

void countFrameMark(InfoFacts& facts, const uint8_t* record) {
  const double time = readFrameMark(record).time_stamp;
  if (!facts.has_time) facts.first_time = time;
  facts.has_time = true;
  facts.last_time = time;
  facts.frames_of_size[facts.open_frame] += 1;
  facts.open_frame = 0;
}

bool countRecord(InfoFacts& facts, const StreamRecord& record) {
  recordCount(facts, record.what) += 1;
  if (record.what == RecordClass::kTriangle) countTriangle(facts, readTriangleRecord(record.bytes));
  if (record.what == RecordClass::kFrameMark) countFrameMark(facts, record.bytes);
  return true;
}

ScanHandlers infoHandlers(InfoFacts& facts) {
  ScanHandlers handlers;
  handlers.part = [&facts](const StreamPart& part) { facts.parts.push_back(part); };
  handlers.chunk = [&facts](const StreamChunk& chunk) {
    facts.compressed += chunk.length;
    facts.decompressed += chunk.unpacked;
  };
  handlers.record = [&facts](const StreamRecord& record) { return countRecord(facts, record); };
  handlers.anomaly = [&facts](const Anomaly& anomaly) {
    facts.anomaly_count += 1;
    facts.last_kind = anomaly.kind;
    if (facts.anomalies.size() < kListedAnomalies) facts.anomalies.push_back(anomaly);
  };
  return handlers;
}

// Part files after the last one the player tried, as far as they exist without a gap.
void findUnreadParts(const std::string& path_template, int32_t first, InfoFacts& facts) {
  if (partFileName(path_template, 0).position == 0) return;
  for (int32_t index = first; index >= 0; ++index) {
    const std::string name = partFileName(path_template, index).name;
    const int file = freeFileNumber();
    if (file == 0 || openForReading(name.c_str(), file) != 0) return;
    facts.unread_parts.push_back(StreamPart{index, name, fileLength(file)});
    closeFile(file);
  }
}

void printParts(const InfoFacts& facts) {
  for (const StreamPart& part : facts.parts) {
    if (part.length < 0) {
      std::printf("part %d: %s missing\n", part.index, part.name.c_str());
    } else {
      std::printf("part %d: %s %lld bytes\n", part.index, part.name.c_str(),
                  static_cast<long long>(part.length));
    }
  }
  for (const StreamPart& part : facts.unread_parts) {
    std::printf("part %d: %s %lld bytes, not read\n", part.index, part.name.c_str(),
                static_cast<long long>(part.length));
  }
}

void printTexture(int slot, uint64_t id, const TextureFacts& texture) {
  std::printf("texture %d: %s ", slot, hexText(id, 16).c_str());
  switch (texture.state) {
    case DumpState::kMissing:
      std::printf("missing\n");
      return;
    case DumpState::kNotBmp:
      std::printf("not a BMP file, does not load\n");
      return;
    default:
      std::printf("%d bpp %dx%d %s\n", texture.bits, texture.width, texture.height,
                  texture.state == DumpState::kLoads ? "loads" : "does not load");
  }
}

// The empty slots as runs, "3-5, 7, 9-32", or "none".
std::string emptySlotRuns(const InfoFacts& facts) {
  std::string runs;
  for (int slot = 1; slot <= kTextureSlots;) {
    if (facts.textures[slot - 1].state != DumpState::kEmpty) {
      ++slot;
      continue;
    }
    int last = slot;
    while (last < kTextureSlots && facts.textures[last].state == DumpState::kEmpty) ++last;
    if (!runs.empty()) runs += ", ";
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on the concatenation.
    runs += std::to_string(slot);
    if (last > slot) {
      runs += '-';
      runs += std::to_string(last);
    }
    slot = last + 1;
  }
  return runs.empty() ? "none" : runs;
}

// Each slot that names a texture, then the empty ones in one line.
void printTextures(const RecordingHeader& header, const std::string& folder,
                   const InfoFacts& facts) {
  std::printf("texture folder: %s\n", folder.c_str());
  for (int slot = 1; slot <= kTextureSlots; ++slot) {
    const TextureFacts& texture = facts.textures[slot - 1];
    if (texture.state != DumpState::kEmpty) {
      printTexture(slot, header.texture_ids[slot - 1], texture);
    }
  }
  std::printf("empty texture slots: %s\n", emptySlotRuns(facts).c_str());
}

void printCount(const char* name, int64_t value) {
  std::printf("%s: %lld\n", name, static_cast<long long>(value));
}

void printRecords(InfoFacts& facts, const ScanResult& result) {
  printCount("chunks", result.chunks);
  printCount("compressed bytes", facts.compressed);
  printCount("decompressed bytes", facts.decompressed);
  std::printf("stream bytes read: %lld of %lld\n", static_cast<long long>(result.bytes_consumed),
              static_cast<long long>(result.byte_budget));
  int64_t total = 0;
  for (int64_t count : facts.records) total += count;
  printCount("records", total);
  printCount("frame marks", recordCount(facts, RecordClass::kFrameMark));
  printCount("triangles", recordCount(facts, RecordClass::kTriangle));
  printCount("point records", recordCount(facts, RecordClass::kPoints));
  printCount("bad-kind records", recordCount(facts, RecordClass::kBadKind));
  printCount("cut-off records", recordCount(facts, RecordClass::kCutOff));
}

// The lower middle of the frame sizes, counted through the size histogram.
int64_t medianFrameSize(const InfoFacts& facts, int64_t frames) {
  const int64_t wanted = (frames - 1) / 2;  // 0-based position in sorted order
  int64_t seen = 0;
  for (const auto& [size, count] : facts.frames_of_size) {
    seen += count;
    if (seen > wanted) return size;
  }
  return 0;
}

void printFrames(InfoFacts& facts) {
  const int64_t frames = recordCount(facts, RecordClass::kFrameMark);
  printCount("frames", frames);
  if (frames == 0) {
    std::printf("duration: none\ntriangles per frame: none\n");
  } else {
    std::printf("duration: %s s (time stamps %s to %s)\n",
                floatText(facts.last_time - facts.first_time).c_str(),
                floatText(facts.first_time).c_str(), floatText(facts.last_time).c_str());
    std::printf("triangles per frame: min %lld median %lld max %lld\n",
                static_cast<long long>(facts.frames_of_size.begin()->first),
                static_cast<long long>(medianFrameSize(facts, frames)),
                static_cast<long long>(facts.frames_of_size.rbegin()->first));
  }
  printCount("triangles after the last frame mark", facts.open_frame);
}

void printTriangleUse(InfoFacts& facts) {
  const int64_t triangles = recordCount(facts, RecordClass::kTriangle);
  const double share =
      triangles == 0 ? 0.0
                     : 100.0 * static_cast<double>(facts.textured) / static_cast<double>(triangles);
  std::printf("textured triangles: %lld of %lld (%.2f%%)\n", static_cast<long long>(facts.textured),
              static_cast<long long>(triangles), share);
  printCount("textured triangles without a loaded texture", trianglesWithoutImage(facts));
  for (int mode = 0; mode < kBlendModes; ++mode) {
    std::printf("blend mode %d: %lld triangles\n", mode, static_cast<long long>(facts.blend[mode]));
  }
}

void printAnomalies(const InfoFacts& facts, const ScanResult& result) {
  printCount("anomalies", facts.anomaly_count);
  for (const Anomaly& anomaly : facts.anomalies) {
    std::printf("anomaly: %s\n", anomalyText(anomaly).c_str());
  }
  if (facts.anomaly_count > static_cast<int64_t>(facts.anomalies.size())) {
    printCount("anomalies not listed", facts.anomaly_count - facts.anomalies.size());
  }
  const bool ended_by_anomaly = result.end == ScanEnd::kAnomaly;
  std::printf("end: %s\n", ended_by_anomaly ? anomalyName(facts.last_kind) : "stream used up");
}

}  // namespace

int runInfo(int argc, const char* const* argv) {
  const ParsedArgs args = parseArgs(argc, argv, {}, {});
  if (args.help) {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  if (!args.error.empty()) return usageError("info", args.error, kShortUsage);
  if (args.positional.size() != 1) {
    return usageError("info", args.positional.empty() ? "no recording given" : "one recording only",
                      kShortUsage);
  }
  const std::string& path = args.positional[0];
  InfoFacts facts;
  const ScanResult result = scanRecording(path, infoHandlers(facts));
  if (!recordingOpened("info", path, result)) return kExitFailed;
  findUnreadParts(path, result.next_part, facts);
  const std::string folder = textureFolderOf(path);
  checkTextures(result.header, folder, facts);
  std::printf("recording: %s\nmagic: %s\n", path.c_str(), magicText(result.header.magic).c_str());
  printParts(facts);
  printTextures(result.header, folder, facts);
  printRecords(facts, result);
  printFrames(facts);
  printTriangleUse(facts);
  printAnomalies(facts, result);
  return kExitDone;
}
