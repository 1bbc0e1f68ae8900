// `kestrune dump REC [--frames A-B]`: the records of a recording as text, one line each, in the
// order the player walks them. Receives the recording path and a frame range; hands on lines on
// standard output and the chunk and stream anomalies on standard error.
#include <cstdio>
#include <cstring>
#include <string>

#include "player/stream_records.h"
#include "tools/tool_args.h"
#include "tools/tool_commands.h"
#include "tools/tool_scan.h"

namespace {

// What a usage error shows; --help gives the whole description.
constexpr const char* kShortUsage =
    "usage: kestrune dump REC [--frames A-B]\n"
    "\"kestrune dump --help\" describes the command and its output.\n";

constexpr const char* kUsage =
    "usage: kestrune dump REC [--frames A-B]\n"
    "\n"
    "Prints the records of the recording REC, one line each, in the order the player walks them.\n"
    "Each line starts with \"frame F\": the number of frame marks before the record, so frame 0\n"
    "is everything up to and including the first frame mark. Then:\n"
    "  frame F mark time=T bits=XXXXXXXX\n"
    "      T the time stamp in seconds with six decimals (or nan, inf, -inf), XXXXXXXX its\n"
    "      32-bit pattern in hexadecimal\n"
    "  frame F triangle slot S mode M v0 VERTEX v1 VERTEX v2 VERTEX\n"
    "      S the texture slot (0 = none), M the blend mode; each VERTEX reads\n"
    "      u=U v=V x=X y=Y w=W colour=CCCC(flag A r R g G b B): the bytes u, v, x and y, the\n"
    "      16-bit w, and the 16-bit colour in hexadecimal with its four nibbles from the top\n"
    "  frame F points kind=K            a point record (kind 3 or 4); the chunk's rest is skipped\n"
    "  frame F bad-kind kind=K id=I     an unknown kind; I is its first two bytes as one number\n"
    "  frame F cut-off kind=K bytes=N   a record with only N bytes left in its chunk\n"
    "All numbers are decimal unless said otherwise. Damaged or oversize chunks and what ends the\n"
    "stream early go to standard error as \"kestrune dump: anomaly: ...\" lines, in the form\n"
    "\"kestrune info --help\" describes.\n"
    "\n"
    "  --frames A-B   only frames A to B (both included); \"A-\" from A on, \"A\" frame A only\n"
    "\n"
    "A path with \"%i\" names numbered part files (0, 1, 2 ...). Paths are taken from the\n"
    "current directory. Exit code 0 when the recording was read, 1 when it cannot be opened, is\n"
    "not a recording, has no frame in the range asked for or standard output cannot be written,\n"
    "2 on bad usage.\n";

void printVertex(int k, const TriangleVertex& vertex) {
  const unsigned c = vertex.colour;
  std::printf(" v%d u=%u v=%u x=%u y=%u w=%u colour=%04X(flag %u r %u g %u b %u)", k,
              unsigned{vertex.u}, unsigned{vertex.v}, unsigned{vertex.x}, unsigned{vertex.y},
              unsigned{vertex.w}, c, c >> 12, (c >> 8) & 15, (c >> 4) & 15, c & 15);
}

void printTriangle(const uint8_t* bytes) {
  const TriangleRecord triangle = readTriangleRecord(bytes);
  std::printf(" triangle slot %u mode %u", unsigned{triangle.texture_slot},
              unsigned{triangle.blend_mode});
  for (int k = 0; k < 3; ++k) printVertex(k, triangle.vertices[k]);
}

void printFrameMark(const uint8_t* bytes) {
  const float time = readFrameMark(bytes).time_stamp;
  std::printf(" mark time=%s bits=%08X", floatText(time).c_str(),
              static_cast<unsigned>(readUint32(bytes + 4)));
}

void printRecord(const StreamRecord& record) {
  const unsigned kind = record.bytes[0];
  std::printf("frame %lld", static_cast<long long>(record.frame));
  switch (record.what) {
    case RecordClass::kTriangle:
      printTriangle(record.bytes);
      break;
    case RecordClass::kFrameMark:
      printFrameMark(record.bytes);
      break;
    case RecordClass::kPoints:
      std::printf(" points kind=%u", kind);
      break;
    case RecordClass::kBadKind:
      std::printf(" bad-kind kind=%u id=%u", kind,
                  kind + 256u * (record.bytes_left > 1 ? record.bytes[1] : 0u));
      break;
    case RecordClass::kCutOff:
      std::printf(" cut-off kind=%u bytes=%lld", kind, static_cast<long long>(record.bytes_left));
      break;
  }
  std::printf("\n");
}

// Prints the records in the range and counts them in *printed. A write that failed (a full disk)
// stops the scan: the tool reports it when it ends.
ScanHandlers dumpHandlers(const FrameRange& range, int64_t* printed) {
  ScanHandlers handlers;
  handlers.record = [range, printed](const StreamRecord& record) {
    if (record.frame > range.last) return false;  // frames only grow: nothing more to print
    if (range.contains(record.frame)) {
      printRecord(record);
      ++*printed;
    }
    return std::ferror(stdout) == 0;
  };
  // Record anomalies already have their own lines.
  handlers.anomaly = [](const Anomaly& anomaly) {
    if (anomaly.record >= 0) return;
    std::fflush(stdout);
    std::fprintf(stderr, "kestrune dump: anomaly: %s\n", anomalyText(anomaly).c_str());
  };
  return handlers;
}

}  // namespace

int runDump(int argc, const char* const* argv) {
  const ParsedArgs args = parseArgs(argc, argv, {"frames"}, {});
  if (args.help) {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  if (!args.error.empty()) return usageError("dump", args.error, kShortUsage);
  if (args.positional.size() != 1) {
    return usageError("dump", args.positional.empty() ? "no recording given" : "one recording only",
                      kShortUsage);
  }
  FrameRange range;
  const std::string* frames = args.option("frames");
  if (frames != nullptr && !parseFrameRange(*frames, &range)) {
    return usageError("dump", "--frames wants A-B, A- or A, with A <= B: \"" + *frames + "\"",
                      kShortUsage);
  }
  const std::string& path = args.positional[0];
  int64_t printed = 0;
  const ScanResult result = scanRecording(path, dumpHandlers(range, &printed));
  if (!recordingOpened("dump", path, result)) return kExitFailed;
  if (frames != nullptr && printed == 0) {
    std::fprintf(stderr, "kestrune dump: no frame in that range; the recording has %lld\n",
                 static_cast<long long>(result.frames));
    return kExitFailed;
  }
  return kExitDone;
}
