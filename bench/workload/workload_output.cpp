// Writing a workload: records collected into zlib chunks within the player's limits, chunks
// written into part files of a fixed length with every part boundary inside a chunk's data, and
// the texture dumps beside them. Receives the options; hands on the files and their figures.

#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "bench/workload/workload.h"

namespace {

constexpr int kLengthFieldSize = 4;

size_t recordsEnd(const ChunkCutter& cutter, size_t count) {
  return count == cutter.starts.size() ? cutter.records.size() : cutter.starts[count];
}

// Writes the first `count` records as one chunk and keeps the rest for the next one.
bool writeChunk(ChunkCutter& cutter, size_t count, const Bytes& compressed) {
  if (!writePartStream(cutter.out, lengthField(static_cast<int32_t>(compressed.size()))) ||
      !writePartStream(cutter.out, compressed)) {
    return false;
  }
  cutter.position += kLengthFieldSize + static_cast<int64_t>(compressed.size());
  cutter.chunks += 1;
  const size_t end = recordsEnd(cutter, count);
  cutter.records.erase(cutter.records.begin(), cutter.records.begin() + end);
  cutter.starts.erase(cutter.starts.begin(), cutter.starts.begin() + count);
  for (size_t& start : cutter.starts) start -= end;
  return true;
}

// Writes chunks until the records left fit below the chunk size (all of them when `last`).
bool writeChunks(ChunkCutter& cutter, bool last) {
  while (!cutter.starts.empty() &&
         (last || static_cast<int64_t>(cutter.records.size()) > cutter.chunk_bytes)) {
    Bytes compressed;
    const size_t count = recordsForChunk(cutter, last, &compressed);
    if (count == 0) {
      cutter.out.error = "no cut of the records keeps the part boundaries inside chunk data";
      return false;
    }
    if (!writeChunk(cutter, count, compressed)) return false;
  }
  return true;
}

bool makeFolder(const std::filesystem::path& folder, std::string* error) {
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure) *error = "cannot create " + folder.string() + ": " + failure.message();
  return !failure;
}

// Part files beyond the last one written, left by an earlier run, would be read on.
void removeStaleParts(const std::string& path_template, int first) {
  for (int index = first;; ++index) {
    std::error_code failure;
    if (!std::filesystem::remove(partPath(path_template, index), failure) || failure) return;
  }
}

void countFrame(const std::vector<TriangleRecord>& triangles, const WorkloadOptions& options,
                WorkloadFigures* figures) {
  figures->frames += 1;
  for (const TriangleRecord& triangle : triangles) {
    figures->triangles += 1;
    figures->textured += triangle.texture_slot != 0;
    figures->blended += triangle.blend_mode == 1;
    figures->area += triangleArea(triangle, options.desktop_width, options.desktop_height);
  }
}

bool writeFrames(ChunkCutter& cutter, const WorkloadOptions& options, WorkloadFigures* figures) {
  ScatterState scatter = beginScatter(options);
  for (int64_t frame = 0; frame < options.frames; ++frame) {
    const std::vector<TriangleRecord> triangles =
        options.scene ? sceneFrame(options, frame) : scatterFrame(scatter, options);
    countFrame(triangles, options, figures);
    for (const TriangleRecord& triangle : triangles) {
      if (!addRecord(cutter, triangleRecordBytes(triangle))) return false;
    }
    const double time = options.start_time + static_cast<double>(frame) / options.fps;
    if (!addRecord(cutter, frameMarkBytes(static_cast<float>(time)))) return false;
  }
  return finishChunks(cutter);
}

std::array<uint64_t, 32> headerIds(const WorkloadOptions& options) {
  std::array<uint64_t, 32> ids = {};
  const int count = options.scene ? kSceneTextures : options.textures;
  for (int slot = 1; slot <= count; ++slot) ids[slot - 1] = workloadTextureId(slot);
  return ids;
}

}  // namespace

bool chunkStartAllowed(int64_t start, int64_t part_size) {
  if (part_size <= 0) return true;
  const int64_t into_part = start % part_size;
  return into_part != 0 && into_part <= part_size - kLengthFieldSize;
}

size_t recordsForChunk(const ChunkCutter& cutter, bool last, Bytes* compressed) {
  size_t count = cutter.starts.size();
  while (count > 0 && recordsEnd(cutter, count) > kChunkDecompressedMax) count -= 1;
  while (count > 0) {
    *compressed = zlibCompressed(cutter.records.data(), recordsEnd(cutter, count), cutter.level);
    if (compressed->empty()) return 0;
    const int64_t next = cutter.position + kLengthFieldSize + int64_t(compressed->size());
    if (compressed->size() > kChunkCompressedMax) {
      count = count > 1 ? count / 2 : 0;
    } else if ((last && count == cutter.starts.size()) ||
               chunkStartAllowed(next, cutter.part_size)) {
      return count;
    } else {
      count -= 1;  // one record fewer moves the next chunk's start
    }
  }
  return 0;
}

ChunkCutter beginChunks(const std::string& path_template, const WorkloadOptions& options) {
  ChunkCutter cutter;
  const size_t part_length =
      options.part_size > 0 ? static_cast<size_t>(options.part_size) : SIZE_MAX;
  cutter.out = beginPartStream(path_template, part_length);
  cutter.part_size = options.part_size;
  cutter.chunk_bytes = options.chunk_bytes;
  cutter.level = options.level;
  return cutter;
}

bool addRecord(ChunkCutter& cutter, const Bytes& record) {
  cutter.starts.push_back(cutter.records.size());
  appendBytes(cutter.records, record);
  return writeChunks(cutter, false);
}

bool finishChunks(ChunkCutter& cutter) {
  const bool written = writeChunks(cutter, true);
  return finishPartStream(cutter.out) && written;
}

bool writeWorkload(const std::string& out, const WorkloadOptions& options, WorkloadFigures* figures,
                   std::string* error) {
  const std::filesystem::path stream = std::filesystem::path(out) / "Video" / "Stream";
  const std::filesystem::path textures = std::filesystem::path(out) / "Video" / "TexDump";
  if (!makeFolder(stream, error) || !makeFolder(textures, error)) return false;
  if (!writeWorkloadTextures(textures.string(), options, error)) return false;
  const std::string path_template = (stream / "Recording.%i.rec").string();
  ChunkCutter cutter = beginChunks(path_template, options);
  const Bytes header = headerBytes(headerIds(options));
  cutter.position = static_cast<int64_t>(header.size());
  if (!writePartStream(cutter.out, header) || !writeFrames(cutter, options, figures)) {
    finishPartStream(cutter.out);
    *error = cutter.out.error;
    return false;
  }
  removeStaleParts(path_template, cutter.out.parts);
  figures->parts = cutter.out.parts;
  figures->stream_bytes = cutter.position;
  figures->chunks = cutter.chunks;
  return true;
}
