// Fuzz target: the recording's chunk loop (stream, decompression, record walk, pacing) over
// arbitrary bytes split into part files. Receives the input; hands on nothing but a crash, a
// sanitizer report or a failed check when the player mishandles it.
//
// Input: byte 0 chooses the layout: bits 0-3 the number of part files (0 = one file whose name
// has no "%i"), bit 4 cuts the way a recorder does (every part but the last as long as part 0),
// bit 5 leaves the last part file out, bit 6 adds an empty part file behind the last one.
// Without bit 4, one 16-bit length per part but the last follows. The rest is the recording.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "player/chunk_loop.h"
#include "player/record_walk.h"
#include "player/recording_stream.h"
#include "renderer/gl.h"
#include "runtime/files.h"

namespace {

constexpr int kMaxParts = 15;

struct Layout {
  int parts = 0;  // 0: a single file without "%i"
  bool recorder_split = false;
  bool last_part_missing = false;
  bool empty_part_behind = false;
  std::vector<size_t> part_lengths;  // all parts but the last
};

Layout readLayout(ByteReader& input) {
  Layout layout;
  const uint8_t choice = input.u8();
  layout.parts = choice & 15;
  layout.recorder_split = (choice & 16) != 0;
  layout.last_part_missing = (choice & 32) != 0;
  layout.empty_part_behind = (choice & 64) != 0;
  if (!layout.recorder_split) {
    for (int k = 0; k + 1 < layout.parts; ++k) layout.part_lengths.push_back(input.u16());
  }
  return layout;
}

std::string partPathOf(const std::string& path_template, int index) {
  return partFileName(path_template, index).name;
}

// Cuts the recording into the layout's part files; gives the template the player opens.
std::string writeParts(const Layout& layout, const uint8_t* bytes, size_t size) {
  const std::string folder = privateFolder();
  if (layout.parts == 0) {
    const std::string path = folder + "/single.rec";
    writeFuzzFile(path, bytes, size);
    return path;
  }
  const std::string path_template = folder + "/r.%i.rec";
  for (int k = 0; k <= kMaxParts + 1; ++k) removeFuzzFile(partPathOf(path_template, k));
  const size_t even = (size + static_cast<size_t>(layout.parts) - 1) / layout.parts;
  size_t at = 0;
  for (int k = 0; k < layout.parts; ++k) {
    size_t length = size - at;
    if (k + 1 < layout.parts) {
      length = std::min(length, layout.recorder_split ? even : layout.part_lengths[k]);
    }
    const bool last = k + 1 == layout.parts;
    if (!(last && layout.last_part_missing)) {
      writeFuzzFile(partPathOf(path_template, k), bytes + at, length);
    }
    at += length;
  }
  if (layout.empty_part_behind) {
    writeFuzzFile(partPathOf(path_template, layout.parts), nullptr, 0);
  }
  return path_template;
}

// A clock that moves only when pacing sleeps (and a little at every reading), so that every
// branch of the pacing rules is reached and nothing really waits.
double& fakeClock() {
  static double seconds = 0;
  return seconds;
}

double fakeTimer() {
  fakeClock() += 0.001;
  return fakeClock();
}

// Pacing never sleeps longer than a quarter of a second at a time, whatever the time stamps.
int fakeSleep(int milliseconds, int mode) {
  FUZZ_CHECK(mode == 1);
  FUZZ_CHECK(milliseconds >= 0 && milliseconds <= 250);
  fakeClock() += milliseconds / 1000.0;
  return 0;
}

int noKeyHeld(int) { return 0; }
std::string noKey() { return ""; }
void noPresent(void*) {}

// Stand-ins for the renderer that check what drawing hands it: one GL_TRIANGLES primitive of
// three vertices at a time, coordinates from 0 to 1, only the two switches it may touch.
struct DrawingCheck {
  bool in_begin = false;
  int vertices = 0;
};

DrawingCheck& drawingCheck() {
  static DrawingCheck check;
  return check;
}

bool inUnitRange(float value) { return value >= 0.0f && value <= 1.0f; }

void checkSwitch(int cap) {
  FUZZ_CHECK(!drawingCheck().in_begin);
  FUZZ_CHECK(cap == GL_TEXTURE_2D || cap == GL_BLEND);
}

void checkBind(int target, int texture) {
  FUZZ_CHECK(!drawingCheck().in_begin);
  FUZZ_CHECK(target == GL_TEXTURE_2D && texture >= 0);
}

void checkBegin(int mode) {
  FUZZ_CHECK(mode == GL_TRIANGLES && !drawingCheck().in_begin);
  drawingCheck() = {true, 0};
}

void checkTexCoord(float s, float t) {
  FUZZ_CHECK(drawingCheck().in_begin && inUnitRange(s) && inUnitRange(t));
}

void checkColour(float r, float g, float b, float a) {
  FUZZ_CHECK(inUnitRange(r) && inUnitRange(g) && inUnitRange(b));
  FUZZ_CHECK(a == 0.5f || a == 1.0f);
}

void checkVertex(float x, float y, float z) {
  FUZZ_CHECK(drawingCheck().in_begin && inUnitRange(x) && inUnitRange(y) && z == 0.0f);
  drawingCheck().vertices += 1;
}

void checkEnd() {
  FUZZ_CHECK(drawingCheck().in_begin && drawingCheck().vertices == 3);
  drawingCheck() = {};
}

const DrawingCalls kCheckingCalls = {checkSwitch,   checkSwitch, checkBind,   checkBegin,
                                     checkTexCoord, checkColour, checkVertex, checkEnd};

// Told by the chunk loop when each step begins: whatever the bytes, the loop never holds more
// than one chunk's worth of input and output.
void checkPhase(void* context, ChunkPhase phase) {
  const StreamState& stream = *static_cast<const StreamState*>(context);
  FUZZ_CHECK(stream.input.size() == static_cast<size_t>(kInputBufferSize));
  FUZZ_CHECK(stream.output.size() == static_cast<size_t>(kOutputBufferSize));
  if (phase == ChunkPhase::kWalk) {
    FUZZ_CHECK(stream.decompressed_length >= 0 && stream.decompressed_length <= kOutputBufferSize);
  }
}

}  // namespace

// The overflow message is followed by a one-second sleep before the player exits; under the
// fuzzer that second is skipped (the link wraps sleepFor). Only that sleep reaches here.
extern "C" int __wrap__Z8sleepForii(int milliseconds, int mode) {
  FUZZ_CHECK(milliseconds == 1000 && mode == 1);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStandardOutput();
  privateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteReader input(data, size);
  const Layout layout = readLayout(input);
  StreamState stream;
  stream.path_template = writeParts(layout, input.rest(), input.remaining());
  RecordingHeader header;
  if (openRecording(stream, &header) != OpenRecordingResult::kOpened) return 0;
  allocateChunkBuffers(stream);
  fakeClock() = 0;
  drawingCheck() = {};
  static const TextureTable textures = {};
  TriangleDrawing drawing;
  drawing.calls = &kCheckingCalls;
  drawing.textures = &textures;
  PlaybackState playback =
      startPlayback({fakeTimer, fakeSleep, noKeyHeld, noKey, noPresent}, drawing);
  ChunkLoopHooks hooks;
  hooks.phase_begins = checkPhase;
  hooks.context = &stream;
  playChunks(stream, playback, hooks);
  closeFile(stream.file);
  FUZZ_CHECK(freeFileNumber() == 1);  // no part file is left open
  return 0;
}
