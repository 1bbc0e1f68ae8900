// Benchmark workloads: recordings made for timing the player's drawing path against another
// renderer on the same work. Receives the workload's options; hands on triangle records frame by
// frame, texture dumps, and the chunked part files of a recording, with figures that describe
// the work (triangles, textured and blended shares, areas in render-buffer pixels).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/stream_records.h"
#include "tools/recording_writer.h"
#include "tools/seeded_random.h"

// The shortest part the generator cuts: the header, the longest chunk the player takes and its
// length field, and room for the next chunk's length field.
constexpr int64_t kWorkloadPartSizeMin = 264 + 4 + 32768 + 4;
constexpr int kChunkCompressedMax = 32768;
constexpr int kChunkDecompressedMax = 262144;

struct TextureSize {
  int width = 256;
  int height = 256;
};

struct WorkloadOptions {
  bool scene = false;  // a moving racing view instead of scattered triangles
  int64_t frames = 300;
  int64_t triangles = 1000;  // per frame, scattered mode
  double min_area = 50;      // render-buffer pixels, areas log-uniform between the two
  double max_area = 500;
  double textured = 0.7;  // share of triangles naming a texture slot
  double blend = 0.2;     // share of triangles in blend mode 1
  double run_length = 8;  // mean run of triangles sharing slot and mode
  int textures = 8;       // texture slots 1 to N
  std::vector<TextureSize> texture_sizes = {TextureSize{}};  // used in turn
  double fps = 30;
  double start_time = 0;
  int64_t part_size = 0;        // 0: the whole recording in part 0
  int64_t chunk_bytes = 32000;  // records per chunk, in decompressed bytes
  int level = 6;                // zlib level
  int desktop_width = 1920;
  int desktop_height = 1080;
  uint64_t seed = 1;
  double speed = 40;           // scene: metres a second
  double draw_distance = 400;  // scene: metres of track drawn ahead
  int subdiv = 8;              // scene: columns across the road
};

// What a recording holds, summed over its frames.
struct WorkloadFigures {
  int64_t frames = 0;
  int64_t triangles = 0;
  int64_t textured = 0;
  int64_t blended = 0;  // blend mode 1
  double area = 0;      // render-buffer pixels, summed
  int parts = 0;
  int64_t stream_bytes = 0;  // header and chunks
  int64_t chunks = 0;
};


// Render-buffer pixels of one step of the 0..255 screen grid, across and down: the player's
// projection puts x = 0 and x = 1 about 0.28 % beyond the edges.
double pixelsPerStepX(int desktop_width);
double pixelsPerStepY(int desktop_height);
// The area of a recorded triangle in render-buffer pixels.
double triangleArea(const TriangleRecord& triangle, int desktop_width, int desktop_height);

// One frame's triangles, scattered mode: fresh random triangles every frame, in runs that go
// on from one frame to the next.
struct ScatterState {
  Random random;
  uint8_t slot = 0;
  uint8_t mode = 0;
};
ScatterState beginScatter(const WorkloadOptions& options);
std::vector<TriangleRecord> scatterFrame(ScatterState& state, const WorkloadOptions& options);

// The triangles of frame `frame`, scene mode: the racing view, painted back to front.
std::vector<TriangleRecord> sceneFrame(const WorkloadOptions& options, int64_t frame);
// The scene names texture slots 1 to kSceneTextures, whatever --textures says.
constexpr int kSceneTextures = 6;

// Texture ids and dumps: slot k's id, and the picture written for it.
uint64_t workloadTextureId(int slot);
std::string dumpFileName(uint64_t id);
bool writeWorkloadTextures(const std::string& folder, const WorkloadOptions& options,
                           std::string* error);

// Chunks written into part files so that every part boundary falls inside a chunk's data: a
// boundary between two chunks, or inside a length field, would end the player's stream there.
struct ChunkCutter {
  PartStreamWriter out;
  int64_t part_size = 0;  // 0: no parts
  int64_t position = 0;   // stream bytes written so far
  int64_t chunk_bytes = 32000;
  int level = 6;
  Bytes records;               // the chunk being filled
  std::vector<size_t> starts;  // each record's offset in `records`
  int64_t chunks = 0;
};

// True when a chunk may start at stream offset `start`: no part boundary lies at it or inside
// its 4-byte length field.
bool chunkStartAllowed(int64_t start, int64_t part_size);
// How many of the collected records (from the first) make the next chunk, and that chunk's
// compressed bytes: as many as fit the player's limits and leave the following chunk an allowed
// start. `last` says no records follow, so the chunk may end anywhere. 0 when none will do.
size_t recordsForChunk(const ChunkCutter& cutter, bool last, Bytes* compressed);

ChunkCutter beginChunks(const std::string& path_template, const WorkloadOptions& options);
bool addRecord(ChunkCutter& cutter, const Bytes& record);
bool finishChunks(ChunkCutter& cutter);

// Writes the whole workload into OUT/Video/Stream/Recording.%i.rec and OUT/Video/TexDump/.
bool writeWorkload(const std::string& out, const WorkloadOptions& options, WorkloadFigures* figures,
                   std::string* error);
